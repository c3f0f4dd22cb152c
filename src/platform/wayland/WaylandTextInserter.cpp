#include "WaylandTextInserter.h"

#include "DataControlClipboard.h"
#include "FakeInputPaste.h"
#include "FocusedApp.h"
#include "PasteKeystroke.h"
#include "RemoteDesktopPaste.h"
#include "TerminalApps.h"
#include "ToolkitClipboard.h"
#include "VirtualKeyboardPaste.h"
#include "WaylandConnection.h"
#include "WaylandLogging.h"

namespace orvanta::wayland {

WaylandTextInserter::WaylandTextInserter(std::unique_ptr<WaylandConnection> connection,
                                         std::unique_ptr<ClipboardAccess> clipboard,
                                         std::unique_ptr<PasteKeystroke> keystroke,
                                         const Timing &timing, QObject *parent)
    : QObject(parent)
    , m_connection(std::move(connection))
    , m_clipboard(std::move(clipboard))
    , m_keystroke(std::move(keystroke))
    , m_timing(timing)
    , m_focusIsTerminal([] { return isTerminalApp(FocusedApp::appId().value_or(QString())); }) {
    for (QTimer *timer : {&m_pasteTimer, &m_nextTimer, &m_restoreTimer})
        timer->setSingleShot(true);
    connect(&m_pasteTimer, &QTimer::timeout, this, &WaylandTextInserter::typeKeystroke);
    connect(&m_nextTimer, &QTimer::timeout, this, &WaylandTextInserter::beginNext);
    connect(&m_restoreTimer, &QTimer::timeout, this, &WaylandTextInserter::restore);
}

std::unique_ptr<WaylandTextInserter> WaylandTextInserter::forSession(TextInsertionChoice &choice,
                                                                     const Timing &timing) {
    std::unique_ptr<WaylandConnection> connection = WaylandConnection::open();
    SessionOffer offer;
    offer.waylandCompositor = connection != nullptr;
    offer.x11Display = qEnvironmentVariableIsSet("DISPLAY");
    if (connection) {
        for (const WaylandGlobal &global : connection->globals())
            offer.waylandGlobals.append(global.interface);
    }
    // The portal is asked only where the compositor has no way of its own to type.
    std::unique_ptr<RemoteDesktopPaste> portal;
    if (connection && !offersKeystrokeProtocol(offer))
        portal = RemoteDesktopPaste::create(QDBusConnection::sessionBus());
    offer.remoteDesktopKeyboard = portal != nullptr;
    choice = chooseTextInsertion(offer);
    qCInfo(lcWayland) << "pasting:" << choice.reason;

    std::unique_ptr<ClipboardAccess> clipboard;
    if (choice.clipboard == ClipboardWay::DataControl)
        clipboard = DataControlClipboard::create(*connection);
    else if (choice.clipboard == ClipboardWay::XWayland)
        clipboard = std::make_unique<ToolkitClipboard>();
    if (!clipboard) {
        if (choice.clipboard != ClipboardWay::None)
            choice = {TextInsertionMechanism::None, ClipboardWay::None,
                      PasteKeystrokeProtocol::None,
                      QStringLiteral("the compositor's data-control has no seat to serve")};
        return nullptr;
    }

    std::unique_ptr<PasteKeystroke> keystroke;
    switch (choice.keystroke) {
    case PasteKeystrokeProtocol::VirtualKeyboard:
        keystroke = VirtualKeyboardPaste::create(*connection);
        break;
    case PasteKeystrokeProtocol::FakeInput:
        keystroke = FakeInputPaste::create(*connection);
        break;
    case PasteKeystrokeProtocol::RemoteDesktopPortal:
        // The user is asked now, not in the middle of the first dictation.
        portal->start();
        keystroke = std::move(portal);
        break;
    case PasteKeystrokeProtocol::None:
        break;
    }
    if (!keystroke && choice.keystroke != PasteKeystrokeProtocol::None) {
        choice = {TextInsertionMechanism::WaylandClipboardOnly, choice.clipboard,
                  PasteKeystrokeProtocol::None,
                  QStringLiteral("the compositor refused the keystroke protocol: the text is "
                                 "left on the clipboard")};
        qCWarning(lcWayland) << "pasting:" << choice.reason;
    }
    return std::make_unique<WaylandTextInserter>(std::move(connection), std::move(clipboard),
                                                 std::move(keystroke), timing);
}

void WaylandTextInserter::dispatchEvents() {
    if (m_connection)
        m_connection->dispatch(std::chrono::milliseconds(0));
}

// The clipboard and keystroke go before the connection they live on.
WaylandTextInserter::~WaylandTextInserter() {
    m_keystroke.reset();
    m_clipboard.reset();
}

ClipboardAccess::Formats WaylandTextInserter::textFormats(const QString &text, bool sensitive) {
    const QByteArray utf8 = text.toUtf8();
    ClipboardAccess::Formats formats;
    for (const char *format :
         {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING", "STRING", "TEXT"})
        formats.append({QString::fromLatin1(format), utf8});
    if (sensitive)
        formats.append({QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret")});
    return formats;
}

void WaylandTextInserter::insert(const QString &text, const InsertionOptions &options, Done done) {
    m_queue.append({text, options, std::move(done)});
    if (m_pasteTimer.isActive() || m_nextTimer.isActive())
        return; // picked up after the keystroke in flight
    // The window reads the clipboard when it gets round to it: the next text waits as long
    // after a keystroke as the restore would.
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

void WaylandTextInserter::beginNext() {
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
            qCWarning(lcWayland) << "the clipboard could not be read; it will hold the text";
    }
    m_text = request.text;
    m_sensitive = request.options.sensitive;
    m_done = request.done;
    m_writeAttempts = 1;
    m_clipboard->put(textFormats(request.text, m_sensitive));
    m_pasteTimer.start(m_timing.pasteDelay);
}

void WaylandTextInserter::typeKeystroke() {
    if (!m_text)
        return;
    dispatchEvents();
    if (!m_clipboard->holdsOwnOffer()) {
        // Another application took the clipboard in the moment between: offer again.
        if (m_writeAttempts < maxWriteAttempts) {
            ++m_writeAttempts;
            m_clipboard->put(textFormats(*m_text, m_sensitive));
            m_pasteTimer.start(m_timing.pasteDelay);
            return;
        }
        m_snapshot.reset();
        complete(InsertionOutcome::failed(InsertionOutcome::Failure::ClipboardUnavailable,
                                          QStringLiteral("another application kept taking the "
                                                         "clipboard")));
        afterPaste();
        return;
    }
    if (!m_keystroke || !m_keystroke->send(m_focusIsTerminal())) {
        // The text stays on the clipboard for the user to paste.
        m_snapshot.reset();
        complete(InsertionOutcome::failed(InsertionOutcome::Failure::LeftOnClipboard,
                                          QStringLiteral("nothing here types the paste "
                                                         "keystroke")));
        afterPaste();
        return;
    }
    m_sinceKeystroke.start();
    complete(InsertionOutcome::success());
    afterPaste();
}

void WaylandTextInserter::complete(const InsertionOutcome &outcome) {
    if (const Done done = std::exchange(m_done, {}))
        done(outcome);
}

void WaylandTextInserter::afterPaste() {
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

void WaylandTextInserter::restore() {
    if (!m_snapshot)
        return;
    dispatchEvents();
    if (m_clipboard->holdsOwnOffer())
        m_clipboard->put(*m_snapshot);
    else
        qCDebug(lcWayland) << "the clipboard changed since the paste; left as it is";
    m_snapshot.reset();
    m_text.reset();
    emit finished();
}

} // namespace orvanta::wayland
