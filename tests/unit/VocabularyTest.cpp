#include "Vocabulary.h"
#include "PreferenceStore.h"
#include "QtPrinters.h"
#include "TempEnvironment.h"

#include <QSettings>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

const QUuid firstId = QUuid::fromString(QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));

class VocabularyTest : public ::testing::Test {
protected:
    Vocabulary reopened() {
        m_other = std::make_unique<PreferenceStore>(file);
        return Vocabulary(*m_other);
    }
    void writeOnDisk(const QString &key, const QVariant &value) const {
        QSettings(file, QSettings::IniFormat).setValue(key, value);
    }
    QVariant onDisk(const QString &key) const {
        return QSettings(file, QSettings::IniFormat).value(key);
    }

    TempFolder folder;
    QString file = folder.filePath("Orvanta.conf");
    PreferenceStore store{file};

private:
    std::unique_ptr<PreferenceStore> m_other;
};

TEST_F(VocabularyTest, AddTermTrimsSpacesAndRefusesDuplicates) {
    Vocabulary vocabulary(store);
    EXPECT_FALSE(vocabulary.addTerm(" \t\u00a0 "));
    EXPECT_TRUE(vocabulary.addTerm("\u2003 Kubernetes, Helm\t"));
    EXPECT_TRUE(vocabulary.addTerm("kubernetes, helm"));
    EXPECT_FALSE(vocabulary.addTerm("Kubernetes, Helm"));
    EXPECT_TRUE(vocabulary.addTerm(QString::fromUtf8("Jos\u00e9")));
    EXPECT_FALSE(vocabulary.addTerm(QString::fromUtf8("Jose\u0301"))) << "canonically equal";
    EXPECT_TRUE(vocabulary.addTerm("line\n")) << "line breaks are not trimmed";
    EXPECT_EQ(vocabulary.terms(), (QStringList{"Kubernetes, Helm", "kubernetes, helm",
                                               QString::fromUtf8("Jos\u00e9"), "line\n"}));
    EXPECT_EQ(reopened().terms(), vocabulary.terms());

    vocabulary.removeTerm(1);
    vocabulary.removeTerm(9);
    vocabulary.removeTerm(0);
    vocabulary.removeTerm(0);
    EXPECT_EQ(reopened().terms(), QStringList{"line\n"});
    vocabulary.removeTerm(0);
    EXPECT_EQ(reopened().terms(), QStringList());
}

TEST_F(VocabularyTest, RulesAreStoredInTheirExactForm) {
    Vocabulary vocabulary(store);
    vocabulary.setReplacements({{firstId, "and/or", "\"both\"", true}});
    EXPECT_EQ(
        onDisk("vocabReplacements").toByteArray(),
        R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","from":"and\/or","to":"\"both\"","caseSensitive":true}])");

    vocabulary.addReplacement();
    const QList<Replacement> rules = reopened().replacements();
    ASSERT_EQ(rules.size(), 2);
    EXPECT_EQ(rules[0], (Replacement{firstId, "and/or", "\"both\"", true}));
    EXPECT_EQ(rules[1].from, "");
    EXPECT_FALSE(rules[1].caseSensitive);
    EXPECT_FALSE(rules[1].id.isNull());

    vocabulary.updateReplacement({rules[1].id, "brb", "be right back", false});
    vocabulary.removeReplacement(firstId);
    EXPECT_EQ(reopened().applyReplacements("BRB"), "be right back");
}

TEST(ReplacementCodingTest, ReadersAcceptBothSlashFormsAndAnyMemberOrder) {
    const auto rules = decodeReplacements(
        R"([{"caseSensitive":false,"to":"a/b","from":"x\/y","id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","extra":1}])");
    ASSERT_TRUE(rules.has_value());
    ASSERT_EQ(rules->size(), 1);
    EXPECT_EQ(rules->at(0), (Replacement{firstId, "x/y", "a/b", false}));
    EXPECT_EQ(decodeReplacements("[]"), QList<Replacement>());
}

TEST(ReplacementCodingTest, AnyBadRuleMakesTheWholeListUnreadable) {
    const char *id = R"("id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F")";
    const QList<QByteArray> hostile{
        QByteArray("[{") + id + R"(,"from":"a","to":"b"}])",
        QByteArray("[{") + id + R"(,"from":"a","to":"b","caseSensitive":"false"}])",
        QByteArray("[{") + id + R"(,"from":1,"to":"b","caseSensitive":false}])",
        R"([{"id":"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}","from":"a","to":"b","caseSensitive":false}])",
        R"([{"id":"E621E1F8C36C495A93FC0C247A3E6E5F","from":"a","to":"b","caseSensitive":false}])",
        QByteArray("[{") + id + R"(,"from":"a","to":"b","caseSensitive":false},7])",
        QByteArray("{") + id + R"(,"from":"a","to":"b","caseSensitive":false})",
        QByteArray("[{") + id + ",\"from\":\"\xff\",\"to\":\"b\",\"caseSensitive\":false}]",
        "[",
        "",
    };
    for (const QByteArray &json : hostile)
        EXPECT_FALSE(decodeReplacements(json).has_value()) << json.toStdString();
}

TEST_F(VocabularyTest, UnreadableRulesAreKeptAsideBeforeTheyAreReplaced) {
    const QByteArray corrupt(
        R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","from":"a","to":"b"}])");
    writeOnDisk("vocabReplacements", corrupt);
    {
        Vocabulary vocabulary = reopened();
        EXPECT_TRUE(vocabulary.replacements().isEmpty());
        EXPECT_EQ(onDisk("vocabReplacements").toByteArray(), corrupt) << "loading changes nothing";
        vocabulary.addReplacement();
        EXPECT_EQ(onDisk(Vocabulary::unreadableReplacementsKey).toByteArray(), corrupt);
        EXPECT_EQ(reopened().replacements().size(), 1);
    }

    // A later corruption does not overwrite the first copy.
    writeOnDisk("vocabReplacements", QString("not even data"));
    Vocabulary vocabulary = reopened();
    vocabulary.addReplacement();
    EXPECT_EQ(onDisk(Vocabulary::unreadableReplacementsKey).toByteArray(), corrupt);
    QSettings raw(file, QSettings::IniFormat);
    QStringList copies = raw.allKeys().filter("vocabReplacements.unreadable.");
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(raw.value(copies[0]).toString(), "not even data");
}

TEST_F(VocabularyTest, InstructionsAndTermsSurviveOddStoredValues) {
    writeOnDisk("vocabInstructions", "Use British spelling.\nNo emoji.");
    writeOnDisk("vocabTerms", QByteArray("\x01\x02"));
    Vocabulary vocabulary = reopened();
    EXPECT_EQ(vocabulary.instructions(), "Use British spelling.\nNo emoji.");
    EXPECT_TRUE(vocabulary.terms().isEmpty());
    QSignalSpy spy(&vocabulary, &Vocabulary::instructionsChanged);
    vocabulary.setInstructions("");
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(reopened().instructions(), "");
}

} // namespace
