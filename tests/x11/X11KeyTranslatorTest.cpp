#include "X11KeyTranslator.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>

#include <set>

using namespace orvanta;
using orvanta::x11::X11KeyTranslator;

namespace {

constexpr int x(int linuxCode) {
    return linuxCode + X11KeyTranslator::evdevOffset;
}
constexpr quint64 control = 0x40000;
constexpr quint64 command = 0x100000;

TEST(X11KeyTranslator, TableIsOneToOneAndKnowsTheBoundKeys) {
    std::set<quint16> seen;
    for (int code = 0; code < X11KeyTranslator::keyCodeCount; ++code) {
        const auto keyCode = X11KeyTranslator::keyCodeFor(code);
        if (!keyCode)
            continue;
        EXPECT_TRUE(seen.insert(*keyCode).second) << "key code " << *keyCode << " twice";
        EXPECT_EQ(X11KeyTranslator::xKeyCodeFor(*keyCode), code);
    }
    // The keys of the default bindings and of the recorder's named labels.
    EXPECT_EQ(X11KeyTranslator::keyCodeFor(9), KeyCode::escape);
    EXPECT_EQ(X11KeyTranslator::keyCodeFor(55), KeyCode::v);
    EXPECT_EQ(X11KeyTranslator::keyCodeFor(x(KEY_ENTER)), KeyCode::returnKey);
    EXPECT_EQ(X11KeyTranslator::keyCodeFor(x(KEY_SPACE)), KeyCode::space);
    EXPECT_EQ(X11KeyTranslator::keyCodeFor(x(KEY_BACKSPACE)), KeyCode::deleteKey);
    EXPECT_EQ(X11KeyTranslator::keyCodeFor(x(KEY_UP)), KeyCode::upArrow);
    EXPECT_EQ(X11KeyTranslator::modifierFor(133), ModifierKey::Command);
    EXPECT_EQ(X11KeyTranslator::modifierFor(x(KEY_RIGHTALT)), ModifierKey::Option);
    EXPECT_FALSE(X11KeyTranslator::keyCodeFor(x(KEY_CAPSLOCK)));
    EXPECT_FALSE(X11KeyTranslator::keyCodeFor(-1));
    EXPECT_FALSE(X11KeyTranslator::keyCodeFor(4096));

    const quint64 visible = X11KeyTranslator::visibleModifiers();
    EXPECT_EQ(visible & mask(ModifierKey::Fn), 0u);
    for (ModifierKey key :
         {ModifierKey::Command, ModifierKey::Option, ModifierKey::Control, ModifierKey::Shift})
        EXPECT_NE(visible & mask(key), 0u) << rawValue(key).toStdString();
}

TEST(X11KeyTranslator, TracksModifiersKeyByKey) {
    X11KeyTranslator translator;
    auto event = translator.press(x(KEY_LEFTCTRL));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, KeyEvent::Type::FlagsChanged);
    EXPECT_EQ(event->flags, control);
    EXPECT_FALSE(translator.press(x(KEY_LEFTCTRL))) << "a held key's repeat changes nothing";

    ASSERT_TRUE(translator.press(x(KEY_RIGHTCTRL)));
    event = translator.release(x(KEY_LEFTCTRL));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->flags, control) << "the right Ctrl is still down";

    translator.press(x(KEY_LEFTMETA));
    event = translator.press(x(KEY_V));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, KeyEvent::Type::OtherKeyDown) << "raw presses match nothing";
    EXPECT_EQ(event->keyCode, KeyCode::v);
    EXPECT_TRUE(translator.press(x(KEY_V))) << "ordinary keys repeat";
    EXPECT_FALSE(translator.release(x(KEY_V)));

    translator.release(x(KEY_RIGHTCTRL));
    event = translator.release(x(KEY_LEFTMETA));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->flags, 0u);
    EXPECT_FALSE(translator.release(x(KEY_LEFTMETA))) << "a release without a press";
    event = translator.press(x(KEY_CAPSLOCK));
    ASSERT_TRUE(event) << "a key outside the table still ends a clean tap";
    EXPECT_EQ(event->type, KeyEvent::Type::OtherKeyDown);
}

// ctrl:nocaps and altwin:swap_alt_win: the keyboard map, not the key's position, says which
// modifier a key is, and the grabbed press is matched on the state the server reports.
TEST(X11KeyTranslator, FollowsTheKeyboardMapForModifiers) {
    X11KeyTranslator translator;
    auto keys = X11KeyTranslator::defaultModifierKeys();
    keys[x(KEY_CAPSLOCK)] = ModifierKey::Control;
    keys[x(KEY_LEFTALT)] = ModifierKey::Command;
    keys[x(KEY_LEFTMETA)] = ModifierKey::Option;
    translator.setModifierKeys(keys);
    auto event = translator.press(x(KEY_CAPSLOCK));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, KeyEvent::Type::FlagsChanged);
    EXPECT_EQ(event->flags, control);
    event = translator.press(x(KEY_LEFTALT));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->flags, control | command);

    const X11KeyTranslator::ModifierBits swapped{/*option*/ 0x40, /*command*/ 0x08, 0x10};
    const unsigned lockAndNumLock = 0x02 | 0x10;
    const auto grabbed =
        X11KeyTranslator::grabbedPress(x(KEY_V), 0x04 | 0x08 | lockAndNumLock, swapped);
    ASSERT_TRUE(grabbed);
    EXPECT_EQ(grabbed->type, KeyEvent::Type::KeyDown);
    EXPECT_EQ(grabbed->keyCode, KeyCode::v);
    EXPECT_EQ(grabbed->flags, control | command) << "Mod1 is command here; locks left out";
    EXPECT_FALSE(X11KeyTranslator::grabbedPress(x(KEY_CAPSLOCK), 0, swapped));
}

TEST(X11KeyTranslator, StartsFromTheKeysHeldAtTheTime) {
    X11KeyTranslator translator;
    std::array<bool, X11KeyTranslator::keyCodeCount> pressed{};
    pressed[x(KEY_RIGHTMETA)] = true;
    pressed[x(KEY_A)] = true;
    translator.reset(pressed);
    EXPECT_EQ(translator.flags(), command);
    const auto event = translator.release(x(KEY_RIGHTMETA));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->flags, 0u);
}

} // namespace
