#include "HotkeyManager.h"
#include "FakePorts.h"
#include "Keybindings.h"
#include "QtPrinters.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using enum KeyEvent::Type;

namespace {

const quint64 control = mask(ModifierKey::Control), shift = mask(ModifierKey::Shift),
              option = mask(ModifierKey::Option), command = mask(ModifierKey::Command),
              fn = mask(ModifierKey::Fn);
constexpr quint16 keyD = 2, keyC = 8;

class HotkeyManagerTest : public ::testing::Test {
protected:
    HotkeyManagerTest() {
        manager->setActivate(Shortcut::doubleTap(ModifierKey::Control));
        manager->onStart = [this] { fired.append(QStringLiteral("start")); };
        manager->onStop = [this] { fired.append(QStringLiteral("stop")); };
        manager->onCancel = [this] { fired.append(QStringLiteral("cancel")); };
        manager->onPasteLast = [this] { fired.append(QStringLiteral("pasteLast")); };
        manager->isRecordingActive = [this] { return recording; };
    }

    // What the callbacks did once the posted calls ran.
    QStringList take() {
        QCoreApplication::processEvents();
        return std::exchange(fired, {});
    }

    bool flagsChanged(quint64 flags) { return source.handler({FlagsChanged, 0, flags}); }
    // Press and release of one modifier after `after` has passed.
    void tap(quint64 modifier, std::chrono::milliseconds after = 0ms) {
        now += after;
        EXPECT_FALSE(flagsChanged(modifier));
        EXPECT_FALSE(flagsChanged(0));
    }

    FakeKeySource source;
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + 1h;
    std::unique_ptr<HotkeyManager> manager =
        std::make_unique<HotkeyManager>(source, [this] { return now; });
    QStringList fired;
    bool recording = false;
};

// Measured from press to press, at the time the source saw them, not when they are handled.
TEST_F(HotkeyManagerTest, DoublePressWithinTheWindowStartsAndASinglePressStops) {
    const std::pair<std::chrono::milliseconds, bool> taps[] = {
        {0ms, false},   {300ms, true}, // two within the window
        {1s, false},    {500ms, false},
        {300ms, true}, // too slow: the second begins a new pair
        {1s, false},    {HotkeyManager::doubleTapWindow, true}, // the window's end still counts
        {100ms, false}, {100ms, true}, // a third quick press begins a new pair
    };
    for (const auto &[after, starts] : taps) {
        tap(control, after);
        EXPECT_EQ(take(), starts ? QStringList{"start"} : QStringList{}) << after.count();
    }

    const auto seen = now + 10s;
    now += 20s; // two presses half a second apart as seen, handled late and together
    for (const auto at : {0ms, 500ms}) {
        source.handler({FlagsChanged, 59, control, seen + at});
        source.handler({FlagsChanged, 59, 0, seen + at + 50ms});
    }
    EXPECT_THAT(take(), IsEmpty());

    tap(control, 10s);
    recording = true;
    tap(control, 100ms);
    EXPECT_THAT(take(), ElementsAre("stop"));
    recording = false;
    tap(control, 100ms);
    EXPECT_THAT(take(), IsEmpty()) << "the press that stopped must not begin a pair";
}

// Only a clean tap counts (nothing else pressed meanwhile); the pair fires on the second release.
TEST_F(HotkeyManagerTest, OnlyCleanTapsMakeADoublePress) {
    // One event a letter: c, s, b (both) and 0 are the modifiers held after a change; C, V and
    // L are Control with C, V or Left; o and O are a key outside the table, without and with
    // Control held.
    const std::pair<const char *, bool> cases[] = {
        {"c0c0", true},   {"cC0cV0", false}, {"c0cV0", false},
        {"cC0c0", false}, {"cbc0c0", false}, {"sbs0c0", false},
        {"c0oc0", false}, {"c0cO0", false},  {"cL0cL0", false},
    };
    const std::map<char, KeyEvent> events{{'c', {FlagsChanged, 0, control}},
                                          {'s', {FlagsChanged, 0, shift}},
                                          {'b', {FlagsChanged, 0, control | shift}},
                                          {'0', {FlagsChanged, 0, 0}},
                                          {'C', {KeyDown, keyC, control}},
                                          {'V', {KeyDown, KeyCode::v, control}},
                                          {'L', {KeyDown, KeyCode::leftArrow, control}},
                                          {'o', {OtherKeyDown, 0, 0}},
                                          {'O', {OtherKeyDown, 0, control}}};
    for (const auto &[steps, starts] : cases) {
        SCOPED_TRACE(steps);
        now += 10s; // nothing of the case before counts
        for (const char *step = steps; *step; ++step) {
            now += 50ms;
            EXPECT_FALSE(source.handler(events.at(*step))) << "a modifier tap is never consumed";
        }
        EXPECT_EQ(take(), starts ? QStringList{"start"} : QStringList{});
        tap(control, 1s);
        tap(control, 100ms);
        EXPECT_THAT(take(), ElementsAre("start")) << "whatever came before, two clean taps start";
    }
    tap(control, 1s);
    now += 100ms;
    flagsChanged(control);
    EXPECT_THAT(take(), IsEmpty()) << "the pair fires when the second tap ends";
    flagsChanged(0);
    EXPECT_THAT(take(), ElementsAre("start"));
}

TEST_F(HotkeyManagerTest, CombinationActivateStartsStopsAndIsConsumed) {
    manager->setActivate(
        Shortcut::combo(keyD, {ModifierKey::Control, ModifierKey::Command}, QStringLiteral("D")));
    EXPECT_TRUE(source.keyDown(keyD, control | command));
    EXPECT_THAT(take(), ElementsAre("start"));
    recording = true;
    EXPECT_TRUE(source.keyDown(keyD, control | command | fn)) << "fn is left out of the comparison";
    EXPECT_THAT(take(), ElementsAre("stop"));

    EXPECT_FALSE(source.keyDown(keyD, control | option | command));
    EXPECT_FALSE(source.keyDown(keyD, control));
    EXPECT_FALSE(source.keyDown(KeyCode::v, control | command | option));
    tap(control);
    tap(control, 100ms);
    EXPECT_THAT(take(), IsEmpty()) << "modifier changes mean nothing to a combination";
}

TEST_F(HotkeyManagerTest, PasteLastComesFirstAndCancelOnlyWhileRecording) {
    EXPECT_FALSE(source.keyDown(KeyCode::escape, 0)) << "Esc reaches the application while idle";
    EXPECT_TRUE(source.keyDown(KeyCode::v, control | command));
    EXPECT_THAT(take(), ElementsAre("pasteLast"));

    recording = true;
    EXPECT_TRUE(source.keyDown(KeyCode::escape, 0));
    EXPECT_FALSE(source.keyDown(KeyCode::escape, shift));
    EXPECT_TRUE(source.keyDown(KeyCode::v, control | command));
    EXPECT_THAT(take(), ElementsAre("cancel", "pasteLast"));

    // One combination bound to all three: the order decides.
    const Shortcut same =
        Shortcut::combo(KeyCode::space, {ModifierKey::Option}, QStringLiteral("Space"));
    manager->setActivate(same);
    manager->setCancel(same);
    EXPECT_TRUE(source.keyDown(KeyCode::space, option));
    recording = false;
    EXPECT_TRUE(source.keyDown(KeyCode::space, option));
    manager->setPasteLast(same);
    EXPECT_TRUE(source.keyDown(KeyCode::space, option));
    EXPECT_THAT(take(), ElementsAre("cancel", "start", "pasteLast"));
}

TEST_F(HotkeyManagerTest, CallbacksRunLaterAndAreLookedUpWhenTheyRun) {
    EXPECT_TRUE(source.keyDown(KeyCode::v, control | command));
    EXPECT_THAT(fired, IsEmpty()) << "nothing runs inside the event";
    manager->onPasteLast = [this] { fired.append(QStringLiteral("replaced")); };
    EXPECT_THAT(take(), ElementsAre("replaced"));

    // The decision between start and stop is made at event time.
    manager->setActivate(Shortcut::combo(keyD, {}, QStringLiteral("D")));
    source.keyDown(keyD, 0);
    recording = true;
    EXPECT_THAT(take(), ElementsAre("start"));

    source.keyDown(keyD, 0);
    manager.reset();
    EXPECT_THAT(take(), IsEmpty()) << "a manager that is gone runs nothing";
    EXPECT_FALSE(source.handler) << "the source no longer calls into it";
}

TEST_F(HotkeyManagerTest, ConsumedCombinationsFollowBindingsAndRecording) {
    const Shortcut paste = Keybindings::defaultPaste(), cancel = Keybindings::defaultCancel();
    EXPECT_THAT(source.consumedRequests.last(), ElementsAre(paste)) << "fn ×2 is no combination";

    recording = true;
    manager->recordingStateChanged();
    const auto requests = source.consumedRequests.size();
    manager->recordingStateChanged();
    EXPECT_EQ(source.consumedRequests.size(), requests) << "an unchanged set is not sent again";

    const Shortcut activate = Shortcut::combo(keyD, {ModifierKey::Command}, QStringLiteral("D"));
    manager->setActivate(activate);
    EXPECT_THAT(source.consumedRequests.last(), ElementsAre(paste, cancel, activate));
    recording = false;
    manager->recordingStateChanged();
    EXPECT_THAT(source.consumedRequests.last(), ElementsAre(paste, activate));
}

TEST_F(HotkeyManagerTest, TellsWhetherTheActivateBindingCanFireWithThisSource) {
    QSignalSpy changes(manager.get(), &HotkeyManager::activateCanFireChanged);
    manager->setActivate(Keybindings::defaultActivate());
    EXPECT_FALSE(manager->activateCanFire()) << "this source never sees fn";
    manager->setActivate(Shortcut::combo(keyD, {ModifierKey::Fn}, QStringLiteral("D")));
    EXPECT_TRUE(manager->activateCanFire()) << "fn is ignored in combinations";
    manager->setActivate(Shortcut::doubleTap(ModifierKey::Command));
    EXPECT_EQ(changes.size(), 2) << "only a change is told";
    EXPECT_TRUE(shortcutCanFire(Keybindings::defaultActivate(), fn));
    EXPECT_FALSE(shortcutCanFire(Shortcut::doubleTap(ModifierKey::Shift), control));
}

} // namespace
