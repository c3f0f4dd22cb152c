#include "Permissions.h"
#include "QtPrinters.h"
#include "SoundSynthesizer.h"
#include "TempEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace orvanta;
using namespace orvanta::test;

TEST(SoundSynthesizer, MakesFiveShortDistinctSoundsWithoutClicks) {
    std::vector<std::vector<float>> sounds;
    for (const QString name : {"Tink", "Pop", "Glass", "Bottle", "Basso"}) {
        SCOPED_TRACE(name.toStdString());
        const std::vector<float> sound = SoundSynthesizer::synthesize(name);
        ASSERT_FALSE(sound.empty());
        EXPECT_LE(sound.size(), std::size_t(SoundSynthesizer::sampleRate)) << "at most 1 s";
        float peak = 0;
        for (float sample : sound)
            peak = std::max(peak, std::abs(sample));
        EXPECT_GT(peak, 0.1f);
        EXPECT_LT(peak, 1.0f) << "no clipping";
        EXPECT_LT(std::abs(sound.front()), 0.01f);
        EXPECT_LT(std::abs(sound.back()), 0.01f);
        for (const auto &other : sounds)
            EXPECT_NE(sound, other);
        sounds.push_back(sound);
    }
    EXPECT_TRUE(SoundSynthesizer::synthesize("Funk").empty());
    EXPECT_TRUE(SoundSynthesizer::synthesize("tink").empty());
}

TEST(Permissions, OpensValidUrlsOnly) {
    QList<QUrl> opened;
    Permissions permissions({}, [&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    permissions.open("https://example.org/account?tab=usage");
    permissions.open("not a url at all");
    permissions.open("");
    permissions.open("http://exa mple.org/");
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toString(), "https://example.org/account?tab=usage");
}

TEST(Permissions, PrivacyPanesOpenTheFirstHelpPageFound) {
    TempFolder empty;
    TempFolder installed;
    TempFolder::write(installed.filePath("microphone.html"), "<p>mic</p>");
    QList<QUrl> opened;
    Permissions permissions({},
                            [&opened](const QUrl &url) {
                                opened.append(url);
                                return true;
                            },
                            {empty.path(), installed.path()});

    permissions.openPrivacyPane(PrivacyPane::Microphone);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(installed.filePath("microphone.html")));

    // No page installed for it: nothing opens.
    permissions.openPrivacyPane(PrivacyPane::InputAccess);
    EXPECT_EQ(opened.size(), 1);
}

TEST(Permissions, ShipsAHelpPageForEachPane) {
    const Permissions permissions;
    for (PrivacyPane pane : {PrivacyPane::Microphone, PrivacyPane::InputAccess}) {
        const auto page = permissions.helpPage(pane);
        ASSERT_TRUE(page.has_value());
        EXPECT_TRUE(TempFolder::read(page->toLocalFile()).contains("<h1>"))
            << page->toLocalFile().toStdString();
    }
}

TEST(Permissions, FindsHelpPagesInstalledInTheUsersDataFolder) {
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    ASSERT_FALSE(dataHome.isEmpty());
    const QString page = dataHome + "/orvanta/help/input-access.html";
    TempFolder::write(page, "<h1>installed</h1>");
    const Permissions permissions;
    const auto found = permissions.helpPage(PrivacyPane::InputAccess);
    QFile::remove(page);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->toLocalFile(), page);
}
