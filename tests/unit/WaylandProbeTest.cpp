#include "WaylandProbe.h"

#include <gtest/gtest.h>

using namespace orvanta::wayland;

namespace {

struct ProbeCase {
    const char *session;
    SessionOffer offer;
    TextInsertionChoice expected;
};

TEST(WaylandProbeTest, TheMechanismFollowsWhatTheSessionOffers) {
    using Mechanism = TextInsertionMechanism;
    using Keystroke = PasteKeystrokeProtocol;
    const QByteArray wlrClipboard("zwlr_data_control_manager_v1");
    const QByteArray extClipboard("ext_data_control_manager_v1");
    const QByteArray keyboard("zwp_virtual_keyboard_manager_v1");
    const QByteArray fakeInput("org_kde_kwin_fake_input");
    const QByteArray seat("wl_seat");
    const ProbeCase cases[] = {
        {"wlroots, keyboard before uinput",
         {true, {seat, wlrClipboard, keyboard}, true, false, true},
         {Mechanism::WaylandTyped, ClipboardWay::DataControl, Keystroke::VirtualKeyboard, {}}},
        {"standard data-control, keyboard before fake input",
         {true, {seat, extClipboard, fakeInput, keyboard}, false, true, false},
         {Mechanism::WaylandTyped, ClipboardWay::DataControl, Keystroke::VirtualKeyboard, {}}},
        {"KWin, fake input before uinput",
         {true, {seat, wlrClipboard, fakeInput}, true, true, true},
         {Mechanism::WaylandTyped, ClipboardWay::DataControl, Keystroke::FakeInput, {}}},
        {"KWin without fake input for us, the portal before uinput",
         {true, {seat, wlrClipboard}, true, true, true},
         {Mechanism::WaylandTyped, ClipboardWay::DataControl, Keystroke::RemoteDesktopPortal, {}}},
        {"data-control and uinput",
         {true, {seat, wlrClipboard}, true, false, true},
         {Mechanism::WaylandTyped, ClipboardWay::DataControl, Keystroke::Uinput, {}}},
        {"clipboard only",
         {true, {seat, wlrClipboard}, true, false, false},
         {Mechanism::WaylandClipboardOnly, ClipboardWay::DataControl, Keystroke::None, {}}},
        {"GNOME",
         {true, {seat}, true, true, true},
         {Mechanism::WaylandTyped, ClipboardWay::XWayland, Keystroke::RemoteDesktopPortal, {}}},
        {"GNOME without the portal, with uinput",
         {true, {seat}, true, false, true},
         {Mechanism::WaylandTyped, ClipboardWay::XWayland, Keystroke::Uinput, {}}},
        {"GNOME without the portal",
         {true, {seat, keyboard}, true, false, false},
         {Mechanism::X11, ClipboardWay::None, Keystroke::None, {}}},
        {"no data-control, no XWayland",
         {true, {seat}, false, true, true},
         {Mechanism::None, ClipboardWay::None, Keystroke::None, {}}},
        {"X11",
         {false, {}, true, false, true},
         {Mechanism::X11, ClipboardWay::None, Keystroke::None, {}}},
        {"no display",
         {false, {}, false, false, false},
         {Mechanism::None, ClipboardWay::None, Keystroke::None, {}}},
    };
    for (const ProbeCase &probe : cases) {
        const TextInsertionChoice choice = chooseTextInsertion(probe.offer);
        EXPECT_EQ(choice.mechanism, probe.expected.mechanism) << probe.session;
        EXPECT_EQ(choice.clipboard, probe.expected.clipboard) << probe.session;
        EXPECT_EQ(choice.keystroke, probe.expected.keystroke) << probe.session;
        EXPECT_FALSE(choice.reason.isEmpty()) << probe.session;
    }
}

TEST(WaylandProbeTest, WindowsUseXWaylandWhereItIsThere) {
    EXPECT_EQ(windowPlatform(true, true, "wayland"), "xcb");
    EXPECT_EQ(windowPlatform(true, false, {}), "wayland");
    EXPECT_EQ(windowPlatform(false, true, "offscreen"), "offscreen");
    EXPECT_EQ(windowPlatform(false, false, {}), "");
}

} // namespace
