#include "SettingsRules.h"
#include "DictationMode.h"
#include "QtPrinters.h"
#include "RelativeTime.h"
#include "Settings.h"

#include <QLocale>
#include <QTime>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::SettingsRules;

TEST(SettingsRulesTest, GreetingTurnsAtNoonAndAtSixInTheEvening) {
    EXPECT_EQ(greeting(QTime(0, 0)), "Good morning");
    EXPECT_EQ(greeting(QTime(11, 59, 59)), "Good morning");
    EXPECT_EQ(greeting(QTime(12, 0)), "Good afternoon");
    EXPECT_EQ(greeting(QTime(17, 59)), "Good afternoon");
    EXPECT_EQ(greeting(QTime(18, 0)), "Good evening");
    EXPECT_EQ(greeting(QTime(23, 59)), "Good evening");
}

TEST(SettingsRulesTest, CountersUsePlainDigits) {
    EXPECT_EQ(wordsDictatedText(0), "0 words dictated");
    EXPECT_EQ(wordsDictatedText(1234567), "1234567 words dictated") << "no group separators";
    EXPECT_EQ(dictionaryCounterText(0), "0/800 entries");
    EXPECT_EQ(dictionaryCounterText(1200), "1200/800 entries") << "800 is wording, not a cap";
}

TEST(SettingsRulesTest, AddNeedsMoreThanSpacesAndTabs) {
    EXPECT_FALSE(canAddTerm(""));
    EXPECT_FALSE(canAddTerm("  \t "));
    EXPECT_TRUE(canAddTerm(" Acme "));
    EXPECT_TRUE(canAddTerm("\n")) << "only spaces and tabs are trimmed";
    EXPECT_TRUE(refocusAfterAdd(true));
    EXPECT_FALSE(refocusAfterAdd(false)) << "a duplicate does not bring the focus back";
}

TEST(SettingsRulesTest, MicrophonePickerStartsWithTheSystemDefault) {
    const auto none = microphoneEntries({});
    ASSERT_EQ(none.size(), 1);
    EXPECT_EQ(none[0], (PickerEntry{"Default (System)", Settings::defaultMicUID}));

    const auto two = microphoneEntries({{"alsa.usb", "USB Mic"}, {"alsa.builtin", "Built-in"}});
    ASSERT_EQ(two.size(), 3);
    EXPECT_EQ(two[1], (PickerEntry{"USB Mic", "alsa.usb"}));
    EXPECT_EQ(two[2], (PickerEntry{"Built-in", "alsa.builtin"}));
    EXPECT_EQ(selectedIndex(two, "alsa.builtin"), 2);
    EXPECT_EQ(selectedIndex(two, Settings::defaultMicUID), 0);
    EXPECT_EQ(selectedIndex(two, "unplugged"), -1) << "an unknown device selects nothing";
}

TEST(SettingsRulesTest, ModelPickerKeepsAnUnknownStoredModelListed) {
    const QStringList options = Settings::modelOptions();
    const auto known = modelEntries(options, options.at(1));
    EXPECT_EQ(known.size(), options.size());
    EXPECT_EQ(selectedIndex(known, options.at(1)), 1);

    const auto withOld = modelEntries(options, "vendor/retired-model");
    ASSERT_EQ(withOld.size(), options.size() + 1);
    EXPECT_EQ(withOld.last(), (PickerEntry{"vendor/retired-model", "vendor/retired-model"}));
    EXPECT_EQ(selectedIndex(withOld, "vendor/retired-model"), options.size());
}

TEST(SettingsRulesTest, LanguageAndStylePickersShowLabelsAndSelectValues) {
    const auto languages = languageEntries(Settings::languageOptions());
    ASSERT_EQ(languages.size(), Settings::languageOptions().size());
    for (qsizetype i = 0; i < languages.size(); ++i) {
        EXPECT_EQ(languages[i].label, Settings::languageOptions()[i].second);
        EXPECT_EQ(languages[i].value, Settings::languageOptions()[i].first);
    }
    const auto modes = dictationModeEntries();
    ASSERT_EQ(modes.size(), qsizetype(allDictationModes.size()));
    for (qsizetype i = 0; i < modes.size(); ++i) {
        EXPECT_EQ(modes[i].label, label(allDictationModes[i]));
        EXPECT_EQ(dictationModeFromRawValue(modes[i].value), allDictationModes[i]);
    }
}

TEST(SettingsRulesTest, PlanCardFiguresStayInRange) {
    EXPECT_TRUE(isPro("pro"));
    EXPECT_FALSE(isPro("Pro")) << "case-sensitive";
    EXPECT_FALSE(isPro("free"));

    EXPECT_DOUBLE_EQ(usageFraction(250, 1000), 0.25);
    EXPECT_DOUBLE_EQ(usageFraction(5, 0), 0.0) << "no division by a zero limit";
    EXPECT_DOUBLE_EQ(usageFraction(5, -3), 0.0);
    EXPECT_DOUBLE_EQ(usageFraction(1500, 1000), 1.0);
    EXPECT_DOUBLE_EQ(usageFraction(-40, 1000), 0.0) << "a hostile figure draws no negative bar";
    EXPECT_FALSE(usageFull(usageFraction(999, 1000)));
    EXPECT_TRUE(usageFull(usageFraction(1000, 1000)));
    EXPECT_TRUE(usageFull(usageFraction(1500, 1000)));

    EXPECT_EQ(usageText(true, 12345, 1000), "12345 words");
    EXPECT_EQ(usageText(false, 1500, 1000), "1500 / 1000 words") << "both true numbers";
}

TEST(RelativeTimeTest, PicksTheLargestWholeUnit) {
    const QDateTime now(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC);
    EXPECT_EQ(relativeTimeText(now.addSecs(-5 * 60), now), "5 minutes ago");
    EXPECT_EQ(relativeTimeText(now.addSecs(-60), now), "1 minute ago");
    EXPECT_EQ(relativeTimeText(now.addSecs(-119), now), "1 minute ago");
    EXPECT_EQ(relativeTimeText(now.addSecs(-30), now), "30 seconds ago");
    EXPECT_EQ(relativeTimeText(now, now), "0 seconds ago");
    EXPECT_EQ(relativeTimeText(now.addSecs(-3 * 3600), now), "3 hours ago");
    EXPECT_EQ(relativeTimeText(now.addDays(-1), now), "1 day ago");
    EXPECT_EQ(relativeTimeText(now.addDays(-15), now), "2 weeks ago");
    EXPECT_EQ(relativeTimeText(now.addDays(-65), now), "2 months ago");
    EXPECT_EQ(relativeTimeText(now.addDays(-800), now), "2 years ago");
    EXPECT_EQ(relativeTimeText(now.addSecs(2 * 3600), now), "in 2 hours") << "a clock set back";
}

TEST(RelativeTimeTest, EnglishWhateverTheLocaleAndTimeZone) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QDateTime now(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC);
    const QDateTime local = now.addSecs(-7200).toTimeZone(QTimeZone("Asia/Tokyo"));
    EXPECT_EQ(relativeTimeText(local, now), "2 hours ago");
    QLocale::setDefault(previous);
}
