#include "WaylandProbe.h"

namespace orvanta::wayland {

namespace {

bool offers(const SessionOffer &offer, const char *interface) {
    return offer.waylandGlobals.contains(QByteArray(interface));
}

} // namespace

bool offersKeystrokeProtocol(const SessionOffer &offer) {
    return offers(offer, "zwp_virtual_keyboard_manager_v1") ||
           offers(offer, "org_kde_kwin_fake_input");
}

TextInsertionChoice chooseTextInsertion(const SessionOffer &offer) {
    using Mechanism = TextInsertionMechanism;
    using Keystroke = PasteKeystrokeProtocol;
    if (!offer.waylandCompositor) {
        if (offer.x11Display)
            return {Mechanism::X11, ClipboardWay::None, Keystroke::None,
                    QStringLiteral("an X11 session")};
        return {Mechanism::None, ClipboardWay::None, Keystroke::None,
                QStringLiteral("no display to paste into")};
    }
    const bool dataControl = offers(offer, "ext_data_control_manager_v1") ||
                             offers(offer, "zwlr_data_control_manager_v1");
    if (dataControl) {
        if (offers(offer, "zwp_virtual_keyboard_manager_v1"))
            return {Mechanism::WaylandTyped, ClipboardWay::DataControl, Keystroke::VirtualKeyboard,
                    QStringLiteral("the compositor offers data-control and a virtual keyboard")};
        if (offers(offer, "org_kde_kwin_fake_input"))
            return {Mechanism::WaylandTyped, ClipboardWay::DataControl, Keystroke::FakeInput,
                    QStringLiteral("the compositor offers data-control and fake input")};
        if (offer.remoteDesktopKeyboard)
            return {Mechanism::WaylandTyped, ClipboardWay::DataControl,
                    Keystroke::RemoteDesktopPortal,
                    QStringLiteral("the compositor offers data-control; the RemoteDesktop portal "
                                   "types, once the user agrees")};
        if (offer.uinputWritable)
            return {Mechanism::WaylandTyped, ClipboardWay::DataControl, Keystroke::Uinput,
                    QStringLiteral("the compositor offers data-control; a uinput keyboard of "
                                   "our own types")};
        return {Mechanism::WaylandClipboardOnly, ClipboardWay::DataControl, Keystroke::None,
                QStringLiteral("the compositor offers data-control but no way to type: the text "
                               "is left on the clipboard")};
    }
    if (offer.x11Display && offer.remoteDesktopKeyboard)
        return {Mechanism::WaylandTyped, ClipboardWay::XWayland, Keystroke::RemoteDesktopPortal,
                QStringLiteral("no data-control: the clipboard of XWayland, and the RemoteDesktop "
                               "portal types once the user agrees")};
    if (offer.x11Display && offer.uinputWritable)
        return {Mechanism::WaylandTyped, ClipboardWay::XWayland, Keystroke::Uinput,
                QStringLiteral("no data-control: the clipboard of XWayland, and a uinput "
                               "keyboard of our own types")};
    if (offer.x11Display)
        return {Mechanism::X11, ClipboardWay::None, Keystroke::None,
                QStringLiteral("the compositor offers no data-control and no portal keyboard: "
                               "pasting reaches XWayland windows only")};
    return {Mechanism::None, ClipboardWay::None, Keystroke::None,
            QStringLiteral("the compositor offers no data-control and there is no XWayland")};
}

QByteArray windowPlatform(bool waylandDisplay, bool x11Display, const QByteArray &requested) {
    if (waylandDisplay && x11Display)
        return QByteArrayLiteral("xcb");
    if (!requested.isEmpty())
        return requested;
    if (x11Display)
        return QByteArrayLiteral("xcb");
    if (waylandDisplay)
        return QByteArrayLiteral("wayland");
    return {};
}

} // namespace orvanta::wayland
