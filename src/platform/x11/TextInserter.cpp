#include "TextInserter.h"

#include "TerminalApps.h"
#include "X11ErrorTrap.h"
#include "X11Logging.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMetaObject>
#include <QMimeData>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace orvanta::x11 {

namespace {

const QString qtInternalImage = QStringLiteral("application/x-qt-image");

QClipboard *clipboard() {
    return QGuiApplication::clipboard();
}

// The keys of every modifier that changes what a keystroke means; the lock modifiers
// (CapsLock, NumLock) are left out, their keys are not held.
QList<int> modifierKeyCodes(Display *display) {
    QList<int> codes;
    XModifierKeymap *map = XGetModifierMapping(display);
    if (!map)
        return codes;
    const ::KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    for (int index = ShiftMapIndex; index <= Mod5MapIndex; ++index) {
        if (index == LockMapIndex)
            continue;
        QList<int> keys;
        bool holdsNumLock = false;
        for (int slot = 0; slot < map->max_keypermod; ++slot) {
            const ::KeyCode code = map->modifiermap[index * map->max_keypermod + slot];
            if (code == 0)
                continue;
            holdsNumLock = holdsNumLock || code == numLock;
            keys.append(code);
        }
        if (!holdsNumLock)
            codes.append(keys);
    }
    XFreeModifiermap(map);
    return codes;
}

} // namespace

TextInserter::TextInserter(QObject *parent)
    : TextInserter(Timing{}, parent) {}

TextInserter::TextInserter(const Timing &timing, QObject *parent)
    : QObject(parent)
    , m_timing(timing) {
    for (QTimer *timer : {&m_pasteTimer, &m_nextTimer, &m_restoreTimer})
        timer->setSingleShot(true);
    connect(&m_pasteTimer, &QTimer::timeout, this, &TextInserter::pasteWhenModifiersReleased);
    connect(&m_nextTimer, &QTimer::timeout, this, &TextInserter::beginNext);
    connect(&m_restoreTimer, &QTimer::timeout, this, &TextInserter::restore);
}

TextInserter::~TextInserter() {
    if (m_display)
        XCloseDisplay(m_display);
}

bool TextInserter::isTerminal(const QString &resourceName, const QString &resourceClass) {
    return isTerminalApp(resourceName) || isTerminalApp(resourceClass);
}

TextInserter::ClipboardSnapshot TextInserter::takeSnapshot() {
    ClipboardSnapshot snapshot;
    const QMimeData *data = clipboard()->mimeData(QClipboard::Clipboard);
    if (!data)
        return snapshot;
    const QStringList formats = data->formats();
    for (const QString &format : formats) {
        if (format.contains(QLatin1Char('/')) && format != qtInternalImage)
            snapshot.append({format, data->data(format)});
    }
    return snapshot;
}

void TextInserter::insert(const QString &text, const InsertionOptions &options, Done done) {
    m_queue.append({text, options, std::move(done)});
    if (m_pasteTimer.isActive() || m_nextTimer.isActive())
        return; // picked up after the keystroke in flight
    // A window pastes whatever the clipboard holds when it gets round to reading it: the
    // next text waits as long after a keystroke as the restore would.
    const auto wait =
        m_sinceKeystroke.isValid()
            ? m_timing.restoreDelay - std::chrono::milliseconds(m_sinceKeystroke.elapsed())
            : std::chrono::milliseconds(0);
    if (wait.count() > 0) {
        m_restoreTimer.stop(); // the restore follows the next paste instead
        m_nextTimer.start(wait);
        return;
    }
    beginNext();
}

void TextInserter::beginNext() {
    if (m_queue.isEmpty())
        return;
    const Request request = m_queue.takeFirst();
    // While an earlier restore is pending the clipboard holds our own text: the snapshot
    // taken before it is the user's clipboard and must survive.
    const bool keepEarlier = m_snapshot.has_value() && clipboardHoldsInsertedText();
    m_restoreTimer.stop();
    if (!request.options.restoreClipboard)
        m_snapshot.reset();
    else if (!keepEarlier)
        m_snapshot = takeSnapshot();
    m_snapshotKept = keepEarlier;

    m_sensitive = request.options.sensitive;
    m_done = request.done;
    putOnClipboard(request.text, m_sensitive);
    m_insertedText = request.text;
    m_writeAttempts = 1;
    m_modifierDeadline = QDeadlineTimer(m_timing.pasteDelay + m_timing.modifierReleaseLimit);
    m_pasteTimer.start(m_timing.pasteDelay);
}

void TextInserter::pasteWhenModifiersReleased() {
    if (!m_insertedText)
        return;
    if (anyModifierHeld() && !m_modifierDeadline.hasExpired()) {
        m_pasteTimer.start(m_timing.modifierPoll);
        return;
    }
    if (!clipboardHoldsInsertedText()) {
        retryWriteOrGiveUp();
        return;
    }
    QString problem = QStringLiteral("no X display with XTEST");
    const bool typed = ensureDisplay() && sendPasteKeystroke(focusIsTerminal(), &problem);
    m_sinceKeystroke.start();
    if (typed) {
        emit pasted(*m_insertedText);
        complete(InsertionOutcome::success());
    } else {
        qCWarning(lcTextInserter).noquote() << "cannot synthesize the paste keystroke:" << problem;
        complete(
            InsertionOutcome::failed(InsertionOutcome::Failure::KeystrokeUnavailable, problem));
    }
    afterPaste();
}

void TextInserter::complete(const InsertionOutcome &outcome) {
    // Called after this insert's state is settled; the callback may insert again.
    if (const Done done = std::exchange(m_done, {}))
        QMetaObject::invokeMethod(
            this, [done, outcome] { done(outcome); }, Qt::QueuedConnection);
}

// Privacy mode: the offer says so, and clipboard managers that honour the hint skip it.
void TextInserter::putOnClipboard(const QString &text, bool sensitive) {
    if (!sensitive) {
        clipboard()->setText(text, QClipboard::Clipboard);
        return;
    }
    auto *data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    clipboard()->setMimeData(data, QClipboard::Clipboard);
}

void TextInserter::retryWriteOrGiveUp() {
    // The X server ignores a change of clipboard owner stamped earlier than the last one,
    // which happens when another application took the clipboard moments before and the
    // toolkit has not heard of it yet. It has by now.
    if (m_writeAttempts < maxWriteAttempts) {
        ++m_writeAttempts;
        if (m_snapshot && !m_snapshotKept)
            m_snapshot = takeSnapshot(); // still the user's clipboard: ours never got there
        putOnClipboard(*m_insertedText, m_sensitive);
        m_pasteTimer.start(m_timing.pasteDelay);
        return;
    }
    // Pasting now would paste something else than the text.
    qCWarning(lcTextInserter) << "could not put the text on the clipboard; nothing pasted";
    if (!m_snapshotKept)
        m_snapshot.reset();
    complete(InsertionOutcome::failed(InsertionOutcome::Failure::ClipboardUnavailable,
                                      QStringLiteral("another application kept the clipboard")));
    afterPaste();
}

void TextInserter::afterPaste() {
    if (!m_queue.isEmpty()) {
        m_nextTimer.start(m_timing.restoreDelay);
        return;
    }
    if (m_snapshot) {
        m_restoreTimer.start(m_timing.restoreDelay);
        return;
    }
    m_insertedText.reset();
    emit finished();
}

void TextInserter::restore() {
    if (!m_snapshot)
        return;
    if (clipboardHoldsInsertedText()) {
        if (m_snapshot->isEmpty()) {
            clipboard()->clear(QClipboard::Clipboard);
        } else {
            auto *data = new QMimeData;
            for (const auto &[format, bytes] : std::as_const(*m_snapshot))
                data->setData(format, bytes);
            clipboard()->setMimeData(data, QClipboard::Clipboard);
        }
    } else {
        qCDebug(lcTextInserter) << "the clipboard changed since the paste; left as it is";
    }
    m_snapshot.reset();
    m_insertedText.reset();
    emit finished();
}

bool TextInserter::clipboardHoldsInsertedText() const {
    if (!m_insertedText || !clipboard()->ownsClipboard())
        return false;
    const QMimeData *data = clipboard()->mimeData(QClipboard::Clipboard);
    return data && data->text() == *m_insertedText;
}

bool TextInserter::ensureDisplay() {
    if (m_display)
        return true;
    if (m_displayFailed)
        return false;
    m_display = XOpenDisplay(nullptr);
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!m_display || !XTestQueryExtension(m_display, &event, &error, &major, &minor)) {
        qCWarning(lcTextInserter) << "cannot synthesize the paste keystroke: no XTEST display";
        if (m_display)
            XCloseDisplay(m_display);
        m_display = nullptr;
        m_displayFailed = true;
        return false;
    }
    X11ErrorTrap::installHandler();
    m_modifierKeyCodes = modifierKeyCodes(m_display);
    // The XTEST keyboard of the core keyboard, which our keystrokes are typed on.
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(m_display, XIAllDevices, &count);
    for (int index = 0; devices && index < count; ++index) {
        if (devices[index].use == XISlaveKeyboard &&
            QByteArray(devices[index].name).endsWith(" XTEST keyboard") && m_xtestKeyboard == 0)
            m_xtestKeyboard = XID(devices[index].deviceid);
    }
    if (devices)
        XIFreeDeviceInfo(devices);
    return true;
}

bool TextInserter::anyModifierHeld() {
    if (!ensureDisplay())
        return false;
    char keys[32] = {};
    XQueryKeymap(m_display, keys);
    for (int code : std::as_const(m_modifierKeyCodes)) {
        if ((keys[code / 8] >> (code % 8)) & 1)
            return true;
    }
    return false;
}

QList<int> TextInserter::keysHeldOnXTestDevice() {
    QList<int> held;
    if (m_xtestKeyboard == 0)
        return held;
    X11ErrorTrap trap(m_display);
    XDevice *device = XOpenDevice(m_display, m_xtestKeyboard);
    if (!device)
        return held;
    if (XDeviceState *state = XQueryDeviceState(m_display, device)) {
        auto *item = reinterpret_cast<XInputClass *>(state->data);
        for (int index = 0; index < state->num_classes; ++index) {
            if (item->c_class == KeyClass) {
                const auto *keys = reinterpret_cast<XKeyState *>(item);
                for (int code = 0; code < keys->num_keys && code < 256; ++code) {
                    if ((keys->keys[code / 8] >> (code % 8)) & 1)
                        held.append(code);
                }
            }
            item = reinterpret_cast<XInputClass *>(reinterpret_cast<char *>(item) + item->length);
        }
        XFreeDeviceState(state);
    }
    XCloseDevice(m_display, device);
    return held;
}

bool TextInserter::focusIsTerminal() {
    X11ErrorTrap trap(m_display);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    const Window root = DefaultRootWindow(m_display);
    // The focus may sit on a child of the application's top-level window.
    for (int depth = 0; depth < 8 && focus != None && focus != PointerRoot && focus != root;
         ++depth) {
        XClassHint hint{nullptr, nullptr};
        if (XGetClassHint(m_display, focus, &hint)) {
            const QString name = QString::fromLocal8Bit(hint.res_name);
            const QString className = QString::fromLocal8Bit(hint.res_class);
            XFree(hint.res_name);
            XFree(hint.res_class);
            return isTerminal(name, className);
        }
        Window parent = None;
        Window treeRoot = None;
        Window *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, focus, &treeRoot, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        focus = parent;
    }
    return false;
}

bool TextInserter::sendPasteKeystroke(bool withShift, QString *problem) {
    const ::KeyCode control = XKeysymToKeycode(m_display, XK_Control_L);
    const ::KeyCode shift = XKeysymToKeycode(m_display, XK_Shift_L);
    const ::KeyCode v = XKeysymToKeycode(m_display, XK_v);
    if (control == 0 || v == 0 || (withShift && shift == 0)) {
        *problem = QStringLiteral("the keyboard map has no Control or V key");
        return false;
    }
    // A key held on another keyboard does not reach keys typed on the XTEST device; one held
    // on the XTEST device itself (typed by another program) does.
    const QList<int> xtestKeys = keysHeldOnXTestDevice();
    QList<::KeyCode> held;
    for (int code : std::as_const(m_modifierKeyCodes)) {
        if (xtestKeys.contains(code))
            held.append(::KeyCode(code));
    }
    for (::KeyCode code : std::as_const(held))
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    XTestFakeKeyEvent(m_display, control, True, CurrentTime);
    if (withShift)
        XTestFakeKeyEvent(m_display, shift, True, CurrentTime);
    XTestFakeKeyEvent(m_display, v, True, CurrentTime);
    XTestFakeKeyEvent(m_display, v, False, CurrentTime);
    if (withShift)
        XTestFakeKeyEvent(m_display, shift, False, CurrentTime);
    XTestFakeKeyEvent(m_display, control, False, CurrentTime);
    for (::KeyCode code : std::as_const(held))
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    XFlush(m_display);
    return true;
}

} // namespace orvanta::x11
