#include "X11KeyTranslator.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>

using namespace orvanta;
using orvanta::x11::X11KeyTranslator;
using Type = KeyEvent::Type;

namespace {

constexpr int x(int linuxCode) {
    return linuxCode + X11KeyTranslator::evdevOffset;
}
constexpr quint64 control = 0x40000;
constexpr quint64 command = 0x100000;

// An event as "type flags key" for one comparison; a modifier's events tell the flags only.
std::string described(const std::optional<KeyEvent> &event) {
    if (!event)
        return "none";
    return std::to_string(int(event->type)) + " " + std::to_string(event->flags) +
           (event->type == Type::FlagsChanged ? "" : " " + std::to_string(event->keyCode));
}
std::string event(Type type, quint64 flags, quint16 keyCode = 0) {
    return described(KeyEvent{type, keyCode, flags});
}

TEST(X11KeyTranslator, TracksModifiersKeyByKeyFromTheKeysHeldAtTheStart) {
    X11KeyTranslator keys;
    std::array<bool, X11KeyTranslator::keyCodeCount> pressed{};
    pressed[x(KEY_RIGHTMETA)] = pressed[x(KEY_A)] = true;
    keys.reset(pressed);
    const auto press = [&](int key) { return described(keys.press(x(key))); };
    const auto release = [&](int key) { return described(keys.release(x(key))); };
    const std::string both = event(Type::FlagsChanged, control | command);
    EXPECT_EQ(press(KEY_LEFTCTRL), both);
    EXPECT_EQ(press(KEY_LEFTCTRL), "none") << "a held modifier's repeat";
    EXPECT_EQ(press(KEY_RIGHTCTRL), both);
    EXPECT_EQ(release(KEY_LEFTCTRL), both) << "the right Ctrl is still down";
    for (int repeat = 0; repeat < 2; ++repeat)
        EXPECT_EQ(press(KEY_V), event(Type::OtherKeyDown, control | command, KeyCode::v))
            << "raw presses match nothing; ordinary keys repeat";
    EXPECT_EQ(release(KEY_V), "none");
    EXPECT_EQ(release(KEY_RIGHTCTRL), event(Type::FlagsChanged, command));
    EXPECT_EQ(release(KEY_RIGHTMETA), event(Type::FlagsChanged, 0));
    EXPECT_EQ(release(KEY_RIGHTMETA), "none") << "a release without a press";
    EXPECT_EQ(press(KEY_CAPSLOCK), event(Type::OtherKeyDown, 0)) << "it still ends a clean tap";
}

} // namespace
