// The stores on real files: stored form, unreadable files, what a full disk leaves behind.
#include "FakePorts.h"
#include "History.h"
#include "JsonText.h"
#include "Keybindings.h"
#include "LoginItem.h"
#include "PreferenceStore.h"
#include "Settings.h"
#include "SmallFileSystem.h"
#include "TempEnvironment.h"
#include "Vocabulary.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QSettings>

#include <gtest/gtest.h>

#include <unistd.h>

#include <deque>
#include <limits>

using namespace orvanta;
using namespace orvanta::test;

namespace {

const QUuid firstId = QUuid::fromString(QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
const QByteArray idMember = R"("id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F")";
const QDateTime someDay(QDate(2024, 5, 17), QTime(9, 30, 15, 250), Qt::UTC);
const QByteArray activateJson =
    R"({"kind":"doubleTapModifier","modifier":"fn","mods":[],"display":"fn ×2"})";

class StoreTest : public ::testing::Test {
protected:
    // Another store on the same file: it sees only what reached the disk.
    PreferenceStore &reopened() { return m_reopened.emplace_back(file); }
    QVariant onDisk(const QString &key) const {
        return QSettings(file, QSettings::IniFormat).value(key);
    }
    void writeOnDisk(const QString &key, const QVariant &value) const {
        QSettings(file, QSettings::IniFormat).setValue(key, value);
    }
    QStringList keysOnDisk() const { return QSettings(file, QSettings::IniFormat).allKeys(); }

    TempFolder folder;
    QString file = folder.filePath("Orvanta.conf");
    PreferenceStore store{file};
    FakeLoginItem loginItem;
    QString historyDir = folder.filePath("Orvanta");
    QString historyFile = historyDir + "/history.json";

private:
    std::deque<PreferenceStore> m_reopened;
};

TEST_F(StoreTest, PreferenceValuesSurviveTheFileAndMistypedOnesReadAsAbsent) {
    const qint64 big = std::numeric_limits<qint64>::max();
    const QByteArray bytes("[{\"from\":\"a\\/b\"}]\x00\xff", 18);
    const QStringList many{"a,b", "\"quoted\"", " padded "};
    store.setString("text", "@not a variant, with comma");
    store.setBoolean("flag", true);
    store.setInteger("count", big);
    store.setData("bytes", bytes);
    store.setStringList("none", {});
    store.setStringList("one", {"only, with a comma"});
    store.setStringList("many", many);
    const PreferenceStore &other = reopened();
    EXPECT_EQ(other.string("text"), "@not a variant, with comma");
    EXPECT_TRUE(other.boolean("flag"));
    EXPECT_EQ(other.integer("count"), big);
    EXPECT_EQ(other.data("bytes"), bytes);
    EXPECT_EQ(other.stringList("none"), QStringList());
    EXPECT_EQ(other.stringList("one"), QStringList{"only, with a comma"});
    EXPECT_EQ(other.stringList("many"), many);
    EXPECT_EQ(PreferenceStore::openDefault()->fileName(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + "/Orvanta/Orvanta.conf");

    writeOnDisk("mistyped", "banana");
    writeOnDisk("apples", "12 apples");
    writeOnDisk("list", QStringList{"x", "y"});
    PreferenceStore &third = reopened();
    third.registerDefaults({{"mistyped", true}, {"apples", qint64(3)}, {"mode", QString("clean")}});
    EXPECT_TRUE(third.boolean("mistyped"));
    EXPECT_EQ(third.integer("apples"), 3);
    EXPECT_EQ(third.string("mode"), "clean");
    EXPECT_FALSE(third.contains("mode")) << "defaults are not written";
    EXPECT_FALSE(third.string("list") || third.data("text") || third.stringList("missing"));
}

TEST_F(StoreTest, SettingsStartAtTheDefaultsAndWriteThrough) {
    Settings settings(store, loginItem);
    EXPECT_TRUE(keysOnDisk().isEmpty()) << "defaults are not written";

    settings.setModel("custom/model-x");
    settings.setDictationMode(DictationMode::Summary);
    settings.setShowFloatingBar(false);
    settings.setMuteBackgroundAudio(false);
    settings.setPrivacyMode(true);
    settings.setMicUID("alsa_input.usb-0d8c");
    settings.setWordsDictated(41);
    settings.addWords("one two three");
    settings.setLanguage("tr");
    writeOnDisk("language", "fr"); // another writer changed the file meanwhile
    settings.setLanguage("tr");
    Settings reread(reopened(), loginItem);
    EXPECT_EQ(reread.model(), "custom/model-x") << "a model outside the options is kept";
    EXPECT_EQ(reread.language(), "tr") << "an equal value is still written";
    EXPECT_EQ(reread.dictationMode(), DictationMode::Summary);
    EXPECT_FALSE(reread.showFloatingBar() || reread.muteBackgroundAudio());
    EXPECT_TRUE(reread.privacyMode());
    EXPECT_EQ(reread.micUID(), "alsa_input.usb-0d8c");
    EXPECT_EQ(reread.wordsDictated(), 44);

    for (const QString stored : {"EMAIL", "summary ", "shouting", "verbatim"}) {
        writeOnDisk("dictationMode", stored);
        EXPECT_EQ(Settings(reopened(), loginItem).dictationMode(),
                  stored == "verbatim" ? DictationMode::Verbatim : DictationMode::Clean);
        EXPECT_EQ(onDisk("dictationMode").toString(), stored) << "an unknown mode stays stored";
    }
}

// The switch shows the autostart entry; one the desktop switched off is off and left alone.
TEST_F(StoreTest, OpenAtLoginIsTheAutostartEntry) {
    const QString entryFile = folder.filePath("autostart/orvanta.desktop");
    LoginItem item(folder.filePath("autostart"), "/opt/My Apps/orvanta");
    Settings settings(store, item);
    settings.setOpenAtLogin(true);
    EXPECT_TRUE(Settings(reopened(), item).openAtLogin() && !store.contains("openAtLogin"));
    const QByteArray entry = TempFolder::read(entryFile);
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n") &&
                entry.contains("\nExec=\"/opt/My Apps/orvanta\"\n"));
    settings.setOpenAtLogin(false);
    EXPECT_FALSE(QFile::exists(entryFile));
    const QByteArray hidden("[Desktop Entry]\nExec=orvanta --custom\nHidden = true\n");
    TempFolder::write(entryFile, hidden);
    settings.setOpenAtLogin(false);
    EXPECT_FALSE(settings.openAtLogin());
    EXPECT_EQ(TempFolder::read(entryFile), hidden);
    settings.setOpenAtLogin(true);
    EXPECT_TRUE(settings.openAtLogin());
}

TEST_F(StoreTest, VocabularyTermsAreTrimmedAndUniqueAndInstructionsKept) {
    Vocabulary vocabulary(store);
    EXPECT_FALSE(vocabulary.addTerm(" \t\u00a0 "));
    EXPECT_TRUE(vocabulary.addTerm("\u2003 Kubernetes, Helm\t"));
    EXPECT_TRUE(vocabulary.addTerm("kubernetes, helm"));
    EXPECT_FALSE(vocabulary.addTerm("Kubernetes, Helm"));
    EXPECT_TRUE(vocabulary.addTerm("Jos\u00e9"));
    EXPECT_FALSE(vocabulary.addTerm("Jose\u0301")) << "canonically equal";
    EXPECT_TRUE(vocabulary.addTerm("line\n")) << "line breaks are not trimmed";
    const QStringList terms{"Kubernetes, Helm", "kubernetes, helm", "Jos\u00e9", "line\n"};
    EXPECT_EQ(Vocabulary(reopened()).terms(), terms);
    for (const int index : {1, 3, -1, 0, 0})
        vocabulary.removeTerm(index);
    EXPECT_EQ(Vocabulary(reopened()).terms(), QStringList{"line\n"});

    writeOnDisk("vocabInstructions", "Use British spelling.\nNo emoji.");
    writeOnDisk("vocabTerms", QByteArray("\x01\x02"));
    Vocabulary odd(reopened());
    EXPECT_EQ(odd.instructions(), "Use British spelling.\nNo emoji.");
    EXPECT_TRUE(odd.terms().isEmpty());
    odd.setInstructions("");
    EXPECT_EQ(Vocabulary(reopened()).instructions(), "");
}

TEST_F(StoreTest, ReplacementRulesAreStoredInTheirExactForm) {
    Vocabulary vocabulary(store);
    vocabulary.setReplacements({{firstId, "and/or", "\"both\"", true}});
    EXPECT_EQ(onDisk("vocabReplacements").toByteArray(),
              "[{" + idMember + R"(,"from":"and\/or","to":"\"both\"","caseSensitive":true}])");
    vocabulary.addReplacement();
    const QList<Replacement> rules = Vocabulary(reopened()).replacements();
    ASSERT_EQ(rules.size(), 2);
    EXPECT_EQ(rules[0], (Replacement{firstId, "and/or", "\"both\"", true}));
    EXPECT_FALSE(rules[1].caseSensitive || rules[1].id.isNull());
    vocabulary.updateReplacement({rules[1].id, "brb", "be right back", false});
    vocabulary.updateReplacement({QUuid::createUuid(), "brb", "unknown", false});
    vocabulary.removeReplacement(firstId);
    EXPECT_EQ(Vocabulary(reopened()).applyReplacements("BRB and/or"), "be right back and/or");

    const auto read = decodeReplacements(
        R"([{"caseSensitive":false,"to":"a/b","from":"x\/y","id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","extra":1}])");
    EXPECT_EQ(read, QList<Replacement>{(Replacement{firstId, "x/y", "a/b", false})})
        << "either slash form, any member order, unknown members ignored";
    const QByteArray rule = "{" + idMember + R"(,"from":"a","to":"b","caseSensitive":false})";
    for (const QByteArray &json : {
             "[{" + idMember + R"(,"from":"a","to":"b"}])",
             "[{" + idMember + R"(,"from":1,"to":"b","caseSensitive":false}])",
             "[{" + idMember + R"(,"from":"a","to":[],"caseSensitive":false}])",
             QByteArray(R"([{"id":"E621E1F8C36C495A93FC0C247A3E6E5F","from":"a","to":"b",)"
                        R"("caseSensitive":false}])"),
             QByteArray(R"([{"from":"a","to":"b","caseSensitive":false}])"),
             "[" + rule + ",7]",
             rule,
             QByteArray("["),
         })
        EXPECT_FALSE(decodeReplacements(json).has_value()) << json.toStdString();
}

TEST_F(StoreTest, UnreadableRulesAreKeptAsideOnceBeforeTheyAreReplaced) {
    const QByteArray corrupt("[{" + idMember + R"(,"from":"a","to":"b"}])");
    writeOnDisk("vocabReplacements", corrupt);
    {
        Vocabulary vocabulary(reopened());
        EXPECT_TRUE(vocabulary.replacements().isEmpty());
        EXPECT_EQ(onDisk("vocabReplacements").toByteArray(), corrupt) << "loading changes nothing";
        vocabulary.addReplacement();
        vocabulary.addReplacement();
        EXPECT_EQ(onDisk(Vocabulary::unreadableReplacementsKey).toByteArray(), corrupt);
        EXPECT_EQ(Vocabulary(reopened()).replacements().size(), 2);
    }
    writeOnDisk("vocabReplacements", QString("not even data"));
    Vocabulary(reopened()).addReplacement();
    writeOnDisk("vocabReplacements", corrupt);
    Vocabulary(reopened()).addReplacement();
    EXPECT_EQ(onDisk(Vocabulary::unreadableReplacementsKey).toByteArray(), corrupt)
        << "a later corruption does not overwrite the first copy";
    const QStringList copies = keysOnDisk().filter("vocabReplacements.unreadable.");
    ASSERT_EQ(copies.size(), 1) << "the same rules again are not copied again";
    EXPECT_EQ(onDisk(copies[0]).toString(), "not even data");
}

// Each stored binding falls back to its default on its own; malformed ones are refused.
TEST_F(StoreTest, BindingsAreStoredInTheirExactForm) {
    Keybindings bindings(store);
    EXPECT_EQ(bindings.activate().toJson(), activateJson);
    EXPECT_EQ(
        Shortcut::fromJson(R"({"display":"x","mods":[],"keyCode":null,"kind":"combo"})")->keyCode,
        std::nullopt);

    bindings.setActivate(Shortcut::doubleTap(ModifierKey::Control));
    bindings.setCancel(Shortcut::combo(12, {ModifierKey::Option}, "Q"));
    Keybindings reread(reopened());
    EXPECT_EQ(reread.activate(), Shortcut::doubleTap(ModifierKey::Control));
    EXPECT_EQ(reread.cancel(), Shortcut::combo(12, {ModifierKey::Option}, "Q"));
    bindings.resetToDefaults();
    EXPECT_EQ(onDisk("kbActivate").toByteArray(), activateJson);
    EXPECT_EQ(Shortcut::fromJson(onDisk("kbCancel").toByteArray()), Keybindings::defaultCancel());

    writeOnDisk("kbActivate",
                QByteArray(R"({"kind":"doubleTapModifier","modifier":"control","mods":[]})"));
    writeOnDisk("kbCancel",
                QByteArray(R"({"kind":"combo","keyCode":12,"mods":["option"],"display":"⌥Q"})"));
    writeOnDisk("kbPaste", QString("not data"));
    Keybindings odd(reopened());
    EXPECT_EQ(odd.activate(), Keybindings::defaultActivate());
    EXPECT_EQ(odd.cancel().keyCode, 12);
    EXPECT_EQ(odd.pasteLast(), Keybindings::defaultPaste());

    EXPECT_EQ(
        Shortcut::fromJson(R"({"kind":"combo","keyCode":65535,"mods":[],"display":"x"})")->keyCode,
        65535);
    for (const QByteArray json : {
             R"({"kind":"combo","keyCode":9,"display":"V"})",
             R"({"kind":"combo","keyCode":9,"mods":[]})",
             R"({"kind":"triple","mods":[],"display":"x"})",
             R"({"kind":"combo","keyCode":65536,"mods":[],"display":"x"})",
             R"({"kind":"combo","keyCode":-1,"mods":[],"display":"x"})",
             R"({"kind":"combo","keyCode":9.5,"mods":[],"display":"x"})",
             R"({"kind":"combo","keyCode":"9","mods":[],"display":"x"})",
             R"({"kind":"doubleTapModifier","modifier":"hyper","mods":[],"display":"x"})",
             R"({"kind":"combo","keyCode":9,"mods":["control","meta"],"display":"x"})",
             "[]",
         })
        EXPECT_FALSE(Shortcut::fromJson(json).has_value()) << json.toStdString();
}

TEST_F(StoreTest, BindingConflictsCompareKindKeyAndModifierSets) {
    Keybindings bindings(store);
    bindings.setPasteLast(Shortcut::combo(40, {ModifierKey::Shift, ModifierKey::Command}, "K"));
    Shortcut reordered = Shortcut::combo(40, {}, "other");
    reordered.mods = {ModifierKey::Command, ModifierKey::Shift};
    using enum KeybindAction;
    EXPECT_TRUE(bindings.conflict(reordered, Activate));
    EXPECT_FALSE(bindings.conflict(reordered, PasteLast)) << "its own binding";
    EXPECT_FALSE(bindings.conflict(Shortcut::combo(40, {ModifierKey::Command}, "K"), Activate));
    EXPECT_FALSE(bindings.conflict(
        Shortcut::combo(41, {ModifierKey::Shift, ModifierKey::Command}, "L"), Activate));
    EXPECT_FALSE(bindings.conflict(Shortcut::doubleTap(ModifierKey::Fn), Activate));
    EXPECT_TRUE(bindings.conflict(Shortcut::doubleTap(ModifierKey::Fn), Cancel));
    EXPECT_FALSE(bindings.conflict(Shortcut::doubleTap(ModifierKey::Shift), Cancel));
    EXPECT_TRUE(bindings.conflict(Shortcut::combo(53, {}, "Esc"), PasteLast));
}

TEST_F(StoreTest, HistoryIsStoredNewestFirstInItsFileFormat) {
    History history(historyDir);
    history.add("first", DictationMode::Verbatim, someDay);
    history.add("and/or \"quoted\"\nline", DictationMode::Email, someDay.addSecs(60));
    const QByteArray json = TempFolder::read(historyFile);
    const auto items = history.items();
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(json.startsWith(R"([{"id":")" + json::uuidText(items[0].id).toUtf8() +
                                R"(","text":"and\/or \"quoted\"\nline","date":)"));
    EXPECT_EQ(items[1].mode, "Verbatim");
    // Seconds since 2001-01-01 00:00:00 UTC, not since 1970.
    const double expected =
        QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).msecsTo(someDay) / 1000.0;
    EXPECT_DOUBLE_EQ(QJsonDocument::fromJson(json).array()[1].toObject()["date"].toDouble(),
                     expected);
    History reloaded(historyDir);
    EXPECT_EQ(reloaded.items(), items);
    EXPECT_EQ(reloaded.items()[1].dateTime(), someDay);

    reloaded.remove(items[0].id);
    reloaded.remove(QUuid::createUuid());
    EXPECT_EQ(History(historyDir).items(), items.mid(1));
    TempFolder::write(historyFile, R"([{"mode":"Summary","date":1.5,"text":"a\/b",)" +
                                       idMember.toLower() + "}]");
    EXPECT_EQ(History(historyDir).items(), (QList<HistoryItem>{{firstId, "a/b", 1.5, "Summary"}}));
    history.clear();
    EXPECT_EQ(TempFolder::read(historyFile), "[]");

    TempFolder::write(folder.filePath("blocker"), "a file where the folder should be");
    History inMemory(folder.filePath("blocker/Orvanta"));
    inMemory.add("still here", DictationMode::Clean, someDay);
    EXPECT_EQ(inMemory.items().size(), 1) << "works in memory when the folder cannot be made";
}

TEST_F(StoreTest, HistoryKeepsTheNewestTwoHundredAndCutsALongerFileOnTheNextAddition) {
    QByteArray longer("[");
    for (int i = 0; i < 250; ++i)
        longer += QStringLiteral(R"(%1{"id":"%2","text":"entry %3","date":%4,"mode":"Clean"})")
                      .arg(i ? "," : "", json::uuidText(QUuid::createUuid()))
                      .arg(i)
                      .arg(1000 - i)
                      .toUtf8();
    TempFolder::write(historyFile, longer + "]");
    History loaded(historyDir);
    EXPECT_EQ(loaded.items().size(), 250);
    loaded.add("new", DictationMode::Clean, someDay);
    ASSERT_EQ(loaded.items().size(), 200);
    EXPECT_EQ(loaded.items()[199].text, "entry 198");
    EXPECT_EQ(QJsonDocument::fromJson(TempFolder::read(historyFile)).array().size(), 200);
}

TEST_F(StoreTest, UnreadableHistoryStartsEmptyAndIsKeptBeforeTheFirstSave) {
    const QByteArray entry("{" + idMember + R"(,"text":"t","date":1,"mode":"Clean"})");
    for (const QByteArray &json : {
             "[" + entry + R"(,{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","text":"t","date":1}])",
             QByteArray(R"([{"id":"not-a-uuid","text":"t","date":1,"mode":"Clean"}])"),
             "[{" + idMember + R"(,"text":"t","date":"yesterday","mode":"Clean"}])",
             "[{" + idMember + R"(,"text":7,"date":1,"mode":"Clean"}])",
             "[" + entry + ",7]",
             entry,
         })
        EXPECT_FALSE(decodeHistory(json).has_value()) << json.toStdString();
    for (const QByteArray &contents : {QByteArray("garbage"), QByteArray()}) {
        QDir(historyDir).removeRecursively();
        TempFolder::write(historyFile, contents);
        if (contents.isEmpty()) { // a file too large to be read, all holes
            ASSERT_TRUE(QFile(historyFile).resize(History::maxFileSize + 1));
        }
        const QByteArray before = TempFolder::read(historyFile);
        History history(historyDir);
        EXPECT_TRUE(history.items().isEmpty()) << contents.toStdString();
        EXPECT_EQ(TempFolder::read(historyFile), before) << "loading changes nothing";
        history.add("new", DictationMode::Clean, someDay);
        history.add("newer", DictationMode::Clean, someDay);
        const QStringList copies =
            QDir(historyDir).entryList({"history.json.unreadable-*"}, QDir::Files);
        ASSERT_EQ(copies.size(), 1) << "kept once only";
        EXPECT_EQ(TempFolder::read(historyDir + "/" + copies[0]), before);
        EXPECT_EQ(History(historyDir).items().size(), 2);
    }
}

// The files of a folder, with what is in them.
QMap<QString, QByteArray> filesIn(const QString &folder) {
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        if (name != "filler")
            files[name] = TempFolder::read(folder + "/" + name);
    return files;
}

// Saves on a full tmpfs (mounting needs root, which CI has; elsewhere skipped).
TEST(FullDiskTest, SavesKeepThePreviousFilesAndTheNextSaveStoresEverything) {
    SmallFileSystem disk(512 * 1024);
    if (!disk.mounted() && ::geteuid() != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root: " << disk.reason().toStdString();
    ASSERT_TRUE(disk.mounted()) << disk.reason().toStdString();
    const QString historyFolder = disk.path() + "/Orvanta", prefs = disk.path() + "/prefs";
    const QString big(4000, u'w');
    {
        History history(historyFolder);
        PreferenceStore store(prefs + "/Orvanta.conf");
        Vocabulary vocabulary(store);
        history.add("before", DictationMode::Clean, QDateTime::currentDateTimeUtc());
        vocabulary.setInstructions("before");
        const auto historyFiles = filesIn(historyFolder), preferenceFiles = filesIn(prefs);
        ASSERT_EQ(historyFiles.size(), 1);
        ASSERT_EQ(preferenceFiles.size(), 1);

        disk.fill();
        history.add(big, DictationMode::Email, QDateTime::currentDateTimeUtc());
        vocabulary.setInstructions(big);
        // The files on disk are the previous ones, whole, with no half-written files beside them.
        EXPECT_EQ(filesIn(historyFolder), historyFiles);
        EXPECT_EQ(filesIn(prefs), preferenceFiles);
        EXPECT_EQ(history.items().size(), 2);

        disk.drain();
        history.add("after", DictationMode::Clean, QDateTime::currentDateTimeUtc());
        vocabulary.setTerms({"after"});
    }
    History history(historyFolder);
    ASSERT_EQ(history.items().size(), 3);
    EXPECT_EQ(history.items()[1].text, big);
    PreferenceStore store(prefs + "/Orvanta.conf");
    Vocabulary vocabulary(store);
    EXPECT_EQ(vocabulary.instructions(), big);
    EXPECT_EQ(vocabulary.terms(), QStringList{"after"});
}

} // namespace
