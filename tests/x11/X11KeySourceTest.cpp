#include "X11KeySource.h"
#include "HotkeyManager.h"
#include "Keybindings.h"
#include "X11TestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;
using orvanta::x11::X11KeySource;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// The real key source on the test's X server, feeding a shortcut monitor, with a target
// window that has the keyboard focus.
class X11KeySourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(keyboard.isOpen()) << "no X display";
        ASSERT_TRUE(target.start(keyboard));
        manager.onStart = [this] { fired.append(QStringLiteral("start")); };
        manager.onStop = [this] { fired.append(QStringLiteral("stop")); };
        manager.onCancel = [this] { fired.append(QStringLiteral("cancel")); };
        manager.onPasteLast = [this] { fired.append(QStringLiteral("pasteLast")); };
        manager.isRecordingActive = [this] { return recording; };
    }

    void startMonitor() {
        QSignalSpy applied(&source, &X11KeySource::consumedShortcutsApplied);
        ASSERT_TRUE(manager.start());
        ASSERT_TRUE(applied.wait(10000));
        refused = applied.last().at(0).toStringList();
    }

    // Runs `change` and waits until the grabs it leads to are in place.
    void changeAndWaitForGrabs(const std::function<void()> &change) {
        QSignalSpy applied(&source, &X11KeySource::consumedShortcutsApplied);
        change();
        ASSERT_TRUE(applied.wait(10000));
    }

    // Types a plain key the target must receive; once it has, every key typed before has
    // been seen by the monitor as well as by the target.
    void typeMarker(const char *keySymbol, const QString &reported) {
        keyboard.tap(keySymbol);
        ASSERT_TRUE(target.waitForLine(QStringLiteral("key ") + reported));
    }

    bool waitForFired(const QStringList &expected) {
        return QTest::qWaitFor([&] { return fired.size() >= expected.size(); }, 10000) &&
               fired == expected;
    }

    XKeyboard keyboard;
    TargetApp target;
    X11KeySource source;
    HotkeyManager manager{source};
    QStringList fired;
    QStringList refused;
    bool recording = false;
};

TEST_F(X11KeySourceTest, DoublePressOfControlStartsAndASinglePressStops) {
    manager.setActivate(Shortcut::doubleTap(ModifierKey::Control));
    startMonitor();
    EXPECT_TRUE(manager.activateCanFire());

    keyboard.tap("Control_L");
    keyboard.tap("Control_R");
    ASSERT_TRUE(waitForFired({"start"})) << fired.join(u',').toStdString();

    // Presses 0.5 s apart are no double press; a paste-last after them shows that every
    // earlier event has been decided.
    changeAndWaitForGrabs(
        [this] { manager.setPasteLast(Shortcut::combo(96, {}, QStringLiteral("F5"))); });
    fired.clear();
    keyboard.tap("Control_L");
    QTest::qWait(500);
    keyboard.tap("Control_L");
    keyboard.tap("F5");
    EXPECT_TRUE(waitForFired({"pasteLast"})) << fired.join(u',').toStdString();

    fired.clear();
    recording = true;
    keyboard.tap("Control_L");
    EXPECT_TRUE(waitForFired({"stop"})) << fired.join(u',').toStdString();
}

TEST_F(X11KeySourceTest, EscapeReachesTheWindowWhileIdleAndCancelsWhileRecording) {
    startMonitor();
    EXPECT_FALSE(manager.activateCanFire()) << "X11 never reports fn";
    typeMarker("Escape", QStringLiteral("Esc"));
    EXPECT_THAT(fired, IsEmpty());

    changeAndWaitForGrabs([this] {
        recording = true;
        manager.recordingStateChanged();
    });
    target.forget();
    keyboard.tap("Escape");
    EXPECT_TRUE(waitForFired({"cancel"}));
    typeMarker("a", QStringLiteral("A"));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Esc"))) << "Esc must be consumed";

    // CapsLock on changes the modifier state; the grab still holds.
    keyboard.tap("Caps_Lock");
    keyboard.tap("Escape");
    keyboard.tap("Caps_Lock");
    EXPECT_TRUE(waitForFired({"cancel", "cancel"}));
    typeMarker("b", QStringLiteral("B"));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Esc")));

    changeAndWaitForGrabs([this] {
        recording = false;
        manager.recordingStateChanged();
    });
    typeMarker("Escape", QStringLiteral("Esc"));
    EXPECT_THAT(fired, ElementsAre("cancel", "cancel"));
}

TEST_F(X11KeySourceTest, PasteLastIsConsumedAndOtherKeysPassThrough) {
    startMonitor();
    EXPECT_THAT(refused, IsEmpty());
    keyboard.chord({"Control_L", "Super_L", "v"});
    EXPECT_TRUE(waitForFired({"pasteLast"}));
    keyboard.chord({"Control_L", "v"});
    keyboard.chord({"Shift_L", "Super_L", "Control_L", "v"});
    typeMarker("c", QStringLiteral("C"));
    EXPECT_THAT(fired, ElementsAre("pasteLast"));
    EXPECT_TRUE(target.hasLine(QStringLiteral("key Ctrl+V")));
    EXPECT_TRUE(target.hasLine(QStringLiteral("key Meta+Ctrl+Shift+V")))
        << target.lines().join(u'|').toStdString();
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Meta+Ctrl+V")));
}

TEST_F(X11KeySourceTest, ABindingChangeTakesEffectOnTheNextKey) {
    const Shortcut ctrlD =
        Shortcut::combo(2, {ModifierKey::Control, ModifierKey::Option}, QStringLiteral("D"));
    const Shortcut ctrlE =
        Shortcut::combo(14, {ModifierKey::Control, ModifierKey::Option}, QStringLiteral("E"));
    manager.setActivate(ctrlD);
    startMonitor();
    keyboard.chord({"Control_L", "Alt_L", "d"});
    EXPECT_TRUE(waitForFired({"start"}));

    changeAndWaitForGrabs([&] { manager.setActivate(ctrlE); });
    recording = true;
    keyboard.chord({"Control_L", "Alt_L", "e"});
    EXPECT_TRUE(waitForFired({"start", "stop"}));
    target.forget();
    keyboard.chord({"Control_L", "Alt_L", "d"});
    ASSERT_TRUE(target.waitForLine(QStringLiteral("key Ctrl+Alt+D")));
    typeMarker("f", QStringLiteral("F"));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Ctrl+Alt+E")));
    EXPECT_THAT(fired, ElementsAre("start", "stop"));
}

TEST_F(X11KeySourceTest, ACombinationHeldByAnotherApplicationIsReportedAndTheRestWorks) {
    ASSERT_TRUE(keyboard.grabKey("v", XKeyboard::controlMask() | XKeyboard::superMask()));
    manager.setActivate(
        Shortcut::combo(KeyCode::space, {ModifierKey::Control}, QStringLiteral("Space")));
    startMonitor();
    EXPECT_THAT(refused, ElementsAre("⌃⌘V"));

    keyboard.chord({"Control_L", "space"});
    EXPECT_TRUE(waitForFired({"start"}));
    typeMarker("g", QStringLiteral("G"));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Ctrl+Space")));
}

TEST(X11KeySourceStart, FailsWithoutADisplayAndSucceedsWithOne) {
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":999");
    X11KeySource missing;
    EXPECT_FALSE(missing.start());
    EXPECT_FALSE(missing.isStarted());
    qputenv("DISPLAY", display);
    EXPECT_TRUE(missing.start());
    EXPECT_TRUE(missing.start());
}

} // namespace
