#include "Settings.h"
#include "FakePorts.h"
#include "LoginItem.h"
#include "PreferenceStore.h"
#include "TempEnvironment.h"
#include "TextRules.h"

#include <QSettings>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <limits>

using namespace orvanta;
using namespace orvanta::test;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    QVariant onDisk(const QString &key) const {
        return QSettings(file, QSettings::IniFormat).value(key);
    }
    void writeOnDisk(const QString &key, const QVariant &value) const {
        QSettings(file, QSettings::IniFormat).setValue(key, value);
    }

    TempFolder folder;
    QString file = folder.filePath("Orvanta.conf");
    PreferenceStore store{file};
    FakeLoginItem loginItem;
};

TEST_F(SettingsTest, FreshUserGetsTheDefaultsAndNothingIsWritten) {
    Settings settings(store, loginItem);
    EXPECT_EQ(settings.model(), "google/gemini-2.5-flash");
    EXPECT_EQ(settings.language(), "auto");
    EXPECT_EQ(settings.dictationMode(), DictationMode::Clean);
    EXPECT_TRUE(settings.showFloatingBar());
    EXPECT_TRUE(settings.muteBackgroundAudio());
    EXPECT_FALSE(settings.privacyMode());
    EXPECT_EQ(settings.micUID(), "__default__");
    EXPECT_FALSE(settings.openAtLogin());
    EXPECT_EQ(settings.wordsDictated(), 0);
    EXPECT_TRUE(QSettings(file, QSettings::IniFormat).allKeys().isEmpty());
}

TEST_F(SettingsTest, AssignmentsWriteThroughAndNotifyWithTheNewValue) {
    Settings settings(store, loginItem);
    QString seen;
    QObject::connect(&settings, &Settings::modelChanged, [&] { seen = settings.model(); });
    QSignalSpy bar(&settings, &Settings::showFloatingBarChanged);

    settings.setModel("custom/model-x");
    settings.setLanguage("tr");
    settings.setDictationMode(DictationMode::Summary);
    settings.setShowFloatingBar(false);
    settings.setMuteBackgroundAudio(false);
    settings.setPrivacyMode(true);
    settings.setMicUID("alsa_input.usb-0d8c");
    settings.setWordsDictated(41);
    settings.setShowFloatingBar(false);

    EXPECT_EQ(seen, "custom/model-x");
    EXPECT_EQ(bar.count(), 2) << "an equal value still notifies";
    EXPECT_EQ(onDisk("dictationMode").toString(), "summary");

    PreferenceStore other(file);
    Settings reread(other, loginItem);
    EXPECT_EQ(reread.model(), "custom/model-x") << "a model outside the options is kept";
    EXPECT_EQ(reread.language(), "tr");
    EXPECT_EQ(reread.dictationMode(), DictationMode::Summary);
    EXPECT_FALSE(reread.showFloatingBar());
    EXPECT_FALSE(reread.muteBackgroundAudio());
    EXPECT_TRUE(reread.privacyMode());
    EXPECT_EQ(reread.micUID(), "alsa_input.usb-0d8c");
    EXPECT_EQ(reread.wordsDictated(), 41);
}

TEST_F(SettingsTest, AnEqualValueIsStillWritten) {
    Settings settings(store, loginItem);
    settings.setLanguage("de");
    writeOnDisk("language", "fr"); // another writer changed the file meanwhile
    settings.setLanguage("de");
    EXPECT_EQ(onDisk("language").toString(), "de");
}

TEST_F(SettingsTest, UnknownStoredModeFallsBackToCleanAndStaysStored) {
    for (const QString stored : {"Clean", "EMAIL", "summary ", "", "shouting"}) {
        writeOnDisk("dictationMode", stored);
        PreferenceStore other(file);
        EXPECT_EQ(Settings(other, loginItem).dictationMode(), DictationMode::Clean)
            << stored.toStdString();
        EXPECT_EQ(onDisk("dictationMode").toString(), stored);
    }
    writeOnDisk("dictationMode", "verbatim");
    PreferenceStore other(file);
    EXPECT_EQ(Settings(other, loginItem).dictationMode(), DictationMode::Verbatim);
}

TEST(DictationModeTest, RawValuesAndLabelsRoundTrip) {
    QStringList labels;
    for (DictationMode mode : allDictationModes) {
        EXPECT_EQ(dictationModeFromRawValue(rawValue(mode)), mode);
        labels << label(mode);
    }
    EXPECT_EQ(labels, (QStringList{"Clean", "Verbatim", "Summary", "Email"}));
    EXPECT_FALSE(dictationModeFromRawValue("Clean").has_value());
}

TEST(WordCountTest, OnlySpaceLineFeedAndTabSeparate) {
    EXPECT_EQ(countWords(u"four  words\there\nnow"), 4);
    EXPECT_EQ(countWords(u""), 0);
    EXPECT_EQ(countWords(u" \n\t  \n"), 0);
    EXPECT_EQ(countWords(u"   two    words  \n"), 2);
    EXPECT_EQ(countWords(u"a\r\nb"), 1) << "CR LF is one character that is no separator";
    EXPECT_EQ(countWords(u"one, two; three"), 3);
    EXPECT_EQ(countWords(u"no\u00a0break\fform\rreturn"), 1);
    EXPECT_EQ(countWords(u"a \u0301b"), 1) << "a space with a combining mark is no separator";
    EXPECT_EQ(countWords(u"👍🏽 ok"), 2);
}

TEST_F(SettingsTest, AddWordsCountsAndStopsAtTheLargestValue) {
    Settings settings(store, loginItem);
    settings.addWords("one two three");
    settings.addWords(" \t\n");
    EXPECT_EQ(settings.wordsDictated(), 3);
    EXPECT_EQ(onDisk("wordsDictated").toLongLong(), 3);

    settings.setWordsDictated(std::numeric_limits<qint64>::max() - 1);
    settings.addWords("a b c");
    EXPECT_EQ(settings.wordsDictated(), std::numeric_limits<qint64>::max());
}

TEST_F(SettingsTest, OpenAtLoginComesFromTheLoginItemNotTheStore) {
    loginItem.enabled = true;
    Settings settings(store, loginItem);
    EXPECT_TRUE(settings.openAtLogin());
    QSignalSpy spy(&settings, &Settings::openAtLoginChanged);
    settings.setOpenAtLogin(false);
    EXPECT_FALSE(loginItem.enabled);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(QSettings(file, QSettings::IniFormat).contains("openAtLogin"));
}

// A write that fails leaves the switch showing what is on disk.
TEST_F(SettingsTest, OpenAtLoginShowsTheEntryWhenTheWriteFails) {
    TempFolder::write(folder.filePath("blocked"), "a file where the folder should be");
    LoginItem blocked(folder.filePath("blocked/autostart"), "orvanta");
    Settings settings(store, blocked);
    QSignalSpy spy(&settings, &Settings::openAtLoginChanged);
    settings.setOpenAtLogin(true);
    EXPECT_FALSE(settings.openAtLogin());
    EXPECT_EQ(spy.count(), 1) << "the switch hears the answer";

    LoginItem writable(folder.filePath("config/autostart"), "orvanta");
    Settings working(store, writable);
    working.setOpenAtLogin(true);
    EXPECT_TRUE(working.openAtLogin());
}

} // namespace
