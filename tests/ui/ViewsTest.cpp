#include "../unit/FakeAppScene.h"
#include "AppState.h"
#include "History.h"
#include "MenuActions.h"
#include "MenuBarIcon.h"
#include "PreferenceStore.h"
#include "RecordingIndicatorController.h"
#include "Settings.h"
#include "Symbols.h"
#include "TempEnvironment.h"
#include "TestDoubles.h"
#include "Vocabulary.h"

#include <QAccessible>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

extern void qml_register_types_Orvanta();

using namespace orvanta;
using namespace orvanta::test;
using namespace std::chrono_literals;

namespace {

QStringList qmlWarnings;

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message) {
    // The offscreen platform can neither raise nor shape windows, and says so.
    if (type != QtDebugMsg && type != QtInfoMsg && !message.contains("does not support"))
        qmlWarnings.append(message);
}

class ViewsTest : public ::testing::Test, protected FakeAppScene {
protected:
    static void SetUpTestSuite() { qml_register_types_Orvanta(); }

    void SetUp() override {
        engine.addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
        qmlWarnings.clear();
        auth.signedIn = true;
        previousHandler = qInstallMessageHandler(collectWarnings);
    }
    void TearDown() override {
        qInstallMessageHandler(previousHandler);
        EXPECT_TRUE(qmlWarnings.isEmpty()) << qmlWarnings.join('\n').toStdString();
    }

    std::unique_ptr<QQuickWindow> load(const QString &file, const QVariantMap &properties) {
        QQmlComponent component(&engine, QUrl("qrc:/Orvanta/" + file));
        EXPECT_FALSE(component.isError()) << component.errorString().toStdString();
        if (component.isError())
            return nullptr;
        auto *window =
            qobject_cast<QQuickWindow *>(component.createWithInitialProperties(properties));
        EXPECT_NE(window, nullptr) << component.errorString().toStdString();
        return std::unique_ptr<QQuickWindow>(window);
    }
    std::unique_ptr<QQuickWindow> loadMenu() {
        return load("MenuPanel.qml", {{"appState", QVariant::fromValue(&app)},
                                      {"auth", QVariant::fromValue(&auth)},
                                      {"actions", QVariant::fromValue(&actions)}});
    }
    static QString textOf(QObject *root, const char *name) {
        QObject *object = root->findChild<QObject *>(name);
        return object ? object->property("text").toString() : QString("<missing>");
    }

    QtMessageHandler previousHandler = nullptr;
    QQmlEngine engine;
    TestAuth auth;
    MenuActions actions;
};

TEST_F(ViewsTest, MenuFollowsTheStatusAndTheAccount) {
    auto menu = loadMenu();
    ASSERT_TRUE(menu);
    QObject *pill = menu->findChild<QObject *>("statusPill");
    ASSERT_TRUE(pill);
    QObject *button = menu->findChild<QObject *>("primaryButton");
    EXPECT_EQ(button->property("text").toString(), "Start Dictation");

    app.startDictation();
    EXPECT_EQ(button->property("text").toString(), "Stop Dictation");
    app.stopAndTranscribe();
    EXPECT_EQ(button->property("text").toString(), "Start Dictation");
    EXPECT_FALSE(button->property("enabled").toBool());

    recorder.finishStop(false);
    QObject *error = menu->findChild<QObject *>("errorText");
    EXPECT_TRUE(error->property("visible").toBool());
    EXPECT_EQ(error->property("text").toString(), AppState::captureFailedMessage);
    scheduler.advance(4s);
    EXPECT_FALSE(error->property("visible").toBool());

    auth.signedIn = false;
    emit auth.changed();
    EXPECT_EQ(button->property("text").toString(), "Sign In");
    QSignalSpy signIn(&actions, &MenuActions::signInRequested);
    QMetaObject::invokeMethod(button, "clicked");
    EXPECT_EQ(signIn.count(), 1);
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Idle))
        << "signed out, the button only signs in";
}

TEST_F(ViewsTest, MenuButtonStartsAndStops) {
    auto menu = loadMenu();
    ASSERT_TRUE(menu);
    QObject *button = menu->findChild<QObject *>("primaryButton");
    QMetaObject::invokeMethod(button, "clicked");
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Recording));
    QMetaObject::invokeMethod(button, "clicked");
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Transcribing));
    QMetaObject::invokeMethod(button, "clicked");
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Transcribing)) << "inert while transcribing";
    EXPECT_FALSE(menu->findChild<QObject *>("updatesRow")->property("enabled").toBool());
}

// The menu from the keyboard: Tab through its controls, each named; Enter activates; the
// footer's keys work while it has the focus; Esc closes it.
TEST_F(ViewsTest, MenuWorksFromTheKeyboard) {
    QAccessible::setActive(true);
    auto menu = loadMenu();
    ASSERT_TRUE(menu);
    menu->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.get()));
    menu->requestActivate();
    QStringList names;
    for (int step = 0; step < 6; ++step) {
        QTest::keyClick(menu.get(), Qt::Key_Tab);
        QQuickItem *focused = menu->activeFocusItem();
        ASSERT_TRUE(focused);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(focused);
        ASSERT_TRUE(accessible);
        names.append(accessible->text(QAccessible::Name));
    }
    // "Check for Updates…" is disabled here, so Tab passes it.
    EXPECT_EQ(names, (QStringList{"Start Dictation", "Settings…", "Quit Talvo", "Start Dictation",
                                  "Settings…", "Quit Talvo"}));
    QSignalSpy settings(&actions, &MenuActions::settingsRequested);
    QSignalSpy quit(&actions, &MenuActions::quitRequested);
    QTest::keyClick(menu.get(), Qt::Key_Return);
    EXPECT_EQ(quit.count(), 1) << "Enter activates the focused row";
    QTest::keyClick(menu.get(), Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(settings.count(), 1);
    QTest::keyClick(menu.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quit.count(), 2);
    EXPECT_EQ(menu->findChild<QObject *>("settingsRow")->property("shortcut"), "Ctrl+,");
    EXPECT_EQ(menu->findChild<QObject *>("quitRow")->property("shortcut"), "Ctrl+Q");
    QTest::keyClick(menu.get(), Qt::Key_Escape);
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(ViewsTest, FloatingBarShowsThePillOfTheStatus) {
    auto window = load("FloatingBar.qml", {{"appState", QVariant::fromValue(&app)}});
    ASSERT_TRUE(window);
    window->resize(210, 40);
    // Items in the item tree: a replaced pill leaves it at once, though it is deleted later.
    std::function<QQuickItem *(QQuickItem *, const QString &)> itemIn =
        [&](QQuickItem *item, const QString &suffix) -> QQuickItem * {
        if (item->objectName().endsWith(suffix))
            return item;
        for (QQuickItem *child : item->childItems()) {
            if (QQuickItem *found = itemIn(child, suffix))
                return found;
        }
        return nullptr;
    };
    auto visiblePill = [&] {
        QQuickItem *pill = itemIn(window->contentItem(), "Pill");
        return pill ? pill->objectName() : QString();
    };
    EXPECT_EQ(visiblePill(), "idlePill");
    app.startDictation();
    EXPECT_TRUE(QTest::qWaitFor([&] { return visiblePill() == QString("recordingPill"); }))
        << "visiblePill()";
    recorder.levelHandler(0.8f);
    QMetaObject::invokeMethod(itemIn(window->contentItem(), "cancelButton"), "clicked");
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Idle));
    EXPECT_TRUE(QTest::qWaitFor([&] { return visiblePill() == QString("idlePill"); }))
        << "visiblePill()";

    app.startDictation();
    EXPECT_TRUE(QTest::qWaitFor([&] { return visiblePill() == QString("recordingPill"); }));
    QMetaObject::invokeMethod(itemIn(window->contentItem(), "stopButton"), "clicked");
    EXPECT_TRUE(QTest::qWaitFor([&] { return visiblePill() == QString("transcribingPill"); }))
        << "visiblePill()";
}

// What shows is what reacts: the idle handle's footprint (92 × 24, the size it grows to)
// and nothing beyond it; on the recording pill only its two buttons.
TEST_F(ViewsTest, FloatingBarReactsOnlyWhereItsPillIs) {
    RecordingIndicatorController controller(engine);
    controller.attach(app);
    controller.setShapedToPill(true);
    controller.show();
    QQuickWindow *window = controller.window();
    ASSERT_TRUE(window);
    window->resize(120, 34);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const struct {
        QPoint point;
        bool reacts;
    } idlePoints[] = {
        {{60, 17}, true}, // on the thin handle
        {{16, 17}, true}, // beside it, where the grown handle will be
        {{60, 6}, true},  // above it, likewise
        {{4, 17}, false}, // in the window, outside the pill
        {{60, 2}, false},
    };
    for (const auto &[point, reacts] : idlePoints) {
        QTest::mouseMove(window, point);
        EXPECT_EQ(window->property("hovering").toBool(), reacts) << point.x() << "," << point.y();
        EXPECT_EQ(window->mask().contains(point), reacts)
            << "without a compositor the window is cut to the same area";
    }
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(4, 17));
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Idle)) << "a click beside the pill";
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(16, 17));
    ASSERT_TRUE(app.status().is(DictationStatus::Kind::Recording));

    EXPECT_TRUE(QTest::qWaitFor([&] { return window->size() == QSize(210, 40); }))
        << "window->size()";
    QTest::qWait(50);
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(105, 20));
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Recording)) << "the waveform is no button";
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(3, 20));
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Recording)) << "nor is the pill's edge";
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(10 + 9, 20));
    EXPECT_TRUE(app.status().is(DictationStatus::Kind::Idle)) << "the cancel button cancels";
}

TEST(MenuBarIconTest, DiscHasAHoleAndRingIsHollow) {
    const QImage idle = MenuBarIcon::idle(Qt::black, 2.0);
    const QImage active = MenuBarIcon::active(Qt::black, 2.0);
    ASSERT_EQ(idle.size(), QSize(36, 36));
    auto alphaAt = [](const QImage &image, double x, double y) {
        return qAlpha(image.pixel(int(x * 2), int(y * 2)));
    };
    // Centre of the hole: x 9.0 + 2.1, y (from the top) 18 − 10.12 − 2.1.
    EXPECT_EQ(alphaAt(idle, 11.1, 5.78), 0);
    EXPECT_EQ(alphaAt(idle, 6.0, 12.0), 255) << "the rest of the disc is solid";
    EXPECT_EQ(alphaAt(idle, 0.5, 0.5), 0);
    EXPECT_EQ(alphaAt(active, 9.0, 9.0), 0) << "the ring is hollow";
    EXPECT_GT(alphaAt(active, 9.0, 2.6), 200) << "its stroke touches the disc's edge";
}

TEST(SymbolsTest, EveryNamedSymbolRenders) {
    for (const QString name : {"mic.fill",
                               "stop.fill",
                               "gearshape",
                               "arrow.down.circle",
                               "power",
                               "person.crop.circle.badge.checkmark",
                               "exclamationmark.triangle.fill",
                               "xmark",
                               "xmark.circle",
                               "doc.on.clipboard",
                               "character.book.closed",
                               "arrow.left.arrow.right",
                               "text.alignleft",
                               "clock",
                               "person.circle",
                               "text.quote",
                               "checkmark.seal.fill",
                               "cpu",
                               "globe",
                               "wand.and.stars",
                               "menubar.rectangle",
                               "speaker.slash",
                               "hand.raised",
                               "textformat.abc",
                               "arrow.right",
                               "arrow.down.doc",
                               "person.fill",
                               "arrow.right.circle.fill",
                               "exclamationmark.circle",
                               "info.circle",
                               "pencil",
                               "trash",
                               "plus"}) {
        const QImage image = Symbols::render(name, Qt::red, QSize(24, 24));
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        bool drawn = false;
        for (int y = 0; y < 24 && !drawn; ++y)
            for (int x = 0; x < 24 && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) > 0 && qRed(image.pixel(x, y)) > 0;
        EXPECT_TRUE(drawn) << name.toStdString();
    }
    EXPECT_TRUE(Symbols::render("no.such.symbol", Qt::red, QSize(24, 24)).isNull());
}

} // namespace

#include "ViewsTest.moc"
