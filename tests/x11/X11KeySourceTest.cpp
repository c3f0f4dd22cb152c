// The real key source on the test's X server. What the monitor decides on the events is
// tested in HotkeyManagerTest; here, that the events and the grabs are the right ones.

#include "X11KeySource.h"
#include "HotkeyManager.h"
#include "QtPrinters.h"
#include "X11TestSupport.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using orvanta::x11::X11KeySource;
using ::testing::ElementsAre;

namespace {

// The key source feeding a shortcut monitor, with a target window that has the focus.
class X11KeySourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(keyboard.isOpen()) << "no X display";
        ASSERT_TRUE(target.start(keyboard));
        manager.onStart = [this] { fired.append("start"); };
        manager.onStop = [this] { fired.append("stop"); };
        manager.onCancel = [this] { fired.append("cancel"); };
        manager.onPasteLast = [this] { fired.append("pasteLast"); };
        manager.isRecordingActive = [this] { return recording; };
    }

    // Runs `change` (starting the monitor if none) and waits until its grabs are in place;
    // the combinations refused.
    QStringList changeAndWaitForGrabs(const std::function<void()> &change = {}) {
        QSignalSpy applied(&source, &X11KeySource::consumedShortcutsApplied);
        if (change)
            change();
        else
            EXPECT_TRUE(manager.start());
        return applied.wait(10000) ? applied.last().at(0).toStringList() : QStringList{"none"};
    }

    void setRecording(bool on) {
        changeAndWaitForGrabs([=, this] {
            recording = on;
            manager.recordingStateChanged();
        });
    }

    // Types a plain key the target must receive; once it has, every key typed before has
    // been seen by the monitor as well as by the target.
    void typeMarker(const char *keySymbol, const QString &reported) {
        keyboard.tap(keySymbol);
        ASSERT_TRUE(target.waitForLine("key " + reported));
    }

    bool waitForFired(const QStringList &expected) {
        const bool done = QTest::qWaitFor([&] { return fired.size() >= expected.size(); }, 10000);
        EXPECT_EQ(fired, expected);
        return done && fired == expected;
    }

    XKeyboard keyboard;
    TargetApp target;
    X11KeySource source;
    HotkeyManager manager{source};
    QStringList fired;
    bool recording = false;
};

// A grab takes its combination with exactly its modifiers, CapsLock on or off; every other
// combination reaches the window, and so does Esc unless recording. One held by another
// application is reported, and none of its variants is kept.
TEST_F(X11KeySourceTest, ACombinationIsConsumedExactlyWhileItCanFire) {
    ASSERT_TRUE(keyboard.grabKey("v", (1u << 2) | (1u << 6))); // ControlMask | Mod4Mask
    manager.setActivate(Shortcut::combo(2, {ModifierKey::Control, ModifierKey::Option}, "D"));
    EXPECT_THAT(changeAndWaitForGrabs(), ElementsAre("⌃⌘V"));
    keyboard.chord({"Control_L", "Alt_L", "d"});
    keyboard.tap("Caps_Lock");
    keyboard.chord({"Control_L", "Alt_L", "d"});
    keyboard.chord({"Control_L", "Super_L", "v"});
    keyboard.tap("Caps_Lock");
    keyboard.chord({"Control_L", "d"});
    keyboard.chord({"Shift_L", "Alt_L", "Control_L", "d"});
    keyboard.tap("Escape");
    ASSERT_TRUE(waitForFired({"start", "start"}));
    typeMarker("c", "C");
    EXPECT_THAT(target.lines().filter("key "),
                ElementsAre("key CapsLock", "key Meta+Ctrl+V", "key CapsLock", "key Ctrl+D",
                            "key Ctrl+Alt+Shift+D", "key Esc", "key C"));

    setRecording(true);
    target.forget();
    keyboard.tap("Escape");
    keyboard.chord({"Control_L", "Alt_L", "d"});
    ASSERT_TRUE(waitForFired({"start", "start", "cancel", "stop"}));
    typeMarker("a", "A");
    setRecording(false);
    typeMarker("Escape", "Esc");
    EXPECT_THAT(target.lines().filter("key "), ElementsAre("key A", "key Esc"));
}

// Keys synthesized through XTEST (the paste keystroke) are not the user's: they are not
// reported at all, so they neither fire nor end a tap of the user's, however soon it follows.
TEST_F(X11KeySourceTest, KeysSynthesizedThroughXTestAreNotReported) {
    manager.setActivate(Shortcut::doubleTap(ModifierKey::Control));
    manager.setPasteLast(Shortcut::combo(96, {}, "F5"));
    changeAndWaitForGrabs();
    keyboard.chord({"Control_L"}, true);
    keyboard.chord({"Control_L"}, true);
    keyboard.chord({"F5"}, true);
    keyboard.tap("Control_L");
    keyboard.chord({"Control_L", "v"}, true);
    keyboard.tap("Control_L");
    keyboard.tap("F5");
    typeMarker("c", "C");
    EXPECT_TRUE(waitForFired({"start", "pasteLast"}));
}

// With CapsLock made a Control key (ctrl:nocaps) and Alt and Super swapped, a combination
// fires exactly when its grab takes the key, and the remapped keys make modifier taps.
TEST_F(X11KeySourceTest, RemappedModifiersFireExactlyWhatTheirGrabsConsume) {
    const auto setOptions = [](const QStringList &options) {
        return QProcess::execute("setxkbmap",
                                 QStringList{"-layout", "us", "-option", ""} + options) == 0;
    };
    const int capsKey = 66, leftAltKey = 64;
    manager.setActivate(Shortcut::combo(KeyCode::space, {ModifierKey::Control}, "Space"));
    manager.setPasteLast(Shortcut::combo(2, {ModifierKey::Command}, "D"));
    changeAndWaitForGrabs();
    changeAndWaitForGrabs([&] {
        ASSERT_TRUE(setOptions({"-option", "ctrl:nocaps", "-option", "altwin:swap_alt_win"}));
    });
    const auto chordByCode = [this](int modifierKey, const char *keySymbol) {
        keyboard.sendCode(modifierKey, true);
        keyboard.tap(keySymbol);
        keyboard.sendCode(modifierKey, false);
    };
    target.forget();
    chordByCode(capsKey, "space");
    chordByCode(leftAltKey, "d");
    EXPECT_TRUE(waitForFired({"start", "pasteLast"}));
    typeMarker("h", "H");
    EXPECT_THAT(target.lines().filter("key "), ElementsAre("key H"));

    fired.clear();
    changeAndWaitForGrabs(
        [this] { manager.setActivate(Shortcut::doubleTap(ModifierKey::Control)); });
    for (int tap = 0; tap < 2; ++tap) {
        keyboard.sendCode(capsKey, true);
        keyboard.sendCode(capsKey, false);
    }
    EXPECT_TRUE(waitForFired({"start"})) << "CapsLock is a Control key now";
    EXPECT_TRUE(setOptions({}));
}

} // namespace
