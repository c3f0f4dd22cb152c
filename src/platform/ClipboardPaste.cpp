#include "ClipboardPaste.h"

#include "PasteKeystroke.h"
#include "PlatformLogging.h"

#include <QMetaObject>

namespace orvanta {

ClipboardPaste::ClipboardPaste(std::unique_ptr<ClipboardAccess> clipboard,
                               std::unique_ptr<PasteKeystroke> keystroke, WhenNotTyped whenNotTyped,
                               const Timing &timing, QObject *parent)
    : QObject(parent)
    , m_clipboard(std::move(clipboard))
    , m_keystroke(std::move(keystroke))
    , m_whenNotTyped(m_keystroke ? whenNotTyped : WhenNotTyped::LeaveText)
    , m_timing(timing)
    , m_focusIsTerminal([] { return false; }) {
    for (QTimer *timer : {&m_pasteTimer, &m_nextTimer, &m_restoreTimer})
        timer->setSingleShot(true);
    connect(&m_pasteTimer, &QTimer::timeout, this, &ClipboardPaste::typeKeystroke);
    connect(&m_nextTimer, &QTimer::timeout, this, &ClipboardPaste::beginNext);
    connect(&m_restoreTimer, &QTimer::timeout, this, &ClipboardPaste::restore);
}

// The keystroke may live on what the clipboard lives on: it goes first.
ClipboardPaste::~ClipboardPaste() {
    m_keystroke.reset();
    m_clipboard.reset();
}

ClipboardAccess::Formats ClipboardPaste::textFormats(const QString &text, bool sensitive) {
    const QByteArray utf8 = text.toUtf8();
    ClipboardAccess::Formats formats;
    for (const char *format :
         {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING", "TEXT"})
        formats.append({QString::fromLatin1(format), utf8});
    if (sensitive)
        formats.append({QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret")});
    return formats;
}

void ClipboardPaste::insert(const QString &text, const InsertionOptions &options, Done done) {
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

void ClipboardPaste::beginNext() {
    if (m_queue.isEmpty())
        return;
    const Request request = m_queue.takeFirst();
    // While an earlier restore is pending the clipboard holds our own text: the snapshot
    // taken before it is the user's clipboard and must survive.
    const bool keepEarlier = m_snapshot.has_value() && m_clipboard->holdsOwnOffer();
    m_restoreTimer.stop();
    if (!request.options.restoreClipboard || !m_keystroke) {
        m_snapshot.reset(); // a text left for the user to paste stays on the clipboard
    } else if (!keepEarlier) {
        m_snapshot = m_clipboard->read(m_timing.readLimit);
        if (!m_snapshot)
            qCWarning(lcTextInserter) << "the clipboard could not be read; it will hold the text";
    }
    m_snapshotKept = keepEarlier && m_snapshot.has_value();

    m_text = request.text;
    m_sensitive = request.options.sensitive;
    m_done = request.done;
    m_writeAttempts = 1;
    m_modifierDeadline = QDeadlineTimer(m_timing.pasteDelay + m_timing.modifierReleaseLimit);
    m_clipboard->put(textFormats(request.text, m_sensitive));
    m_pasteTimer.start(m_timing.pasteDelay);
}

void ClipboardPaste::typeKeystroke() {
    if (!m_text)
        return;
    if (m_keystroke && m_keystroke->modifierHeld() && !m_modifierDeadline.hasExpired()) {
        m_pasteTimer.start(m_timing.modifierPoll);
        return;
    }
    if (!m_clipboard->holdsOwnOffer()) {
        offerAgainOrGiveUp();
        return;
    }
    if (!m_keystroke || !m_keystroke->send(m_focusIsTerminal())) {
        notTyped();
        afterPaste();
        return;
    }
    m_sinceKeystroke.start();
    emit pasted(*m_text);
    complete(InsertionOutcome::success());
    afterPaste();
}

void ClipboardPaste::offerAgainOrGiveUp() {
    // Another application took the clipboard in the moment between, or (X11) our change of
    // owner was stamped earlier than theirs and ignored: offer again.
    if (m_writeAttempts < maxWriteAttempts) {
        ++m_writeAttempts;
        if (m_snapshot && !m_snapshotKept)
            m_snapshot = m_clipboard->read(m_timing.readLimit); // ours never got there
        m_clipboard->put(textFormats(*m_text, m_sensitive));
        m_pasteTimer.start(m_timing.pasteDelay);
        return;
    }
    // Pasting now would paste something else than the text.
    qCWarning(lcTextInserter) << "could not put the text on the clipboard; nothing pasted";
    if (!m_snapshotKept)
        m_snapshot.reset();
    complete(InsertionOutcome::failed(InsertionOutcome::Failure::ClipboardUnavailable,
                                      QStringLiteral("another application kept taking the "
                                                     "clipboard")));
    afterPaste();
}

void ClipboardPaste::notTyped() {
    if (m_whenNotTyped == WhenNotTyped::RestoreClipboard) {
        complete(InsertionOutcome::failed(InsertionOutcome::Failure::KeystrokeUnavailable,
                                          QStringLiteral("the paste keystroke could not be "
                                                         "typed")));
        return;
    }
    m_snapshot.reset(); // the text stays on the clipboard for the user to paste
    complete(InsertionOutcome::failed(InsertionOutcome::Failure::LeftOnClipboard,
                                      QStringLiteral("nothing here types the paste keystroke")));
}

void ClipboardPaste::complete(const InsertionOutcome &outcome) {
    // Called after this insert's state is settled; the callback may insert again.
    if (const Done done = std::exchange(m_done, {}))
        QMetaObject::invokeMethod(
            this, [done, outcome] { done(outcome); }, Qt::QueuedConnection);
}

void ClipboardPaste::afterPaste() {
    if (!m_queue.isEmpty()) {
        m_nextTimer.start(m_timing.restoreDelay);
        return;
    }
    if (m_snapshot) {
        m_restoreTimer.start(m_timing.restoreDelay);
        return;
    }
    m_text.reset();
    emit finished();
}

void ClipboardPaste::restore() {
    if (!m_snapshot)
        return;
    if (m_clipboard->holdsOwnOffer())
        m_clipboard->put(*m_snapshot);
    else
        qCDebug(lcTextInserter) << "the clipboard changed since the paste; left as it is";
    m_snapshot.reset();
    m_text.reset();
    emit finished();
}

} // namespace orvanta
