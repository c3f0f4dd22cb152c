// The uinput keystroke's parts that need no /dev/uinput: the events of the keystroke, and how
// they reach a device. Where V is in the session's keyboard map is tested on KWin with a
// Dvorak layout.

#include "UinputPaste.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

using namespace orvanta::wayland;
using Event = UinputPaste::Event;

namespace {

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
