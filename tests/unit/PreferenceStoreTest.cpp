#include "PreferenceStore.h"
#include "QtPrinters.h"
#include "TempEnvironment.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <limits>

using namespace orvanta;
using namespace orvanta::test;

namespace {

class PreferenceStoreTest : public ::testing::Test {
protected:
    // A second store on the same file sees only what reached the disk.
    PreferenceStore reopened() const { return PreferenceStore(file); }

    TempFolder folder;
    QString file = folder.filePath("Orvanta.conf");
    PreferenceStore store{file};
};

TEST_F(PreferenceStoreTest, EveryTypeSurvivesTheFile) {
    const qint64 big = std::numeric_limits<qint64>::max();
    const QByteArray bytes("[{\"from\":\"a\\/b\"}]\x00\xff", 18);
    store.setString("text", "@not a variant, with comma");
    store.setBoolean("flag", true);
    store.setInteger("count", big);
    store.setData("bytes", bytes);
    store.setStringList("none", {});
    store.setStringList("one", {"only, with a comma"});
    store.setStringList("many", {"a,b", "\"quoted\"", "ünïcødé", " padded "});

    const PreferenceStore other = reopened();
    EXPECT_EQ(other.string("text"), "@not a variant, with comma");
    EXPECT_TRUE(other.boolean("flag"));
    EXPECT_EQ(other.integer("count"), big);
    EXPECT_EQ(other.data("bytes"), bytes);
    EXPECT_EQ(other.stringList("none"), QStringList());
    EXPECT_EQ(other.stringList("one"), QStringList{"only, with a comma"});
    EXPECT_EQ(other.stringList("many"), (QStringList{"a,b", "\"quoted\"", "ünïcødé", " padded "}));
}

TEST_F(PreferenceStoreTest, DefaultsAnswerOnlyWhileTheUserHasNoValue) {
    store.registerDefaults({{"mode", QString("clean")}, {"bar", true}, {"words", qint64(7)}});
    EXPECT_EQ(store.string("mode"), "clean");
    EXPECT_TRUE(store.boolean("bar"));
    EXPECT_EQ(store.integer("words"), 7);
    EXPECT_FALSE(store.contains("mode"));
    EXPECT_FALSE(QSettings(file, QSettings::IniFormat).contains("bar"))
        << "defaults are not written";

    store.setBoolean("bar", false);
    EXPECT_FALSE(store.boolean("bar"));
    EXPECT_FALSE(reopened().boolean("bar"));
}

TEST_F(PreferenceStoreTest, MistypedValuesReadAsAbsent) {
    {
        QSettings raw(file, QSettings::IniFormat);
        raw.setValue("flag", "banana");
        raw.setValue("count", "12 apples");
        raw.setValue("list", QStringList{"x", "y"});
        raw.setValue("text", "plain");
    }
    PreferenceStore other = reopened();
    other.registerDefaults({{"flag", true}, {"count", qint64(3)}});
    EXPECT_TRUE(other.boolean("flag"));
    EXPECT_EQ(other.integer("count"), 3);
    EXPECT_FALSE(other.string("list").has_value());
    EXPECT_FALSE(other.data("text").has_value());
    EXPECT_FALSE(other.stringList("missing").has_value());
    EXPECT_FALSE(other.boolean("missing"));
    EXPECT_EQ(other.integer("missing"), 0);
}

TEST(PreferenceStoreLocation, DefaultStoreLivesInTheConfigHome) {
    const auto store = PreferenceStore::openDefault();
    EXPECT_EQ(store->fileName(), qEnvironmentVariable("XDG_CONFIG_HOME") + "/Orvanta/Orvanta.conf");
}

} // namespace
