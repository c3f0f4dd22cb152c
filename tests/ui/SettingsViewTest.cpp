// The settings window in a real QML engine: what each page shows of the stores and the models,
// what its controls write back, and the keyboard; and the pages' models on their own.

#include "../unit/FakeAppScene.h"
#include "GeneralSectionModel.h"
#include "HistoryListModel.h"
#include "KeybindingsModel.h"
#include "RelativeTime.h"
#include "ReplacementListModel.h"
#include "SettingsRules.h"
#include "SettingsWindowController.h"
#include "ShortcutLabel.h"
#include "TestDoubles.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

// Types into the window's focused item, key by key.
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
            auto listDevices = [this] { return devices; };
            auto openManagePage = [this] { ++managePages; };
            controller = std::make_unique<SettingsWindowController>(
                engine, SettingsWindowServices{app, settings, vocabulary, history, keybindings,
                                               auth, account, permissions, inserter, micTester,
                                               listDevices, openManagePage, nullptr});
        }
        EXPECT_TRUE(controller->show());
        return controller->window();
    }
    void choose(const QString &section) {
        click(findItem(controller->window()->contentItem(), "sidebar_" + section));
    }
    QQuickItem *page() const {
        auto *loader = controller->window()->findChild<QObject *>("sectionLoader");
        return loader ? loader->property("item").value<QQuickItem *>() : nullptr;
    }
    QQuickItem *find(const QString &name) const { return findItem(page(), name); }
    // The shown ones only: a list keeps the delegates of removed rows for a while.
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
    QString textOf(const QString &name) const {
        QQuickItem *item = find(name);
        return item ? item->property("text").toString() : QString("<missing>");
    }
    QString keyLabel(const char *action) const {
        return findItem(find(QString("binding_") + action), "bindingKey")
            ->property("label")
            .toString();
    }
    QQuickWindow *sheet() const { return controller->window()->findChild<QQuickWindow *>(); }
    QQuickItem *inSheet(const char *name) const { return findItem(sheet()->contentItem(), name); }
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
    EXPECT_FALSE(app.microphoneGranted());
    choose("history");
    window->hide();
    permissions.microphoneAuthorized = true;
    EXPECT_EQ(open(), window) << "the same window comes back";
    EXPECT_TRUE(app.microphoneGranted());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->property("section"), "general") << "it opens on General again";
    choose("history");
    open();
    EXPECT_EQ(window->property("section"), "history") << "an open window keeps its section";
}

// Each section's page, filled: Tab from the sidebar visits every control of the page in
// reading order, each in view and named for screen readers, and comes back to the sidebar;
// the arrows move in the sidebar.
TEST_F(SettingsViewTest, KeyboardReachesEveryControlInReadingOrderWithItsName) {
    QAccessible::setActive(true);
    vocabulary.addTerm("Acme");
    vocabulary.addReplacement();
    vocabulary.setInstructions("Lowercase everywhere.");
    history.add("Hello there", DictationMode::Clean, QDateTime::currentDateTimeUtc());
    auth.set(true, "free", 10, 1000);
    devices = {{"usb", "USB Mic"}};
    QQuickWindow *window = open();
    ASSERT_TRUE(window);
    window->resize(760, 580);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    window->requestActivate();
    const std::pair<const char *, const char *> sections[] = {
        {"general", "GeneralSettingsView"},   {"dictionary", "DictionaryView"},
        {"replacements", "ReplacementsView"}, {"instructions", "InstructionsView"},
        {"history", "HistoryView"},           {"account", "AccountView"}};
    for (const auto &[key, pageType] : sections) {
        const QString section = QString::fromLatin1(key);
        choose(section);
        ASSERT_TRUE(page());
        EXPECT_TRUE(QString(page()->metaObject()->className()).startsWith(pageType)) << key;
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
        auto *flick = find("pageFlickable");
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
    QTest::keyClick(window, Qt::Key_Up);
    EXPECT_EQ(window->property("section"), "history");
    EXPECT_EQ(window->activeFocusItem(), findItem(window->contentItem(), "sidebar_history"));
    QTest::keyClick(window, Qt::Key_Up);
    QTest::keyClick(window, Qt::Key_Down);
    EXPECT_EQ(window->property("section"), "history");
}

TEST_F(SettingsViewTest, GeneralShowsTheStoresAndWritesThePickersAndSwitches) {
    settings.setWordsDictated(42);
    settings.setMicUID("gone-device");
    settings.setModel("vendor/retired-model");
    devices = {{"usb", "USB Mic"}, {"builtin", "Built-in"}};
    ASSERT_TRUE(open());
    EXPECT_EQ(textOf("wordsText"), SettingsRules::wordsDictatedText(42));
    EXPECT_EQ(textOf("sectionTitle"), controller->general().greeting());
    QQuickItem *mic = find("microphonePicker");
    ASSERT_TRUE(mic);
    EXPECT_EQ(mic->property("count").toInt(), 3);
    EXPECT_EQ(mic->property("currentIndex").toInt(), -1) << "an unknown device selects nothing";
    EXPECT_EQ(settings.micUID(), "gone-device") << "and is not changed";
    EXPECT_EQ(find("modelPicker")->property("currentIndex").toInt(),
              Settings::modelOptions().size())
        << "the stored model stays listed, last";
    // A choice made in each picker reaches the store, and the picker follows the store.
    for (const char *name : {"microphonePicker", "modelPicker", "languagePicker", "modePicker"}) {
        QQuickItem *picker = find(name);
        QMetaObject::invokeMethod(picker, "activated", Q_ARG(int, 1));
        const QString indexProperty = QString(name).replace("Picker", "Index");
        EXPECT_EQ(controller->general().property(qPrintable(indexProperty)), 1) << name;
        EXPECT_EQ(picker->property("currentIndex"), 1) << name;
    }
    EXPECT_EQ(settings.micUID(), "usb");
    settings.setDictationMode(allDictationModes[2]);
    EXPECT_EQ(find("modePicker")->property("currentIndex").toInt(), 2);

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

TEST_F(SettingsViewTest, MicrophoneTestRunsUntilStopOrUntilThePageGoes) {
    settings.setMicUID("usb");
    devices = {{"usb", "USB Mic"}};
    ASSERT_TRUE(open());
    const QString idleText = textOf("testButton");
    click(find("testButton"));
    EXPECT_EQ(micTester.startedWith, QStringList{"usb"});
    EXPECT_NE(textOf("testButton"), idleText);
    click(find("testButton"));
    EXPECT_FALSE(micTester.testing);
    click(find("testButton"));
    choose("dictionary");
    EXPECT_FALSE(micTester.testing) << "leaving the section stops the test";
    choose("general");
    EXPECT_EQ(textOf("testButton"), idleText);
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
    auto activateSubtitle = [&] {
        return findItem(find("binding_activate"), "rowSubtitle")->property("text").toString();
    };
    EXPECT_TRUE(find("hintUnavailable")->isVisible());
    EXPECT_EQ(activateSubtitle(), textOf("hintUnavailable"));

    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Command));
    app.applyKeybindings();
    EXPECT_FALSE(find("hintUnavailable")->isVisible());
    EXPECT_EQ(activateSubtitle(), description(KeybindAction::Activate));
}

// The sheet records into the model; only Save stores, and the rows show what is stored.
TEST_F(SettingsViewTest, RecorderSheetSavesOnlyOnSave) {
    ASSERT_TRUE(open());
    click(find("edit_pasteLast"));
    ASSERT_TRUE(sheet()) << "the sheet is a window of its own";
    EXPECT_TRUE(inSheet("sheetSubtitle")
                    ->property("text")
                    .toString()
                    .contains(title(KeybindAction::PasteLast)));
    QQuickItem *save = inSheet("saveButton");
    EXPECT_FALSE(save->isEnabled()) << "nothing captured";
    QTest::keyClick(sheet(), Qt::Key_Escape);
    EXPECT_EQ(inSheet("capturedKey")->property("label"),
              desktopLabel(Keybindings::defaultCancel()));
    EXPECT_TRUE(inSheet("conflictWarning")->isVisible());
    EXPECT_FALSE(save->isEnabled()) << "a conflict cannot be saved";
    EXPECT_TRUE(sheet()->isVisible()) << "Esc is recorded, it does not close the sheet";

    QTest::keyClick(sheet(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_FALSE(inSheet("conflictWarning")->isVisible());
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(keybindings.pasteLast(), Keybindings::defaultPaste()) << "nothing stored yet";
    click(save);
    EXPECT_TRUE(sheetCloses());
    EXPECT_NE(keybindings.pasteLast(), Keybindings::defaultPaste());
    EXPECT_EQ(keyLabel("pasteLast"), desktopLabel(keybindings.pasteLast()));

    click(find("edit_cancel"));
    ASSERT_TRUE(sheet());
    QTest::keyPress(sheet(), Qt::Key_Shift);
    QTest::keyRelease(sheet(), Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(inSheet("capturedKey")->property("label"),
              desktopLabel(Shortcut::doubleTap(ModifierKey::Shift)));
    click(inSheet("cancelButton"));
    EXPECT_TRUE(sheetCloses());
    EXPECT_EQ(keybindings.cancel(), Keybindings::defaultCancel()) << "Cancel stores nothing";

    // From the keyboard alone: the first Esc is recorded, the second one leaves.
    click(find("edit_activate"));
    ASSERT_TRUE(sheet());
    QTest::keyClick(sheet(), Qt::Key_Escape);
    EXPECT_TRUE(controller->keybindingsModel().recording());
    QTest::keyClick(sheet(), Qt::Key_Escape);
    EXPECT_TRUE(sheetCloses());
    EXPECT_EQ(keybindings.activate(), Keybindings::defaultActivate()) << "nothing stored";

    keybindings.setActivate(Shortcut::doubleTap(ModifierKey::Shift));
    click(find("resetDefaults"));
    EXPECT_EQ(keybindings.pasteLast(), Keybindings::defaultPaste());
    EXPECT_EQ(keyLabel("activate"), desktopLabel(Keybindings::defaultActivate()));
    EXPECT_EQ(keyLabel("pasteLast"), desktopLabel(Keybindings::defaultPaste()));
}

TEST_F(SettingsViewTest, DictionaryAddsTermsAndRefocusesOnlyAfterAnAdd) {
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
    EXPECT_EQ(textOf("termCounter"), SettingsRules::dictionaryCounterText(1));
    EXPECT_FALSE(find("dictionaryEmpty")->isVisible());

    add->forceActiveFocus();
    field->setProperty("text", "Acme");
    click(add);
    EXPECT_EQ(field->property("text").toString(), "");
    EXPECT_FALSE(field->hasActiveFocus()) << "a duplicate does not bring the focus back";

    click(findAll("removeTerm").value(0));
    EXPECT_TRUE(vocabulary.terms().isEmpty());
    EXPECT_EQ(textOf("termCounter"), SettingsRules::dictionaryCounterText(0));
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
    Replacement twin = first;
    twin.id = QUuid::createUuid();
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
    EXPECT_EQ(findItem(entries[0], "entryTime")->property("text"),
              relativeTimeText(now.addSecs(-300), QDateTime::currentDateTimeUtc()));

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

TEST_F(SettingsViewTest, AccountShowsThePlanAndUsageOfTheSession) {
    ASSERT_TRUE(open());
    account.signedIn = false;
    choose("account");
    EXPECT_FALSE(journal.entries.contains("usage.refresh")) << "signed out, nothing is asked";
    EXPECT_TRUE(find("signedOutCard")->isVisible());
    EXPECT_FALSE(find("planCard")->isVisible());
    click(find("signInButton"));
    EXPECT_EQ(auth.signInPages, 1);

    account.signedIn = true;
    auth.set(true, "Pro", 1500, 1000);
    choose("general");
    choose("account");
    EXPECT_TRUE(journal.entries.contains("usage.refresh")) << "refreshed when the section is shown";
    EXPECT_EQ(textOf("accountEmail"), "Signed in") << "no e-mail claim";
    EXPECT_EQ(textOf("usageText"), SettingsRules::usageText(false, 1500, 1000))
        << "only lower-case pro counts";
    QQuickItem *bar = find("usageBar");
    QQuickItem *fill = find("usageFill");
    EXPECT_TRUE(bar->isVisible());
    EXPECT_DOUBLE_EQ(fill->width(), bar->width()) << "full";
    const QColor fullColour = fill->property("color").value<QColor>();
    auth.set(true, "free", 500, 1000);
    EXPECT_DOUBLE_EQ(fill->width(), bar->width() * SettingsRules::usageFraction(500, 1000));
    EXPECT_NE(fill->property("color").value<QColor>(), fullColour) << "a full bar stands out";
    auth.wordLimit = 0;
    emit auth.changed();
    EXPECT_DOUBLE_EQ(fill->width(), 0.0);

    auth.set(true, "pro", 20, 1000);
    EXPECT_EQ(textOf("usageText"), SettingsRules::usageText(true, 20, 1000));
    EXPECT_FALSE(bar->isVisible());
    click(find("planButton"));
    EXPECT_EQ(managePages, 1);
    click(find("signOutButton"));
    EXPECT_TRUE(find("signedOutCard")->isVisible());
}

TEST_F(SettingsViewTest, ModelEditingARuleUpdatesItsRowWithoutRebuildingTheList) {
    ReplacementListModel model(vocabulary);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.add();
    model.add();
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(resets.count(), 2);

    const QString second = model.data(model.index(1), ReplacementListModel::IdRole).toString();
    model.setTo(second, "typed");
    EXPECT_EQ(resets.count(), 2) << "typing keeps the rows (and the field's focus)";
    EXPECT_GE(changes.count(), 1);
    EXPECT_EQ(vocabulary.replacements()[1].to, "typed");
    EXPECT_EQ(model.data(model.index(1), ReplacementListModel::ToRole), "typed");

    model.setFrom("not-a-uuid", "x");
    model.remove(QUuid::createUuid().toString());
    EXPECT_EQ(model.count(), 2) << "an unknown rule changes nothing";
    EXPECT_TRUE(vocabulary.replacements()[0].from.isEmpty());
    model.remove(second);
    EXPECT_EQ(model.count(), 1);
    EXPECT_FALSE(model.data(model.index(5), ReplacementListModel::FromRole).isValid());
}

TEST_F(SettingsViewTest, ModelHistoryRowsSayHowLongAgoAtTheTimeTheyAreRead) {
    const QDateTime written(QDate(2026, 5, 1), QTime(9, 0), Qt::UTC);
    history.add("note", DictationMode::Summary, written);
    HistoryListModel model(history, inserter);
    for (const QDateTime &now : {written.addSecs(3 * 3600), written.addDays(2)}) {
        model.setClock([now] { return now; });
        EXPECT_EQ(model.data(model.index(0), HistoryListModel::RelativeTimeRole),
                  relativeTimeText(written, now));
    }
    EXPECT_EQ(model.data(model.index(0), HistoryListModel::ModeRole),
              label(DictationMode::Summary));
    model.paste(QUuid::createUuid().toString());
    EXPECT_TRUE(inserter.inserted.isEmpty()) << "an unknown entry pastes nothing";
}

TEST_F(SettingsViewTest, ModelPermissionAnswerAfterTheSectionClosedIsHarmless) {
    permissions.microphoneAuthorized = false;
    permissions.answerLater = true;
    auto model = std::make_unique<GeneralSectionModel>(
        settings, app, permissions, [] { return QList<std::pair<QString, QString>>(); });
    model->grantMicrophone();
    model.reset();
    permissions.answer(false);
    EXPECT_FALSE(journal.entries.contains("open:microphone-help"))
        << "nothing acts for a section that is gone";
}

TEST_F(SettingsViewTest, ModelRecorderUsesThePhysicalKeyWhereThePlatformNamesIt) {
    KeybindingsModel model(keybindings);
    // X key code 24 is the key a US layout types "q" with (stored code 12).
    model.setScanCodeTranslator([](quint32 scanCode) -> std::optional<quint16> {
        if (scanCode == 24)
            return quint16(12);
        return std::nullopt;
    });
    QWindow window;
    model.beginRecording("nonsense", &window);
    EXPECT_FALSE(model.recording()) << "an unknown action starts nothing";
    model.beginRecording("cancel", &window);
    ASSERT_TRUE(model.recording());
    EXPECT_EQ(model.actionTitle(), title(KeybindAction::Cancel));

    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, 24, 0, 0, "a");
    EXPECT_TRUE(QCoreApplication::sendEvent(&window, &press)) << "the sheet consumes its keys";
    EXPECT_EQ(model.capturedDisplay(), "Ctrl+Q");
    QKeyEvent unknown(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, 99, 0, 0, "b");
    QCoreApplication::sendEvent(&window, &unknown);
    EXPECT_EQ(model.capturedDisplay(), "B") << "keys the platform cannot place use the Qt key";

    QSignalSpy finished(&model, &KeybindingsModel::recordingFinished);
    model.save();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(keybindings.cancel().display, "B");
    QKeyEvent after(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, 0, 0, 0, "c");
    QCoreApplication::sendEvent(&window, &after);
    EXPECT_EQ(keybindings.cancel().display, "B") << "no longer listening";
    EXPECT_FALSE(model.recording());
}

TEST_F(SettingsViewTest, ModelBindingRowsFollowTheStore) {
    KeybindingsModel model(keybindings);
    QSignalSpy rowsChanged(&model, &KeybindingsModel::rowsChanged);
    keybindings.setCancel(Shortcut::doubleTap(ModifierKey::Option));
    EXPECT_EQ(rowsChanged.count(), 1);
    const QVariantList rows = model.rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1].toMap()["action"], "cancel");
    EXPECT_EQ(rows[1].toMap()["display"], QString::fromUtf8("⌥ ×2"));
    model.resetToDefaults();
    EXPECT_EQ(model.rows()[1].toMap()["display"], Keybindings::defaultCancel().display);

    // The Activate row names what the shortcut monitor really listens for; the stored text
    // stays as it is.
    std::optional<Shortcut> listened = Keybindings::fallbackActivate();
    model.setListenedActivate([&listened] { return listened; });
    const QVariantMap activate = model.rows()[0].toMap();
    EXPECT_EQ(activate["label"], desktopLabel(Keybindings::fallbackActivate()));
    EXPECT_EQ(activate["display"], keybindings.activate().display);
    EXPECT_NE(activate["label"], desktopLabel(keybindings.activate()));
    listened.reset();
    EXPECT_EQ(model.rows()[0].toMap()["label"], desktopLabel(keybindings.activate()));
}

} // namespace
