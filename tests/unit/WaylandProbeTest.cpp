#include "WaylandProbe.h"

#include <gtest/gtest.h>

using namespace orvanta::wayland;

namespace {

// One session a row: what it offers, then the mechanism, clipboard and keystroke chosen.
TEST(WaylandProbeTest, TheMechanismFollowsWhatTheSessionOffers) {
    using enum TextInsertionMechanism;
    using C = ClipboardWay;
    using K = PasteKeystrokeProtocol;
    const K keyboard = K::VirtualKeyboard, portal = K::RemoteDesktopPortal;
    const QByteArray wlr("zwlr_data_control_manager_v1"), ext("ext_data_control_manager_v1"),
        vk("zwp_virtual_keyboard_manager_v1"), fake("org_kde_kwin_fake_input"), seat("wl_seat");
    // Keystrokes by preference: virtual keyboard, fake input, the portal, uinput.
    const struct {
        SessionOffer offer;
        TextInsertionMechanism mechanism;
        ClipboardWay clipboard;
        PasteKeystrokeProtocol keystroke;
    } cases[] = {
        {{true, {seat, wlr, vk}, true, false, true}, WaylandTyped, C::DataControl, keyboard},
        {{true, {seat, ext, fake, vk}, false, true, false}, WaylandTyped, C::DataControl, keyboard},
        {{true, {seat, wlr, fake}, true, true, true}, WaylandTyped, C::DataControl, K::FakeInput},
        {{true, {seat, wlr}, true, true, true}, WaylandTyped, C::DataControl, portal},
        {{true, {seat, wlr}, true, false, true}, WaylandTyped, C::DataControl, K::Uinput},
        {{true, {seat, wlr}, true, false, false}, WaylandClipboardOnly, C::DataControl, K::None},
        {{true, {seat}, true, true, true}, WaylandTyped, C::XWayland, portal},
        {{true, {seat}, true, false, true}, WaylandTyped, C::XWayland, K::Uinput},
        {{true, {seat, vk}, true, false, false}, X11, C::None, K::None},
        {{true, {seat}, false, true, true}, None, C::None, K::None},
        {{false, {}, true, false, true}, X11, C::None, K::None},
        {{false, {}, false, false, false}, None, C::None, K::None},
    };
    for (const auto &c : cases) {
        const TextInsertionChoice choice = chooseTextInsertion(c.offer);
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(choice.mechanism, c.mechanism);
        EXPECT_EQ(choice.clipboard, c.clipboard);
        EXPECT_EQ(choice.keystroke, c.keystroke);
        EXPECT_FALSE(choice.reason.isEmpty());
    }
    EXPECT_EQ(windowPlatform(true, true, "wayland"), "xcb") << "windows use XWayland where it is";
    EXPECT_EQ(windowPlatform(true, false, {}), "wayland");
    EXPECT_EQ(windowPlatform(false, true, "offscreen"), "offscreen");
    EXPECT_EQ(windowPlatform(false, false, {}), "");
}

} // namespace
