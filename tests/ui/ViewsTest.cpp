// The menu panel and floating bar on the faked controller; OnX11 runs the application on Xvfb.

#include "../unit/FakeAppScene.h"
#include "CommandLine.h"
#include "FloatingBarWindow.h"
#include "MenuActions.h"
#include "MenuRules.h"
#include "OrvantaApp.h"
#include "QmlViews.h"
#include "RecordingIndicatorController.h"
#include "TestDoubles.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace orvanta;
using namespace orvanta::test;

namespace {

class ViewsTest : public ::testing::Test, protected FakeAppScene {};

// Tab, Enter, the footer's keys and Esc work; the primary button follows the status.
TEST_F(ViewsTest, MenuWorksFromTheKeyboardAndFollowsTheStatus) {
    QAccessible::setActive(true);
    QmlViews engine;
    TestAuth auth;
    auth.signedIn = true;
    MenuActions actions;
    std::unique_ptr<QQuickWindow> menu(qobject_cast<QQuickWindow *>(
        engine.createWindow("MenuPanel", {{"appState", QVariant::fromValue(&app)},
                                          {"auth", QVariant::fromValue(&auth)},
                                          {"actions", QVariant::fromValue(&actions)}})));
    ASSERT_TRUE(menu);
    menu->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.get()));
    menu->requestActivate();
    QStringList names;
    for (int step = 0; step < 6; ++step) {
        QTest::keyClick(menu.get(), Qt::Key_Tab);
        QAccessibleInterface *accessible =
            QAccessible::queryAccessibleInterface(menu->activeFocusItem());
        ASSERT_TRUE(accessible) << step;
        names.append(accessible->text(QAccessible::Name));
    }
    // "Check for Updates…" is disabled here (no updater), so Tab passes it.
    QStringList rows;
    for (const char *row : {"primaryButton", "settingsRow", "quitRow"})
        rows.append(menu->findChild<QObject *>(row)->property("text").toString());
    EXPECT_EQ(names, rows + rows);
    QSignalSpy settings(&actions, &MenuActions::settingsRequested);
    QSignalSpy quit(&actions, &MenuActions::quitRequested);
    QTest::keyClick(menu.get(), Qt::Key_Return);
    EXPECT_EQ(quit.count(), 1) << "Enter activates the focused row";
    QTest::keyClick(menu.get(), Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(settings.count(), 1);
    QTest::keyClick(menu.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quit.count(), 2);

    QObject *button = menu->findChild<QObject *>("primaryButton");
    QObject *error = menu->findChild<QObject *>("errorText");
    using enum DictationStatus::Kind;
    for (const DictationStatus::Kind afterClick : {Recording, Transcribing, Transcribing}) {
        QMetaObject::invokeMethod(button, "clicked");
        EXPECT_TRUE(app.status().is(afterClick)) << int(afterClick);
        EXPECT_EQ(button->property("text"), MenuRules::primaryButton(app.status()).title);
    }
    recorder.finishStop(false);
    EXPECT_TRUE(error->property("visible").toBool());
    EXPECT_EQ(error->property("text").toString(), AppState::captureFailedMessage);
    auth.set(false, 0);
    QSignalSpy signIn(&actions, &MenuActions::signInRequested);
    QMetaObject::invokeMethod(button, "clicked");
    EXPECT_EQ(signIn.count(), 1);
    EXPECT_TRUE(app.status().is(Error)) << "signed out, the button only signs in";
    QTest::keyClick(menu.get(), Qt::Key_Escape);
    EXPECT_FALSE(menu->isVisible());
}

// Only what shows reacts: the idle handle's grown footprint, then the pill's two buttons.
TEST_F(ViewsTest, FloatingBarReactsOnlyWhereItsPillIs) {
    using enum DictationStatus::Kind;
    QAccessible::setActive(true);
    RecordingIndicatorController controller;
    controller.attach(app);
    controller.setShapedToPill(true);
    controller.show();
    FloatingBarWindow *bar = controller.window();
    ASSERT_TRUE(bar);
    bar->resize(120, 34);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(bar));
    QWindow *window = bar->windowHandle();
    auto reacting = [&] {
        QStringList shown;
        for (const char *name : {"handleArea", "cancelButton", "stopButton"})
            if (bar->findChild<QWidget *>(name)->isVisible())
                shown.append(name);
        return shown;
    };
    const std::pair<QPoint, bool> idlePoints[] = {
        {{60, 17}, true}, // on the thin handle
        {{16, 17}, true}, // beside it, where the grown handle will be
        {{60, 6}, true},  // above it, likewise
        {{4, 17}, false}, // in the window, outside the pill
    };
    for (const auto &[point, reacts] : idlePoints) {
        QTest::mouseMove(window, point);
        EXPECT_TRUE(QTest::qWaitFor([&] { return bar->isHovering() == reacts; }))
            << point.x() << "," << point.y();
        EXPECT_EQ(bar->mask().contains(point), reacts)
            << "without a compositor the window is cut to the same area";
    }
    EXPECT_EQ(reacting(), QStringList{"handleArea"});
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(4, 17));
    EXPECT_TRUE(app.status().is(Idle)) << "a click beside the pill";
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(16, 17));
    ASSERT_TRUE(app.status().is(Recording));
    EXPECT_EQ(reacting(), (QStringList{"cancelButton", "stopButton"}));
    recorder.levelHandler(0.8f);

    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->size() == QSize(210, 40); }));
    const QPoint stop = bar->findChild<QWidget *>("stopButton")->geometry().center();
    QTest::mouseClick(window, Qt::LeftButton, {}, stop);
    EXPECT_TRUE(app.status().is(Transcribing));
    EXPECT_EQ(reacting(), QStringList{});
    recorder.finishStop(false);
    ASSERT_TRUE(app.status().is(Error));

    // A screen reader finds the bar's buttons by name and presses them.
    auto press = [&](const char *button, const QString &name) {
        QAccessibleInterface *accessible =
            QAccessible::queryAccessibleInterface(bar->findChild<QWidget *>(button));
        EXPECT_EQ(accessible->text(QAccessible::Name), name);
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    };
    press("handleArea", "Start dictation");
    EXPECT_TRUE(QTest::qWaitFor([&] { return app.status().is(Recording); }));
    press("cancelButton", "Cancel dictation");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app.status().is(Recording); }));
}

// The real application, started on an X server, opens its settings window.
TEST(OnX11, TheApplicationOpensItsSettingsWindow) {
    if (QGuiApplication::platformName() != u"xcb")
        GTEST_SKIP() << "needs an X server; ctest runs this under Xvfb";
    OrvantaApp::describeDesktopApplication();
    OrvantaApp app;
    app.handle({.command = Request::Command::Settings, .urls = {}}, false);
    EXPECT_TRUE(QTest::qWaitFor([] {
        return std::ranges::any_of(QGuiApplication::topLevelWindows(), [](QWindow *window) {
            return window->isVisible() && !window->title().isEmpty();
        });
    }));
}

} // namespace
