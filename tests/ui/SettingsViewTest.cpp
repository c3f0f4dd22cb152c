// The settings window in a real QML engine, wired to its stores and models.

#include "../unit/FakeAppScene.h"
#include "SettingsRules.h"
#include "SettingsWindowController.h"
#include "ShortcutLabel.h"
#include "TestDoubles.h"
#include "ViewEngine.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

void click(QObject *button) {
    ASSERT_TRUE(button);
    QMetaObject::invokeMethod(button, "clicked");
}

class SettingsViewTest : public ::testing::Test, protected FakeAppScene {
protected:
    QQuickWindow *window() const { return qobject_cast<QQuickWindow *>(controller.window()); }
    QQuickWindow *open() {
        EXPECT_TRUE(controller.show());
        return window();
    }
    QQuickItem *sidebar(const QString &section) const {
        return findItem(window()->contentItem(), "sidebar_" + section);
    }
    void choose(const QString &section) { click(sidebar(section)); }
    QQuickItem *page() const {
        auto *loader = window()->findChild<QObject *>("sectionLoader");
        return loader->property("item").value<QQuickItem *>();
    }
    QQuickItem *find(const QString &name) const { return findItem(page(), name); }
    QString textOf(const QString &name) const { return find(name)->property("text").toString(); }
    QVariant keyLabel(const QString &action) const {
        return findItem(find("binding_" + action), "bindingKey")->property("label");
    }
    QQuickWindow *sheet() const { return window()->findChild<QQuickWindow *>(); }
    QQuickItem *inSheet(const char *name) const { return findItem(sheet()->contentItem(), name); }
    QVariant captured() const { return inSheet("capturedKey")->property("label"); }

    ViewEngine engine;
    TestMicTester micTester;
    TestAuth auth;
    QList<std::pair<QString, QString>> devices;
    int managePages = 0;
    // X key code 24 is the key a US layout types "q" with (stored code 12).
    SettingsWindowController controller{
        engine,
        {app, settings, vocabulary, history, keybindings, auth, account, permissions, inserter,
         micTester, [this] { return devices; }, [this] { ++managePages; },
         [](quint32 code) { return code == 24 ? std::optional<quint16>(12) : std::nullopt; }}};
};

// Tab visits every enabled control, in view and named, and comes round; each one operated
// from the keyboard reaches its store or port, a field keeping its focus while typing.
TEST_F(SettingsViewTest, KeyboardReachesAndOperatesEveryControl) {
    QAccessible::setActive(true);
    permissions.inputAccess = false;
    vocabulary.addTerm("Acme");
    const Replacement first = Replacement::create();
    vocabulary.setReplacements({first, {QUuid::createUuid(), first.from, first.to, false}});
    history.add("same", DictationMode::Clean, QDateTime::currentDateTimeUtc().addSecs(-600));
    history.add("same", DictationMode::Email, QDateTime::currentDateTimeUtc().addSecs(-300));
    const QUuid newer = history.items()[0].id;
    auth.set(true, 10);
    devices = {{"usb", "USB Mic"}};
    settings.setDictationMode(allDictationModes[1]); // the pickers and switches show the stores
    settings.setPrivacyMode(true);
    QQuickWindow *window = open();
    window->resize(760, 580);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->requestActivate();
    auto rule = [&] { return vocabulary.replacements().value(0); };
    // A control, what it must bring about, the key pressed after typing; nth of the shown alike.
    const struct {
        const char *section, *control;
        std::function<bool()> done;
        Qt::Key key = Qt::Key_Space;
        const char *typed = "";
        int nth = 0;
    } steps[] = {
        {"general", "microphonePicker", [&] { return settings.micUID() == "usb"; }, Qt::Key_Down},
        {"general", "modelPicker",
         [&] { return settings.model() == Settings::modelOptions().at(1); }, Qt::Key_Down},
        {"general", "languagePicker",
         [&] { return settings.language() == Settings::languageOptions().at(1).first; },
         Qt::Key_Down},
        {"general", "modePicker", [&] { return settings.dictationMode() == allDictationModes[2]; },
         Qt::Key_Down},
        {"general", "switch_privacyMode", [&] { return !settings.privacyMode(); }},
        {"general", "testButton", [&] { return micTester.device == "usb"; }},
        {"general", "testButton", [&] { return !micTester.isTesting(); }},
        {"general", "grant_accessibility", [&] { return journal.contains("open:input-help"); }},
        {"dictionary", "termField", [&] { return vocabulary.terms().join(',') == "Acme,Beta"; },
         Qt::Key_Return, "Beta"},
        {"dictionary", "termField", [&] { return textOf("termField") == "Gamma"; }, Qt::Key_unknown,
         "Gamma"},
        {"dictionary", "addTermButton",
         [&] { return vocabulary.terms().size() == 3 && find("termField")->hasActiveFocus(); }},
        {"dictionary", "removeTerm", [&] { return vocabulary.terms().join(',') == "Beta,Gamma"; }},
        {"replacements", "removeRule",
         [&] { return vocabulary.replacements() == QList<Replacement>{first}; }, Qt::Key_Space, "",
         1},
        {"replacements", "fromField", [&] { return rule().from == "cal link"; }, Qt::Key_unknown,
         "cal link"},
        {"replacements", "toField", [&] { return rule().to == "cal.example"; }, Qt::Key_unknown,
         "cal.example"},
        {"replacements", "caseToggle", [&] { return rule().caseSensitive; }},
        {"replacements", "addReplacement", [&] { return vocabulary.replacements().size() == 2; }},
        {"instructions", "instructionsEditor",
         [&] { return vocabulary.instructions() == "Be brief"; }, Qt::Key_unknown, "Be brief"},
        {"history", "entry_paste", [&] { return inserter.inserted == QStringList{"same"}; }},
        {"history", "entry_copy", [&] { return QGuiApplication::clipboard()->text() == "same"; }},
        {"history", "entry_delete",
         [&] { return history.items().size() == 1 && history.items()[0].id == newer; },
         Qt::Key_Space, "", 1},
        {"history", "clearAll", [&] { return history.items().isEmpty(); }},
        {"account", "planButton", [&] { return managePages == 1; }},
        {"account", "signOutButton", [&] { return !auth.signedIn; }},
        {"account", "signInButton", [&] { return auth.signInPages == 1; }},
    };
    for (const char *key :
         {"general", "dictionary", "replacements", "instructions", "history", "account"}) {
        choose(key);
        QQuickItem *start = sidebar(key);
        start->forceActiveFocus(Qt::TabFocusReason);
        QTest::qWait(20);
        const QList<QQuickItem *> expected = findItems(page(), [](QQuickItem *item) {
            return item->isVisible() && item->isEnabled() && item->activeFocusOnTab();
        });
        QList<QQuickItem *> visited;
        auto *flick = find("pageFlickable");
        for (int step = 0; step < 80; ++step) {
            QTest::keyClick(window, Qt::Key_Tab);
            QQuickItem *focused = window->activeFocusItem();
            ASSERT_TRUE(focused) << key;
            if (focused == start)
                break;
            visited.append(focused);
            const std::string where = key + (" / " + focused->objectName().toStdString());
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(focused);
            ASSERT_TRUE(accessible) << where;
            EXPECT_NE(accessible->role(), QAccessible::NoRole) << where;
            EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty()) << where;
            const QRectF inView = focused->mapRectToItem(flick, focused->boundingRect());
            EXPECT_TRUE(inView.top() >= 0 && inView.bottom() <= flick->height()) << where;
        }
        EXPECT_EQ(window->activeFocusItem(), start) << key << ": Tab comes back round";
        EXPECT_EQ(visited, expected) << key;
        EXPECT_FALSE(visited.isEmpty()) << key;

        for (const auto &[section, control, done, pressed, typed, nth] : steps) {
            if (section != std::string_view(key))
                continue;
            // Of the shown ones: a list keeps the delegates of removed rows for a while.
            QPointer<QQuickItem> item =
                findItems(page(), [&](QQuickItem *found) {
                    return found->objectName() == control && found->isVisible();
                }).value(nth);
            ASSERT_TRUE(item) << control;
            item->forceActiveFocus(Qt::TabFocusReason);
            for (const char *c = typed; *c; ++c)
                QTest::keyClick(window, *c);
            EXPECT_TRUE(item && item->hasActiveFocus()) << control << ": the row stays";
            if (pressed != Qt::Key_unknown)
                QTest::keyClick(window, pressed);
            EXPECT_TRUE(done()) << key << " / " << control;
        }
    }
    sidebar("account")->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(window, Qt::Key_Up);
    EXPECT_EQ(window->property("section"), "history");
    EXPECT_EQ(window->activeFocusItem(), sidebar("history"));
}

// Each showing re-reads devices, usage (signed in) and permissions; leaving stops the mic test.
TEST_F(SettingsViewTest, PagesFollowTheStoresPermissionsAndDevices) {
    settings.setMicUID("gone-device");
    permissions.microphoneAuthorized = false;
    devices = {{"usb", "USB Mic"}};
    vocabulary.setInstructions("Old");
    account.signedIn = false;
    QQuickWindow *window = open();
    ASSERT_TRUE(window);
    EXPECT_EQ(find("microphonePicker")->property("currentIndex").toInt(), -1);
    EXPECT_EQ(settings.micUID(), "gone-device") << "showing an unknown device does not change it";

    permissions.answerLater = true;
    click(find("grant_microphone"));
    permissions.microphoneAuthorized = true;
    permissions.answer(true);
    EXPECT_FALSE(find("grant_microphone")->isVisible()) << "Granted without reopening";
    permissions.microphoneAuthorized = false;
    app.refreshPermissions();
    permissions.answerLater = false;
    click(find("grant_microphone"));
    EXPECT_TRUE(journal.contains("open:microphone-help")) << "refused: show how";

    click(find("testButton"));
    devices.emplaceBack("later", "Plugged in later");
    choose("account");
    EXPECT_FALSE(micTester.isTesting()) << "leaving the section stops the test";
    EXPECT_FALSE(journal.contains("usage.refresh")) << "signed out, nothing is asked";
    choose("general");
    EXPECT_EQ(find("microphonePicker")->property("count").toInt(), 3) << "read when shown";
    account.signedIn = true;
    auth.set(true, 1500);
    choose("account");
    EXPECT_TRUE(journal.contains("usage.refresh"));
    EXPECT_EQ(textOf("usageText"), SettingsRules::usageText(false, 1500, 1000));
    choose("instructions");
    EXPECT_EQ(textOf("instructionsEditor"), "Old");
    window->hide();
    permissions.microphoneAuthorized = true;
    EXPECT_EQ(open(), window);
    EXPECT_TRUE(app.microphoneGranted());
}

// Rows name what the monitor listens for; the sheet records keys by position, stores on Save.
TEST_F(SettingsViewTest, KeyRowsShowWhatIsListenedForAndTheSheetStoresOnlyOnSave) {
    app.applyKeybindings();
    ASSERT_TRUE(open());
    EXPECT_EQ(keyLabel("activate"), desktopLabel(Keybindings::fallbackActivate()))
        << "fn is not reported here, so the built-in default gives way";
    EXPECT_EQ(find("activateHintKey")->property("label"), "Ctrl") << "the key that works here";
    keybindings.setActivate(Keybindings::defaultActivate()); // chosen now
    app.applyKeybindings();
    EXPECT_EQ(keyLabel("activate"), desktopLabel(Keybindings::defaultActivate()));
    EXPECT_TRUE(find("hintUnavailable")->isVisible());
    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Command));
    app.applyKeybindings();
    EXPECT_FALSE(find("hintUnavailable")->isVisible());

    click(find("edit_pasteLast"));
    ASSERT_TRUE(sheet());
    QQuickItem *save = inSheet("saveButton");
    QTest::keyClick(sheet(), Qt::Key_Escape);
    EXPECT_EQ(captured(), desktopLabel(Keybindings::defaultCancel()));
    EXPECT_TRUE(inSheet("conflictWarning")->isVisible());
    EXPECT_FALSE(save->isEnabled()) << "a conflict cannot be saved";
    EXPECT_TRUE(sheet()->isVisible()) << "Esc is recorded, it does not close the sheet";

    QKeyEvent physical(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, 24, 0, 0, "a");
    QCoreApplication::sendEvent(sheet(), &physical);
    EXPECT_EQ(captured(), "Ctrl+Q") << "the key where the platform places it";
    QTest::keyClick(sheet(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(captured(), "Ctrl+K") << "keys the platform cannot place use the Qt key";
    click(save);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet(); }));
    EXPECT_EQ(desktopLabel(keybindings.pasteLast()), "Ctrl+K");
    EXPECT_EQ(keyLabel("pasteLast"), "Ctrl+K");

    click(find("edit_cancel"));
    ASSERT_TRUE(sheet());
    QTest::keyClick(sheet(), Qt::Key_J, Qt::ControlModifier);
    click(inSheet("cancelButton"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !sheet(); }));
    EXPECT_EQ(keybindings.cancel(), Keybindings::defaultCancel()) << "Cancel stores nothing";

    click(find("resetDefaults"));
    EXPECT_EQ(keybindings.pasteLast(), Keybindings::defaultPaste());
}

} // namespace
