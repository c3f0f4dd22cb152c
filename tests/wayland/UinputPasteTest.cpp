// The uinput keystroke's parts that need no /dev/uinput: where V is in a keyboard map, the
// events of the keystroke, and how they reach a device.

#include "UinputPaste.h"
#include "SeatKeymap.h"

#include <cstdlib>
#include <cstring>
#include <optional>

#include <xkbcommon/xkbcommon.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

using namespace orvanta::wayland;
using Event = UinputPaste::Event;

namespace {

QByteArray keymapText(const char *layout, const char *variant) {
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    const xkb_rule_names names{"evdev", "pc105", layout, variant, ""};
    xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    QByteArray text;
    if (keymap) {
        char *string = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        text = QByteArray(string, qsizetype(std::strlen(string)) + 1); // as a compositor sends it
        std::free(string);
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return text;
}

TEST(SeatKeymapTest, VIsTheKeyTheLayoutHasItOn) {
    struct Case {
        const char *layout;
        const char *variant;
        std::optional<unsigned> keyV;
    };
    const Case cases[] = {
        {"us", "", 47},       // KEY_V
        {"us", "dvorak", 52}, // KEY_DOT
        {"ru", "", std::nullopt},
    };
    for (const Case &layout : cases) {
        const QByteArray text = keymapText(layout.layout, layout.variant);
        ASSERT_FALSE(text.isEmpty()) << layout.layout;
        EXPECT_EQ(SeatKeymap::linuxKeyCode(text, XKB_KEY_v), layout.keyV)
            << layout.layout << ' ' << layout.variant;
    }
    EXPECT_EQ(SeatKeymap::linuxKeyCode("no keymap", XKB_KEY_v), std::nullopt);
}

// Each key change is reported on its own, the modifiers pressed first and let go last; the
// events reach a device whole, and a write that fails is a failure.
TEST(UinputPasteTest, EveryKeyChangeIsReportedOnItsOwnAndWrittenWhole) {
    for (const bool withShift : {false, true}) {
        const QList<int> keys =
            withShift ? QList{KEY_LEFTCTRL, KEY_LEFTSHIFT, 52} : QList{KEY_LEFTCTRL, 52};
        QList<Event> expected;
        for (const int key : keys)
            expected << Event{EV_KEY, quint16(key), 1} << Event{EV_SYN, SYN_REPORT, 0};
        for (auto key = keys.rbegin(); key != keys.rend(); ++key)
            expected << Event{EV_KEY, quint16(*key), 0} << Event{EV_SYN, SYN_REPORT, 0};
        const QList<Event> events = UinputPaste::pasteEvents(52, withShift);
        EXPECT_EQ(events, expected);

        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        EXPECT_TRUE(UinputPaste::writeEvents(fds[1], events));
        ::close(fds[1]);
        QList<Event> written;
        input_event event{};
        while (::read(fds[0], &event, sizeof event) == ssize_t(sizeof event))
            written.append({event.type, event.code, event.value});
        ::close(fds[0]);
        EXPECT_EQ(written, events);
    }
    const int readOnly = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    EXPECT_FALSE(UinputPaste::writeEvents(readOnly, UinputPaste::pasteEvents(47, false)));
    ::close(readOnly);
}

} // namespace
