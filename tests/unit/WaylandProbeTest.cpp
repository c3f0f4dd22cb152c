#include "WaylandProbe.h"

#include <gtest/gtest.h>

using namespace orvanta::wayland;

namespace {

struct ProbeCase {
    const char *session;
    SessionOffer offer;
    TextInsertionMechanism expected;
};

TEST(WaylandProbeTest, TheMechanismFollowsWhatTheSessionOffers) {
    const QByteArray wlrClipboard("zwlr_data_control_manager_v1");
    const QByteArray extClipboard("ext_data_control_manager_v1");
    const QByteArray keyboard("zwp_virtual_keyboard_manager_v1");
    const QByteArray seat("wl_seat");
    const ProbeCase cases[] = {
        {"wlroots",
         {true, {seat, wlrClipboard, keyboard}, true},
         TextInsertionMechanism::WaylandTyped},
        {"standard data-control",
         {true, {seat, extClipboard, keyboard}, false},
         TextInsertionMechanism::WaylandTyped},
        {"clipboard without keyboard",
         {true, {seat, wlrClipboard}, true},
         TextInsertionMechanism::WaylandClipboardOnly},
        {"no data-control, XWayland", {true, {seat, keyboard}, true}, TextInsertionMechanism::X11},
        {"no data-control, no XWayland",
         {true, {seat, keyboard}, false},
         TextInsertionMechanism::None},
        {"X11", {false, {}, true}, TextInsertionMechanism::X11},
        {"no display", {false, {}, false}, TextInsertionMechanism::None},
    };
    for (const ProbeCase &probe : cases) {
        const TextInsertionChoice choice = chooseTextInsertion(probe.offer);
        EXPECT_EQ(choice.mechanism, probe.expected) << probe.session;
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
