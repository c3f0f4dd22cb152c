#include "../unit/FakeAppScene.h"
#include "AccountActions.h"
#include "AppState.h"
#include "GeneralSectionModel.h"
#include "History.h"
#include "HistoryListModel.h"
#include "HotkeyManager.h"
#include "Keybindings.h"
#include "KeybindingsModel.h"
#include "PreferenceStore.h"
#include "Settings.h"
#include "SettingsWindowController.h"
#include "Symbols.h"
#include "TempEnvironment.h"
#include "TestDoubles.h"
#include "Vocabulary.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

extern void qml_register_types_Orvanta();

using namespace orvanta;
using namespace orvanta::test;

namespace {

QStringList warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message) {
    // The offscreen platform cannot raise windows and says so.
    if (type != QtDebugMsg && type != QtInfoMsg && !message.contains("does not support raise"))
        warnings.append(message);
}

// Items made by repeaters are reached through the item tree, not the object tree.
void collectItems(QQuickItem *item, const QString &name, QList<QQuickItem *> &found) {
    if (!item)
        return;
    if (item->objectName() == name)
        found.append(item);
    for (QQuickItem *child : item->childItems())
        collectItems(child, name, found);
}

QQuickItem *findItem(QQuickItem *root, const QString &name) {
    QList<QQuickItem *> found;
    collectItems(root, name, found);
    return found.value(0);
}

// Types into the window's focused item, key by key.
void type(QWindow *window, const char *text) {
    for (const char *c = text; *c; ++c)
        QTest::keyClick(window, *c);
}

class SettingsViewTest : public ::testing::Test, protected FakeAppScene {
protected:
    static void SetUpTestSuite() { qml_register_types_Orvanta(); }

    void SetUp() override {
        engine.addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
        warnings.clear();
        previousHandler = qInstallMessageHandler(collectWarnings);
        app.applyKeybindings();
    }
    void TearDown() override {
        controller.reset();
        qInstallMessageHandler(previousHandler);
        EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
    }

    QQuickWindow *open() {
        if (!controller) {
            controller = std::make_unique<SettingsWindowController>(
                engine, SettingsWindowServices{app,
                                               settings,
                                               vocabulary,
                                               history,
                                               keybindings,
                                               auth,
                                               account,
                                               permissions,
                                               inserter,
                                               micTester,
                                               [this] { return devices; },
                                               [this] { ++managePages; },
                                               {}});
        }
        EXPECT_TRUE(controller->show());
        return controller->window();
    }
    void choose(const QString &section) {
        QObject *item = findItem(controller->window()->contentItem(), "sidebar_" + section);
        ASSERT_TRUE(item) << section.toStdString();
        QMetaObject::invokeMethod(item, "clicked");
    }
    QQuickItem *page() const {
        auto *loader = controller->window()->findChild<QObject *>("sectionLoader");
        return loader ? loader->property("item").value<QQuickItem *>() : nullptr;
    }
    QQuickItem *find(const QString &name) const { return findItem(page(), name); }
    QList<QQuickItem *> findAll(const QString &name) const {
        QList<QQuickItem *> all;
        collectItems(page(), name, all);
        QList<QQuickItem *> shown;
        for (QQuickItem *item : all) {
            if (item->isVisible())
                shown.append(item);
        }
        return shown;
    }
    static void click(QObject *button) {
        ASSERT_TRUE(button);
        QMetaObject::invokeMethod(button, "clicked");
    }
    QString textOf(const QString &name) const {
        QQuickItem *item = find(name);
        return item ? item->property("text").toString() : QString("<missing>");
    }

    QtMessageHandler previousHandler = nullptr;
    QQmlEngine engine;
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
    EXPECT_EQ(window->title(), "Orvanta Settings");
    EXPECT_EQ(window->minimumSize(), QSize(760, 580));
    EXPECT_FALSE(app.microphoneGranted());
    choose("history");
    window->hide();
    permissions.microphoneAuthorized = true;
    EXPECT_EQ(open(), window) << "the same window comes back";
    EXPECT_TRUE(app.microphoneGranted());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(textOf("sectionTitle").startsWith("Good ")) << "it opens on General again";
    choose("history");
    open();
    EXPECT_EQ(textOf("sectionTitle"), "History") << "an open window keeps its section";
}

// Tab from the sidebar visits every control of the page in reading order, each in view and
// named for screen readers, and comes back to the sidebar; the arrows move in the sidebar.
TEST_F(SettingsViewTest, KeyboardReachesEveryControlInReadingOrderWithItsName) {
    QAccessible::setActive(true);
    vocabulary.addTerm("Acme");
    vocabulary.addReplacement();
    history.add("Hello there", DictationMode::Clean, QDateTime::currentDateTimeUtc());
    auth.set(true, "free", 10, 1000);
    devices = {{"usb", "USB Mic"}};
    QQuickWindow *window = open();
    ASSERT_TRUE(window);
    window->resize(760, 580);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->requestActivate();
    const char *sections[] = {"general",      "dictionary", "replacements",
                              "instructions", "history",    "account"};
    for (const char *key : sections) {
        const QString section = QString::fromLatin1(key);
        choose(section);
        QQuickItem *sidebarItem = findItem(window->contentItem(), "sidebar_" + section);
        sidebarItem->forceActiveFocus(Qt::TabFocusReason);
        QTest::qWait(20);
        // The page's own focusable controls, as a reader would meet them.
        QList<QQuickItem *> expected;
        std::function<void(QQuickItem *)> gather = [&](QQuickItem *item) {
            if (!item->isVisible() || !item->isEnabled())
                return;
            if (item->activeFocusOnTab())
                expected.append(item);
            for (QQuickItem *child : item->childItems())
                gather(child);
        };
        gather(page());
        auto *flick = findItem(page(), "pageFlickable");
        QList<QQuickItem *> visited;
        QPointF previous(-1, -1);
        for (int step = 0; step < 80; ++step) {
            QTest::keyClick(window, Qt::Key_Tab);
            QQuickItem *focused = window->activeFocusItem();
            ASSERT_TRUE(focused) << key;
            if (focused == sidebarItem)
                break;

            visited.append(focused);
            const std::string where = key + (" / " + focused->objectName().toStdString()) + " " +
                                      focused->metaObject()->className();
            QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(focused);
            ASSERT_TRUE(accessible) << where;
            EXPECT_NE(accessible->role(), QAccessible::NoRole) << where;
            EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty()) << where;
            // Reading order: below the previous control, or beside it to the right.
            const QPointF centre =
                focused->mapToItem(flick->property("contentItem").value<QQuickItem *>(),
                                   focused->boundingRect().center());
            EXPECT_TRUE(centre.y() > previous.y() + 4 ||
                        (std::abs(centre.y() - previous.y()) <= 4 && centre.x() > previous.x()))
                << where;
            previous = centre;
            // Kept in view by the page's scrolling.
            const QRectF inView = focused->mapRectToItem(flick, focused->boundingRect());
            EXPECT_GE(inView.top(), 0) << where;
            EXPECT_LE(inView.bottom(), flick->height()) << where;
        }
        EXPECT_EQ(window->activeFocusItem(), sidebarItem) << key << ": Tab comes back round";
        EXPECT_EQ(visited, expected) << key;
        EXPECT_GT(visited.size(), 0) << key;
    }
    // Arrows within the sidebar select the neighbouring section and keep the focus there.
    QQuickItem *account = findItem(window->contentItem(), "sidebar_account");
    account->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(window, Qt::Key_Up);
    EXPECT_EQ(textOf("sectionTitle"), "History");
    EXPECT_EQ(window->activeFocusItem(), findItem(window->contentItem(), "sidebar_history"));
    QTest::keyClick(window, Qt::Key_Up);
    QTest::keyClick(window, Qt::Key_Down);
    EXPECT_EQ(textOf("sectionTitle"), "History");
}

TEST_F(SettingsViewTest, EverySectionLoadsEmptyAndFilled) {
    const QList<std::pair<QString, QString>> sections{{"general", "Good "},
                                                      {"dictionary", "Dictionary"},
                                                      {"replacements", "Replacements"},
                                                      {"instructions", "Custom Instructions"},
                                                      {"history", "History"},
                                                      {"account", "Account"}};
    ASSERT_TRUE(open());
    EXPECT_TRUE(textOf("sectionTitle").startsWith("Good ")) << "the first item opens General";
    for (const auto &[key, title] : sections) {
        choose(key);
        EXPECT_TRUE(textOf("sectionTitle").startsWith(title)) << key.toStdString();
    }
    vocabulary.addTerm("Acme");
    vocabulary.addReplacement();
    vocabulary.setInstructions("Lowercase everywhere.");
    history.add("Hello there", DictationMode::Clean, QDateTime::currentDateTimeUtc());
    auth.set(true, "pro", 10, 1000);
    devices = {{"usb", "USB Mic"}};
    for (const auto &[key, title] : sections) {
        choose(key);
        EXPECT_TRUE(textOf("sectionTitle").startsWith(title)) << key.toStdString();
    }
    choose("instructions");
    EXPECT_FALSE(find("sectionSubtitle")->property("text").toString().isEmpty());
}

TEST_F(SettingsViewTest, GeneralShowsCounterPickersAndPermissions) {
    settings.setWordsDictated(42);
    settings.setMicUID("gone-device");
    settings.setModel("vendor/retired-model");
    devices = {{"usb", "USB Mic"}, {"builtin", "Built-in"}};
    ASSERT_TRUE(open());
    EXPECT_EQ(textOf("wordsText"), "42 words dictated");

    QQuickItem *mic = find("microphonePicker");
    ASSERT_TRUE(mic);
    EXPECT_EQ(mic->property("count").toInt(), 3);
    EXPECT_EQ(mic->property("currentIndex").toInt(), -1) << "an unknown device selects nothing";
    EXPECT_EQ(settings.micUID(), "gone-device") << "and is not changed";
    controller->general().selectMicrophone(1);
    EXPECT_EQ(settings.micUID(), "usb");
    EXPECT_EQ(mic->property("currentIndex").toInt(), 1);

    QQuickItem *model = find("modelPicker");
    EXPECT_EQ(model->property("count").toInt(), Settings::modelOptions().size() + 1);
    EXPECT_EQ(model->property("currentIndex").toInt(), Settings::modelOptions().size());
    controller->general().selectMode(3);
    EXPECT_EQ(settings.dictationMode(), DictationMode::Email);
    EXPECT_EQ(find("modePicker")->property("currentIndex").toInt(), 3);

    devices.append(std::pair<QString, QString>("later", "Plugged in later"));
    EXPECT_EQ(mic->property("count").toInt(), 3) << "devices are read when the page is shown";
    choose("history");
    choose("general");
    EXPECT_EQ(find("microphonePicker")->property("count").toInt(), 4);

    QQuickItem *privacy = find("switch_privacyMode");
    ASSERT_TRUE(privacy);
    privacy->setProperty("checked", true);
    QMetaObject::invokeMethod(privacy, "toggled");
    EXPECT_TRUE(settings.privacyMode());
    settings.setPrivacyMode(false);
    EXPECT_FALSE(privacy->property("checked").toBool()) << "the switch follows the store";
}

TEST_F(SettingsViewTest, GreetingFollowsTheHour) {
    GeneralSectionModel &general =
        controller ? controller->general() : (open(), controller->general());
    general.setClock([] { return QDateTime(QDate(2026, 1, 1), QTime(11, 59)); });
    EXPECT_EQ(general.greeting(), "Good morning");
    general.setClock([] { return QDateTime(QDate(2026, 1, 1), QTime(18, 0)); });
    EXPECT_EQ(textOf("sectionTitle"), "Good evening");
}

TEST_F(SettingsViewTest, MicrophoneTestRunsUntilStopOrUntilThePageGoes) {
    settings.setMicUID("usb");
    devices = {{"usb", "USB Mic"}};
    ASSERT_TRUE(open());
    click(find("testButton"));
    EXPECT_EQ(micTester.startedWith, QStringList{"usb"});
    EXPECT_EQ(textOf("testButton"), "Stop");
    click(find("testButton"));
    EXPECT_FALSE(micTester.testing);
    click(find("testButton"));
    choose("dictionary");
    EXPECT_FALSE(micTester.testing) << "leaving the section stops the test";
    choose("general");
    EXPECT_EQ(textOf("testButton"), "Test");
}

TEST_F(SettingsViewTest, GrantButtonsAskOrShowHow) {
    permissions.microphoneAuthorized = false;
    permissions.inputAccess = false;
    ASSERT_TRUE(open());
    permissions.answerLater = true;
    click(find("grant_microphone"));
    EXPECT_TRUE(journal.entries.contains("microphone.request"));
    permissions.microphoneAuthorized = true;
    permissions.answer(true);
    EXPECT_TRUE(app.microphoneGranted()) << "the row turns to Granted without reopening";
    EXPECT_FALSE(find("grant_microphone")->isVisible());
    EXPECT_FALSE(journal.entries.contains("open:microphone-help"));

    permissions.microphoneAuthorized = false;
    app.refreshPermissions();
    permissions.answerLater = false;
    click(find("grant_microphone"));
    EXPECT_TRUE(journal.entries.contains("open:microphone-help"))
        << "refused: show how to allow it";
    click(find("grant_accessibility"));
    EXPECT_TRUE(journal.entries.contains("open:input-help"));
}

TEST_F(SettingsViewTest, ActivateThatCannotFireIsExplained) {
    ASSERT_TRUE(open());
    keybindings.setActivate(Keybindings::defaultActivate()); // chosen, not the built-in default
    app.applyKeybindings();
    ASSERT_FALSE(app.activateBindingCanFire()) << "fn is not reported here";
    const QString notice =
        QString::fromUtf8("Fn isn't available on this desktop — choose an Activate shortcut in "
                          "Settings.");
    EXPECT_TRUE(find("hintUnavailable")->isVisible());
    EXPECT_EQ(textOf("hintUnavailable"), notice);
    QQuickItem *activateRow = find("binding_activate");
    ASSERT_TRUE(activateRow);
    EXPECT_EQ(findItem(activateRow, "rowSubtitle")->property("text"), notice);

    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Command));
    app.applyKeybindings();
    EXPECT_FALSE(find("hintUnavailable")->isVisible());
    EXPECT_EQ(findItem(find("binding_activate"), "rowSubtitle")->property("text"),
              description(KeybindAction::Activate));
}

TEST_F(SettingsViewTest, RecorderCapturesWarnsAndSavesOnlyOnSave) {
    ASSERT_TRUE(open());
    click(find("edit_pasteLast"));
    auto *sheet = controller->window()->findChild<QQuickWindow *>();
    ASSERT_TRUE(sheet) << "the sheet is a window of its own";
    EXPECT_EQ(findItem(sheet->contentItem(), "sheetSubtitle")->property("text").toString(),
              "This shortcut will trigger \"Paste Last Transcript\".");
    QQuickItem *save = findItem(sheet->contentItem(), "saveButton");
    EXPECT_FALSE(save->isEnabled()) << "nothing captured";

    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_EQ(findItem(sheet->contentItem(), "capturedKey")->property("label"), "Esc");
    EXPECT_TRUE(findItem(sheet->contentItem(), "conflictWarning")->isVisible());
    EXPECT_FALSE(save->isEnabled());
    EXPECT_TRUE(sheet->isVisible()) << "Esc is recorded, it does not close the sheet";

    QTest::keyClick(sheet, Qt::Key_K, Qt::ControlModifier);
    EXPECT_FALSE(findItem(sheet->contentItem(), "conflictWarning")->isVisible());
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(keybindings.pasteLast(), Keybindings::defaultPaste()) << "nothing stored yet";
    click(save);
    EXPECT_EQ(keybindings.pasteLast().display, QString::fromUtf8("⌃K")) << "stored as before";
    EXPECT_FALSE(controller->keybindingsModel().recording());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return bool(!controller->window()->findChild<QQuickWindow *>()); }));
    EXPECT_EQ(findItem(find("binding_pasteLast"), "bindingKey")->property("label"), "Ctrl+K");
}

TEST_F(SettingsViewTest, RecorderCancelAndResetToDefaults) {
    ASSERT_TRUE(open());
    click(find("edit_cancel"));
    auto *sheet = controller->window()->findChild<QQuickWindow *>();
    ASSERT_TRUE(sheet);
    QTest::keyPress(sheet, Qt::Key_Shift);
    QTest::keyRelease(sheet, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(findItem(sheet->contentItem(), "capturedKey")->property("label"), "Shift ×2");
    click(findItem(sheet->contentItem(), "cancelButton"));
    EXPECT_EQ(keybindings.cancel(), Keybindings::defaultCancel()) << "Cancel stores nothing";
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return bool(!controller->window()->findChild<QQuickWindow *>()); }));

    // From the keyboard alone: the first Esc is recorded, the second one leaves.
    click(find("edit_activate"));
    sheet = controller->window()->findChild<QQuickWindow *>();
    ASSERT_TRUE(sheet);
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_TRUE(controller->keybindingsModel().recording());
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(controller->keybindingsModel().recording());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return bool(!controller->window()->findChild<QQuickWindow *>()); }));
    EXPECT_EQ(keybindings.activate(), Keybindings::defaultActivate()) << "nothing stored";

    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Shift));
    keybindings.setPasteLast(Shortcut::combo(KeyCode::space, {ModifierKey::Control}, "Space"));
    click(find("resetDefaults"));
    QStringList shown;
    for (const char *action : {"activate", "cancel", "pasteLast"})
        shown.append(findItem(find(QString("binding_") + action), "bindingKey")
                         ->property("label")
                         .toString());
    EXPECT_EQ(shown, (QStringList{"Fn ×2", "Esc", "Ctrl+Super+V"}));
}

TEST_F(SettingsViewTest, DictionaryAddsTrimmedTermsAndRefocusesOnlyAfterAnAdd) {
    ASSERT_TRUE(open());
    choose("dictionary");
    QQuickItem *field = find("termField");
    QQuickItem *add = find("addTermButton");
    EXPECT_TRUE(find("dictionaryEmpty")->isVisible());
    field->setProperty("text", "   ");
    EXPECT_FALSE(add->isEnabled());
    QMetaObject::invokeMethod(field, "accepted");
    EXPECT_EQ(field->property("text").toString(), "") << "Return still empties the field";
    EXPECT_TRUE(vocabulary.terms().isEmpty());

    field->setProperty("text", "  Acme\t");
    EXPECT_TRUE(add->isEnabled());
    click(add);
    EXPECT_EQ(vocabulary.terms(), QStringList{"Acme"});
    EXPECT_TRUE(field->hasActiveFocus()) << "ready for the next term";
    EXPECT_EQ(textOf("termCounter"), "1/800 entries");
    EXPECT_FALSE(find("dictionaryEmpty")->isVisible());

    find("addTermButton")->forceActiveFocus();
    field->setProperty("text", "Acme");
    click(add);
    EXPECT_EQ(vocabulary.terms(), QStringList{"Acme"});
    EXPECT_EQ(field->property("text").toString(), "");
    EXPECT_FALSE(field->hasActiveFocus()) << "a duplicate does not bring the focus back";

    click(findAll("removeTerm").value(0));
    EXPECT_TRUE(vocabulary.terms().isEmpty());
    EXPECT_EQ(textOf("termCounter"), "0/800 entries");
    EXPECT_TRUE(find("dictionaryEmpty")->isVisible());
}

TEST_F(SettingsViewTest, ReplacementRulesAreEditedInPlace) {
    ASSERT_TRUE(open());
    choose("replacements");
    EXPECT_TRUE(find("replacementsEmpty")->isVisible());
    click(find("addReplacement"));
    ASSERT_EQ(vocabulary.replacements().size(), 1);
    EXPECT_FALSE(find("replacementsEmpty")->isVisible());

    QQuickItem *from = findAll("fromField").value(0);
    ASSERT_TRUE(from);
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
    Replacement twin = Replacement::create();
    twin.from = first.from;
    twin.to = first.to;
    twin.caseSensitive = true;
    vocabulary.setReplacements({first, twin});
    ASSERT_EQ(findAll("removeRule").size(), 2);
    click(findAll("removeRule").value(1));
    ASSERT_EQ(vocabulary.replacements().size(), 1);
    EXPECT_EQ(vocabulary.replacements()[0].id, first.id);
}

TEST_F(SettingsViewTest, InstructionsAreStoredAsTyped) {
    vocabulary.setInstructions("Old");
    ASSERT_TRUE(open());
    choose("instructions");
    QQuickItem *editor = find("instructionsEditor");
    ASSERT_TRUE(editor);
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
    EXPECT_TRUE(find("clearAll")->isVisible());
    QList<QQuickItem *> entries = findAll("historyEntry");
    ASSERT_EQ(entries.size(), 3);
    auto button = [&](int entry, const QString &key) {
        return findItem(findAll("historyEntry").value(entry), "entry_" + key);
    };
    EXPECT_EQ(findItem(entries[0], "entryTime")->property("text"), "5 minutes ago");

    click(button(0, "paste"));
    EXPECT_EQ(inserter.inserted, QStringList{"same"});
    EXPECT_TRUE(journal.entries.contains("insert:same")) << "with the clipboard restored";
    QGuiApplication::clipboard()->setText("before");
    click(button(2, "paste"));
    EXPECT_EQ(inserter.inserted.size(), 1) << "an empty text pastes nothing";
    click(button(2, "copy"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "") << "the clipboard now holds the empty text";
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

TEST_F(SettingsViewTest, AccountSignedOutMakesNoRequest) {
    ASSERT_TRUE(open());
    account.signedIn = false;
    choose("account");
    EXPECT_FALSE(journal.entries.contains("usage.refresh"));
    EXPECT_TRUE(find("signedOutCard")->isVisible());
    EXPECT_FALSE(find("planCard")->isVisible());
    click(find("signInButton"));
    EXPECT_EQ(auth.signInPages, 1);
}

TEST_F(SettingsViewTest, AccountShowsPlanAndUsage) {
    auth.set(true, "Pro", 1500, 1000);
    ASSERT_TRUE(open());
    choose("account");
    EXPECT_TRUE(journal.entries.contains("usage.refresh")) << "refreshed when the section is shown";
    EXPECT_EQ(textOf("accountEmail"), "Signed in") << "no e-mail claim";
    EXPECT_EQ(textOf("planBadge"), "Free") << "only lower-case pro counts";
    EXPECT_EQ(textOf("planButton"), "Upgrade to Pro");
    EXPECT_EQ(textOf("usageText"), "1500 / 1000 words");
    QQuickItem *bar = find("usageBar");
    QQuickItem *fill = find("usageFill");
    EXPECT_TRUE(bar->isVisible());
    EXPECT_DOUBLE_EQ(fill->width(), bar->width()) << "full";
    EXPECT_EQ(fill->property("color").value<QColor>(), QColor("#ff3b30"));

    auth.wordLimit = 0;
    emit auth.changed();
    EXPECT_DOUBLE_EQ(fill->width(), 0.0);

    auth.set(true, "pro", 20, 1000);
    EXPECT_EQ(textOf("planBadge"), "Pro");
    EXPECT_EQ(textOf("planButton"), "Manage");
    EXPECT_EQ(textOf("usageText"), "20 words");
    EXPECT_FALSE(bar->isVisible());
    click(find("planButton"));
    EXPECT_EQ(managePages, 1);

    click(find("signOutButton"));
    EXPECT_TRUE(find("signedOutCard")->isVisible());
}

} // namespace

#include "SettingsViewTest.moc"
