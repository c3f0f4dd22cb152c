#include "WaylandProbe.h"

#include <gtest/gtest.h>

using namespace orvanta::wayland;

namespace {

// One session a row: what it offers, then the mechanism, clipboard and keystroke chosen.
TEST(WaylandProbeTest, TheMechanismFollowsWhatTheSessionOffers) {
    using enum TextInsertionMechanism;
    using Clip = ClipboardWay;
    using Key = PasteKeystrokeProtocol;
    const QByteArray wlr("zwlr_data_control_manager_v1"), ext("ext_data_control_manager_v1"),
        keyboard("zwp_virtual_keyboard_manager_v1"), fake("org_kde_kwin_fake_input"),
        seat("wl_seat");
    const struct {
        SessionOffer offer;
        TextInsertionMechanism mechanism;
        ClipboardWay clipboard;
        PasteKeystrokeProtocol keystroke;
    } cases[] = {
        {{true, {seat, wlr, keyboard}, true, false, true},
         WaylandTyped,
         Clip::DataControl,
         Key::VirtualKeyboard}, // the keyboard before uinput
        {{true, {seat, ext, fake, keyboard}, false, true, false},
         WaylandTyped,
         Clip::DataControl,
         Key::VirtualKeyboard}, // the keyboard before fake input
        {{true, {seat, wlr, fake}, true, true, true},
         WaylandTyped,
         Clip::DataControl,
         Key::FakeInput}, // fake input before the portal and uinput
        {{true, {seat, wlr}, true, true, true},
         WaylandTyped,
         Clip::DataControl,
         Key::RemoteDesktopPortal}, // the portal before uinput
        {{true, {seat, wlr}, true, false, true}, WaylandTyped, Clip::DataControl, Key::Uinput},
        {{true, {seat, wlr}, true, false, false},
         WaylandClipboardOnly,
         Clip::DataControl,
         Key::None},
        {{true, {seat}, true, true, true}, WaylandTyped, Clip::XWayland, Key::RemoteDesktopPortal},
        {{true, {seat}, true, false, true}, WaylandTyped, Clip::XWayland, Key::Uinput},
        {{true, {seat, keyboard}, true, false, false}, X11, Clip::None, Key::None},
        {{true, {seat}, false, true, true}, None, Clip::None, Key::None},
        {{false, {}, true, false, true}, X11, Clip::None, Key::None},
        {{false, {}, false, false, false}, None, Clip::None, Key::None},
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
