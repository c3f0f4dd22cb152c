#include "WaylandProbe.h"

namespace orvanta::wayland {

namespace {

bool offers(const SessionOffer &offer, const char *interface) {
    return offer.waylandGlobals.contains(QByteArray(interface));
}

} // namespace

TextInsertionChoice chooseTextInsertion(const SessionOffer &offer) {
    if (offer.waylandCompositor) {
        const bool dataControl = offers(offer, "ext_data_control_manager_v1") ||
                                 offers(offer, "zwlr_data_control_manager_v1");
        if (dataControl && offers(offer, "zwp_virtual_keyboard_manager_v1"))
            return {TextInsertionMechanism::WaylandTyped, PasteKeystrokeProtocol::VirtualKeyboard,
                    QStringLiteral("the compositor offers data-control and a virtual keyboard")};
        if (dataControl && offers(offer, "org_kde_kwin_fake_input"))
            return {TextInsertionMechanism::WaylandTyped, PasteKeystrokeProtocol::FakeInput,
                    QStringLiteral("the compositor offers data-control and fake input")};
        if (dataControl)
            return {TextInsertionMechanism::WaylandClipboardOnly, PasteKeystrokeProtocol::None,
                    QStringLiteral("the compositor offers data-control but no way to type: "
                                   "the text is left on the clipboard")};
        if (offer.x11Display)
            return {TextInsertionMechanism::X11, PasteKeystrokeProtocol::None,
                    QStringLiteral("the compositor offers no data-control: pasting reaches "
                                   "XWayland windows only")};
        return {TextInsertionMechanism::None, PasteKeystrokeProtocol::None,
                QStringLiteral("the compositor offers no data-control and there is no XWayland")};
    }
    if (offer.x11Display)
        return {TextInsertionMechanism::X11, PasteKeystrokeProtocol::None,
                QStringLiteral("an X11 session")};
    return {TextInsertionMechanism::None, PasteKeystrokeProtocol::None,
            QStringLiteral("no display to paste into")};
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
