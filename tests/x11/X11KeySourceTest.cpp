#include "X11KeySource.h"
#include "HotkeyManager.h"
#include "Keybindings.h"
#include "X11TestSupport.h"

#include <QProcess>
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

// Keys synthesized through XTEST (the paste keystroke) are not the user's: they neither
// fire, nor count as a first press, nor end a clean tap; the user's own keys around them
// all count, however soon they follow.
TEST_F(X11KeySourceTest, KeysFromTheXTestDeviceAreNotTheUsers) {
    manager.setActivate(Shortcut::doubleTap(ModifierKey::Control));
    manager.setPasteLast(Shortcut::combo(96, {}, QStringLiteral("F5")));
    startMonitor();
    const auto synthesizedPaste = [this] {
        for (const auto &[symbol, down] :
             {std::pair{"Control_L", true}, {"v", true}, {"v", false}, {"Control_L", false}})
            keyboard.sendSynthetic(symbol, down);
    };
    keyboard.tap("Control_L");
    synthesizedPaste();
    keyboard.tap("Control_L");
    ASSERT_TRUE(waitForFired({"start"})) << fired.join(u',').toStdString();

    fired.clear();
    keyboard.sendSynthetic("Control_L", true);
    keyboard.sendSynthetic("Control_L", false);
    keyboard.tap("Control_L");
    keyboard.sendSynthetic("F5", true);
    keyboard.sendSynthetic("F5", false);
    keyboard.tap("F5");
    EXPECT_TRUE(waitForFired({"pasteLast"})) << "only the user's F5, no pair of Control";
}

// With CapsLock made a Control key (ctrl:nocaps) and Alt and Super swapped, a combination
// fires exactly when its grab takes the key, and the remapped keys make modifier taps.
TEST_F(X11KeySourceTest, RemappedModifiersFireExactlyWhatTheirGrabsConsume) {
    const auto setOptions = [](const QStringList &options) {
        QStringList arguments{QStringLiteral("-layout"), QStringLiteral("us"),
                              QStringLiteral("-option"), QString()};
        for (const QString &option : options)
            arguments << QStringLiteral("-option") << option;
        return QProcess::execute(QStringLiteral("setxkbmap"), arguments) == 0;
    };
    const int capsKey = 66;
    const int leftAltKey = 64;
    manager.setActivate(
        Shortcut::combo(KeyCode::space, {ModifierKey::Control}, QStringLiteral("Space")));
    manager.setPasteLast(Shortcut::combo(2, {ModifierKey::Command}, QStringLiteral("D")));
    startMonitor();
    changeAndWaitForGrabs([&] {
        ASSERT_TRUE(
            setOptions({QStringLiteral("ctrl:nocaps"), QStringLiteral("altwin:swap_alt_win")}));
    });
    const auto chordByCode = [this](int modifierKey, const char *keySymbol) {
        keyboard.sendCode(modifierKey, true);
        keyboard.tap(keySymbol);
        keyboard.sendCode(modifierKey, false);
    };
    target.forget();
    chordByCode(capsKey, "space");
    chordByCode(leftAltKey, "d");
    EXPECT_TRUE(waitForFired({"start", "pasteLast"})) << fired.join(u',').toStdString();
    typeMarker("h", QStringLiteral("H"));
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Ctrl+Space")))
        << target.lines().join(u'|').toStdString();
    EXPECT_FALSE(target.hasLine(QStringLiteral("key Meta+D")));

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

// A key thread whose X connection broke reports itself stopped, and starting it again
// opens a new connection that works.
TEST(X11KeySourceRestart, AThreadEndedByALostServerStartsAgain) {
    const QByteArray display = qgetenv("DISPLAY");
    // The first server picks its display; the second takes the same one.
    const auto startServer = [](QProcess &server, const QString &number) {
        server.start(QStringLiteral("Xvfb"),
                     QStringList{number.isEmpty() ? QStringLiteral("-displayfd 1") : number,
                                 QStringLiteral("-nolisten tcp -noreset")}
                         .join(u' ')
                         .split(u' '));
        return server.waitForStarted(10000);
    };
    QProcess first;
    ASSERT_TRUE(startServer(first, {}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.canReadLine(); }, 10000));
    const QString number = QStringLiteral(":") + QString::fromLatin1(first.readLine()).trimmed();
    qputenv("DISPLAY", number.toLatin1());

    X11KeySource source;
    HotkeyManager manager{source};
    manager.setActivate(Shortcut::doubleTap(ModifierKey::Control));
    int starts = 0;
    manager.onStart = [&starts] { ++starts; };
    ASSERT_TRUE(manager.start());
    EXPECT_TRUE(source.isStarted());
    first.kill();
    first.waitForFinished(5000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !source.isStarted(); }, 10000));

    QProcess second;
    ASSERT_TRUE(startServer(second, number));
    ASSERT_TRUE(QTest::qWaitFor([&] { return manager.start(); }, 10000));
    EXPECT_TRUE(source.isStarted());
    {
        XKeyboard keyboard;
        ASSERT_TRUE(keyboard.isOpen());
        keyboard.tap("Control_L");
        keyboard.tap("Control_L");
        EXPECT_TRUE(QTest::qWaitFor([&] { return starts == 1; }, 10000));
    }
    qputenv("DISPLAY", display);
    second.kill();
    second.waitForFinished(5000);
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
