#include "WaylandTextInserter.h"

#include "DataControlClipboard.h"
#include "FakeInputPaste.h"
#include "FocusedApp.h"
#include "PasteKeystroke.h"
#include "RemoteDesktopPaste.h"
#include "TerminalApps.h"
#include "ToolkitClipboard.h"
#include "UinputPaste.h"
#include "VirtualKeyboardPaste.h"
#include "WaylandConnection.h"
#include "WaylandLogging.h"

namespace orvanta::wayland {

namespace {

std::unique_ptr<ClipboardPaste> assemble(std::unique_ptr<WaylandConnection> connection,
                                         std::unique_ptr<ClipboardAccess> clipboard,
                                         std::unique_ptr<PasteKeystroke> keystroke,
                                         const ClipboardPaste::Timing &timing) {
    auto paste = std::make_unique<ClipboardPaste>(std::move(clipboard), std::move(keystroke),
                                                  ClipboardPaste::WhenNotTyped::LeaveText, timing);
    paste->setTerminalCheck([] { return isTerminalApp(FocusedApp::appId().value_or(QString())); });
    // As a child the connection goes after the clipboard and keystroke that live on it.
    if (connection)
        connection.release()->setParent(paste.get());
    return paste;
}

} // namespace

std::unique_ptr<ClipboardPaste>
WaylandTextInserter::forSession(TextInsertionChoice &choice, const ClipboardPaste::Timing &timing) {
    std::unique_ptr<WaylandConnection> connection = WaylandConnection::open();
    SessionOffer offer;
    offer.waylandCompositor = connection != nullptr;
    offer.x11Display = qEnvironmentVariableIsSet("DISPLAY");
    offer.uinputWritable = UinputPaste::isWritable();
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
        clipboard = std::make_unique<x11::ToolkitClipboard>();
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
    case PasteKeystrokeProtocol::Uinput:
        // Made now: the compositor takes a moment to start reading a new keyboard.
        keystroke = UinputPaste::create(*connection);
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
    return assemble(std::move(connection), std::move(clipboard), std::move(keystroke), timing);
}

} // namespace orvanta::wayland
