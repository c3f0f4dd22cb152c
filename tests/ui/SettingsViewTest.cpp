// The settings window in a real QML engine: each page is wired to its stores and models, and
// every control can be reached and operated from the keyboard.

#include "../unit/FakeAppScene.h"
#include "GeneralSectionModel.h"
#include "RelativeTime.h"
#include "SettingsRules.h"
#include "SettingsWindowController.h"
#include "ShortcutLabel.h"
#include "TestDoubles.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

void type(QWindow *window, const char *text) {
    for (const char *c = text; *c; ++c)
        QTest::keyClick(window, *c);
}

void click(QObject *button) {
    ASSERT_TRUE(button);
    QMetaObject::invokeMethod(button, "clicked");
}

class SettingsViewTest : public ::testing::Test, protected FakeAppScene {
protected:
    void SetUp() override { app.applyKeybindings(); }
    void TearDown() override {
        controller.reset();
        EXPECT_EQ(WarningCatcher::text(), "");
    }

    QQuickWindow *open() {
        if (!controller) {
            // X key code 24 is the key a US layout types "q" with (stored code 12).
            auto scanCodes = [](quint32 code) -> std::optional<quint16> {
                return code == 24 ? std::optional<quint16>(12) : std::nullopt;
            };
            controller = std::make_unique<SettingsWindowController>(
                engine, SettingsWindowServices{app, settings, vocabulary, history, keybindings,
                                               auth, account, permissions, inserter, micTester,
                                               [this] { return devices; },
                                               [this] { ++managePages; }, scanCodes});
        }
        EXPECT_TRUE(controller->show());
        return controller->window();
    }
    QQuickItem *sidebar(const QString &section) const {
        return findItem(controller->window()->contentItem(), "sidebar_" + section);
    }
    void choose(const QString &section) { click(sidebar(section)); }
    QQuickItem *page() const {
        auto *loader = controller->window()->findChild<QObject *>("sectionLoader");
        return loader->property("item").value<QQuickItem *>();
    }
    QQuickItem *find(const QString &name) const { return findItem(page(), name); }
    // The shown ones only: a list keeps the delegates of removed rows for a while.
    QList<QQuickItem *> findAll(const QString &name) const {
        QList<QQuickItem *> all;
        collectItems(page(), name, all);
        all.removeIf([](QQuickItem *item) { return !item->isVisible(); });
        return all;
    }
    QString textOf(const QString &name) const { return find(name)->property("text").toString(); }
    QString keyLabel(const char *action) const {
        return findItem(find(QString("binding_") + action), "bindingKey")
            ->property("label")
            .toString();
    }
    QQuickWindow *sheet() const { return controller->window()->findChild<QQuickWindow *>(); }
    QQuickItem *inSheet(const char *name) const { return findItem(sheet()->contentItem(), name); }
    QString captured() const { return inSheet("capturedKey")->property("label").toString(); }
    bool sheetCloses() const {
        return QTest::qWaitFor([&] { return sheet() == nullptr; });
    }

    WarningCatcher warnings;
    ViewEngine engine;
    TestMicTester micTester;
    TestAuth auth;
    QList<std::pair<QString, QString>> devices;
    int managePages = 0;
    std::unique_ptr<SettingsWindowController> controller;
};

TEST_F(SettingsViewTest, WindowOpensOnceAndRereadsPermissionsEachTime) {
    permissions.microphoneAuthorized = false;
    QQuickWindow *window = open();
    ASSERT_TRUE(window);
    choose("history");
    window->hide();
    permissions.microphoneAuthorized = true;
    EXPECT_EQ(open(), window) << "the same window comes back";
    EXPECT_TRUE(app.microphoneGranted());
    EXPECT_EQ(window->property("section"), "general") << "it opens on General again";
    choose("history");
    open();
    EXPECT_EQ(window->property("section"), "history") << "an open window keeps its section";
}

// Tab from the sidebar visits every enabled control of each filled page in reading order, each
// kept in view and named for screen readers, and comes back round; the arrows move in the
// sidebar.
TEST_F(SettingsViewTest, KeyboardReachesEveryControlInReadingOrderWithItsName) {
    QAccessible::setActive(true);
    vocabulary.addTerm("Acme");
    vocabulary.addReplacement();
    history.add("Hello there", DictationMode::Clean, QDateTime::currentDateTimeUtc());
    auth.set(true, "free", 10, 1000);
    devices = {{"usb", "USB Mic"}};
    QQuickWindow *window = open();
    window->resize(760, 580);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->requestActivate();
    for (const char *key :
         {"general", "dictionary", "replacements", "instructions", "history", "account"}) {
        choose(key);
        QQuickItem *start = sidebar(key);
        start->forceActiveFocus(Qt::TabFocusReason);
        QTest::qWait(20);
        QList<QQuickItem *> expected, visited;
        std::function<void(QQuickItem *)> gather = [&](QQuickItem *item) {
            if (!item->isVisible() || !item->isEnabled())
                return;
            if (item->activeFocusOnTab())
                expected.append(item);
            for (QQuickItem *child : item->childItems())
                gather(child);
        };
        gather(page());
        auto *flick = find("pageFlickable");
        auto *content = flick->property("contentItem").value<QQuickItem *>();
        QPointF previous(-1, -1);
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
            // Below the previous control, or beside it to the right.
            const QPointF centre = focused->mapToItem(content, focused->boundingRect().center());
            EXPECT_TRUE(centre.y() > previous.y() + 4 ||
                        (std::abs(centre.y() - previous.y()) <= 4 && centre.x() > previous.x()))
                << where;
            previous = centre;
            const QRectF inView = focused->mapRectToItem(flick, focused->boundingRect());
            EXPECT_TRUE(inView.top() >= 0 && inView.bottom() <= flick->height()) << where;
        }
        EXPECT_EQ(window->activeFocusItem(), start) << key << ": Tab comes back round";
        EXPECT_EQ(visited, expected) << key;
        EXPECT_FALSE(visited.isEmpty()) << key;
    }
    QTest::keyClick(window, Qt::Key_Up);
    EXPECT_EQ(window->property("section"), "history");
    EXPECT_EQ(window->activeFocusItem(), sidebar("history"));
    QTest::keyClick(window, Qt::Key_Up);
    QTest::keyClick(window, Qt::Key_Down);
    EXPECT_EQ(window->property("section"), "history");
}

// The pickers and switches write the stores and follow them; the devices are read when the
// page is shown, and the microphone test runs until stopped or until the page goes.
TEST_F(SettingsViewTest, GeneralWritesTheStoresAndTestsTheMicrophone) {
    settings.setWordsDictated(42);
    settings.setMicUID("gone-device");
    devices = {{"usb", "USB Mic"}, {"builtin", "Built-in"}};
    ASSERT_TRUE(open());
    EXPECT_EQ(textOf("wordsText"), SettingsRules::wordsDictatedText(42));
    EXPECT_EQ(find("microphonePicker")->property("currentIndex").toInt(), -1);
    EXPECT_EQ(settings.micUID(), "gone-device") << "showing an unknown device does not change it";
    for (const char *name : {"microphonePicker", "modelPicker", "languagePicker", "modePicker"}) {
        QMetaObject::invokeMethod(find(name), "activated", Q_ARG(int, 1));
        EXPECT_EQ(find(name)->property("currentIndex"), 1) << name;
    }
    EXPECT_EQ(settings.micUID(), "usb");
    EXPECT_EQ(settings.model(), Settings::modelOptions().at(1));
    EXPECT_EQ(settings.language(), Settings::languageOptions().at(1).first);
    EXPECT_EQ(settings.dictationMode(), allDictationModes[1]);
    settings.setDictationMode(allDictationModes[2]);
    EXPECT_EQ(find("modePicker")->property("currentIndex").toInt(), 2);
    QQuickItem *privacy = find("switch_privacyMode");
    privacy->setProperty("checked", true);
    QMetaObject::invokeMethod(privacy, "toggled");
    EXPECT_TRUE(settings.privacyMode());
    settings.setPrivacyMode(false);
    EXPECT_FALSE(privacy->property("checked").toBool());

    click(find("testButton"));
    EXPECT_EQ(micTester.startedWith, QStringList{"usb"});
    click(find("testButton"));
    EXPECT_FALSE(micTester.testing);
    click(find("testButton"));
    devices.emplaceBack("later", "Plugged in later");
    choose("history");
    EXPECT_FALSE(micTester.testing) << "leaving the section stops the test";
    choose("general");
    EXPECT_EQ(find("microphonePicker")->property("count").toInt(), 4) << "read when shown";
}

TEST_F(SettingsViewTest, GrantButtonsAskOrShowHow) {
    permissions.microphoneAuthorized = false;
    permissions.inputAccess = false;
    ASSERT_TRUE(open());
    permissions.answerLater = true;
    click(find("grant_microphone"));
    permissions.microphoneAuthorized = true;
    permissions.answer(true);
    EXPECT_FALSE(find("grant_microphone")->isVisible()) << "Granted without reopening";
    EXPECT_FALSE(journal.entries.contains("open:microphone-help"));

    permissions.microphoneAuthorized = false;
    app.refreshPermissions();
    permissions.answerLater = false;
    click(find("grant_microphone"));
    EXPECT_TRUE(journal.entries.contains("open:microphone-help")) << "refused: show how";
    click(find("grant_accessibility"));
    EXPECT_TRUE(journal.entries.contains("open:input-help"));

    // An answer that comes after the section has gone acts on nothing.
    journal.entries.clear();
    permissions.answerLater = true;
    auto model = std::make_unique<GeneralSectionModel>(
        settings, app, permissions, [] { return QList<std::pair<QString, QString>>(); });
    model->grantMicrophone();
    model.reset();
    permissions.answer(false);
    EXPECT_FALSE(journal.entries.contains("open:microphone-help"));
}

// The Activate row names what the shortcut monitor listens for and says when it cannot fire.
TEST_F(SettingsViewTest, ActivateRowShowsTheListenedKeyAndWhetherItCanFire) {
    ASSERT_TRUE(open());
    EXPECT_EQ(keyLabel("activate"), desktopLabel(Keybindings::fallbackActivate()))
        << "fn is not reported here, so the built-in default gives way";
    auto subtitle = [&] {
        return findItem(find("binding_activate"), "rowSubtitle")->property("text").toString();
    };
    keybindings.setActivate(Keybindings::defaultActivate()); // chosen now
    app.applyKeybindings();
    EXPECT_EQ(keyLabel("activate"), desktopLabel(Keybindings::defaultActivate()));
    EXPECT_TRUE(find("hintUnavailable")->isVisible());
    EXPECT_EQ(subtitle(), textOf("hintUnavailable"));

    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Command));
    app.applyKeybindings();
    EXPECT_FALSE(find("hintUnavailable")->isVisible());
    EXPECT_EQ(subtitle(), description(KeybindAction::Activate));
}

// The sheet records into the model; only Save stores, and the rows show what is stored.
TEST_F(SettingsViewTest, RecorderSheetSavesOnlyOnSave) {
    ASSERT_TRUE(open());
    click(find("edit_pasteLast"));
    ASSERT_TRUE(sheet()) << "the sheet is a window of its own";
    QQuickItem *save = inSheet("saveButton");
    EXPECT_FALSE(save->isEnabled()) << "nothing captured";
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
    EXPECT_FALSE(inSheet("conflictWarning")->isVisible());
    EXPECT_EQ(keybindings.pasteLast(), Keybindings::defaultPaste()) << "nothing stored yet";
    click(save);
    EXPECT_TRUE(sheetCloses());
    EXPECT_EQ(desktopLabel(keybindings.pasteLast()), "Ctrl+K");
    EXPECT_EQ(keyLabel("pasteLast"), "Ctrl+K");

    click(find("edit_cancel"));
    ASSERT_TRUE(sheet());
    QTest::keyClick(sheet(), Qt::Key_J, Qt::ControlModifier);
    click(inSheet("cancelButton"));
    EXPECT_TRUE(sheetCloses());
    EXPECT_EQ(keybindings.cancel(), Keybindings::defaultCancel()) << "Cancel stores nothing";

    // From the keyboard alone: the first Esc is recorded, the second one leaves.
    click(find("edit_activate"));
    ASSERT_TRUE(sheet());
    QTest::keyClick(sheet(), Qt::Key_Escape);
    QTest::keyClick(sheet(), Qt::Key_Escape);
    EXPECT_TRUE(sheetCloses());
    EXPECT_FALSE(keybindings.isChosen(KeybindAction::Activate)) << "nothing stored";

    click(find("resetDefaults"));
    EXPECT_EQ(keybindings.pasteLast(), Keybindings::defaultPaste());
    EXPECT_EQ(keyLabel("pasteLast"), desktopLabel(Keybindings::defaultPaste()));
}

// What is typed on the dictionary, replacements and instructions pages is stored as it is typed.
TEST_F(SettingsViewTest, VocabularyPagesStoreWhatIsTyped) {
    ASSERT_TRUE(open());
    choose("dictionary");
    QQuickItem *field = find("termField");
    QQuickItem *add = find("addTermButton");
    field->setProperty("text", " \t ");
    EXPECT_FALSE(add->isEnabled());
    field->setProperty("text", "  Acme\t");
    click(add);
    EXPECT_EQ(vocabulary.terms(), QStringList{"Acme"});
    EXPECT_TRUE(field->hasActiveFocus()) << "ready for the next term";
    EXPECT_EQ(textOf("termCounter"), SettingsRules::dictionaryCounterText(1));
    add->forceActiveFocus();
    field->setProperty("text", "Acme");
    click(add);
    EXPECT_FALSE(field->hasActiveFocus()) << "a duplicate does not bring the focus back";
    click(findAll("removeTerm").value(0));
    EXPECT_TRUE(vocabulary.terms().isEmpty());
    EXPECT_TRUE(find("dictionaryEmpty")->isVisible());

    choose("replacements");
    click(find("addReplacement"));
    ASSERT_EQ(vocabulary.replacements().size(), 1);
    QQuickItem *from = findAll("fromField").value(0);
    from->forceActiveFocus();
    type(controller->window(), "cal link");
    EXPECT_EQ(vocabulary.replacements()[0].from, "cal link") << "every keystroke is stored";
    EXPECT_EQ(findAll("fromField").value(0), from) << "the row stays while typing";
    EXPECT_TRUE(from->hasActiveFocus());
    QQuickItem *to = findAll("toField").value(0);
    to->setProperty("text", "https://cal.example/me");
    QMetaObject::invokeMethod(to, "textEdited");
    QQuickItem *caseToggle = findAll("caseToggle").value(0);
    caseToggle->setProperty("checked", true);
    QMetaObject::invokeMethod(caseToggle, "toggled");
    const Replacement first = vocabulary.replacements()[0];
    EXPECT_EQ(first.to, "https://cal.example/me");
    EXPECT_TRUE(first.caseSensitive);
    // Two identical rules: the trash removes exactly the clicked one.
    Replacement twin = first;
    twin.id = QUuid::createUuid();
    vocabulary.setReplacements({first, twin});
    click(findAll("removeRule").value(1));
    ASSERT_EQ(vocabulary.replacements().size(), 1);
    EXPECT_EQ(vocabulary.replacements()[0].id, first.id);

    vocabulary.setInstructions("Old");
    choose("instructions");
    QQuickItem *editor = find("instructionsEditor");
    EXPECT_EQ(editor->property("text").toString(), "Old");
    editor->setProperty("text", "");
    EXPECT_EQ(vocabulary.instructions(), "") << "clearing is stored at once";
    editor->forceActiveFocus();
    type(controller->window(), "Be brief");
    EXPECT_EQ(vocabulary.instructions(), "Be brief");
}

TEST_F(SettingsViewTest, HistoryPastesCopiesDeletesAndClears) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    history.add("", DictationMode::Clean, now.addSecs(-3600));
    history.add("same", DictationMode::Clean, now.addSecs(-600));
    history.add("same", DictationMode::Email, now.addSecs(-300));
    ASSERT_TRUE(open());
    choose("history");
    EXPECT_FALSE(find("historyEmpty")->isVisible());
    auto button = [&](int entry, const QString &key) {
        return findItem(findAll("historyEntry").value(entry), "entry_" + key);
    };
    EXPECT_EQ(findItem(findAll("historyEntry").value(0), "entryTime")->property("text"),
              relativeTimeText(now.addSecs(-300), QDateTime::currentDateTimeUtc()));

    click(button(0, "paste"));
    EXPECT_EQ(inserter.inserted, QStringList{"same"});
    click(button(2, "paste"));
    EXPECT_EQ(inserter.inserted.size(), 1) << "an empty text pastes nothing";
    QGuiApplication::clipboard()->setText("before");
    click(button(2, "copy"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "") << "the clipboard holds the empty text";
    click(button(1, "copy"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "same");

    const QUuid kept = history.items()[0].id;
    click(button(1, "delete"));
    ASSERT_EQ(history.items().size(), 2);
    EXPECT_EQ(history.items()[0].id, kept) << "only the clicked twin goes";
    click(find("clearAll"));
    EXPECT_TRUE(history.items().isEmpty());
    EXPECT_TRUE(find("historyEmpty")->isVisible());
    EXPECT_FALSE(find("clearAll")->isVisible());
}

TEST_F(SettingsViewTest, AccountShowsThePlanAndUsageOfTheSession) {
    ASSERT_TRUE(open());
    account.signedIn = false;
    choose("account");
    EXPECT_FALSE(journal.entries.contains("usage.refresh")) << "signed out, nothing is asked";
    EXPECT_FALSE(find("planCard")->isVisible());
    click(find("signInButton"));
    EXPECT_EQ(auth.signInPages, 1);

    account.signedIn = true;
    auth.set(true, "Pro", 1500, 1000);
    choose("general");
    choose("account");
    EXPECT_TRUE(journal.entries.contains("usage.refresh")) << "refreshed when the section is shown";
    EXPECT_EQ(textOf("usageText"), SettingsRules::usageText(false, 1500, 1000));
    QQuickItem *bar = find("usageBar");
    QQuickItem *fill = find("usageFill");
    EXPECT_DOUBLE_EQ(fill->width(), bar->width());
    const QColor fullColour = fill->property("color").value<QColor>();
    auth.set(true, "free", 500, 1000);
    EXPECT_DOUBLE_EQ(fill->width(), bar->width() * SettingsRules::usageFraction(500, 1000));
    EXPECT_NE(fill->property("color").value<QColor>(), fullColour) << "a full bar stands out";

    auth.set(true, "pro", 20, 1000);
    EXPECT_EQ(textOf("usageText"), SettingsRules::usageText(true, 20, 1000));
    EXPECT_FALSE(bar->isVisible());
    click(find("planButton"));
    EXPECT_EQ(managePages, 1);
    click(find("signOutButton"));
    EXPECT_TRUE(find("signedOutCard")->isVisible());
}

} // namespace
