#include "ReplacementPass.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

Replacement rule(const QString &from, const QString &to, bool caseSensitive = false) {
    return {QUuid::createUuid(), from, to, caseSensitive};
}

QString apply(const QString &text, const QList<Replacement> &rules) {
    return applyReplacementRules(text, rules);
}

TEST(ReplacementPassTest, RulesRunInOrderOnEachOthersOutput) {
    EXPECT_EQ(apply("A and A", {rule("A", "B", true), rule("B", "C", true)}), "C and C");
    EXPECT_EQ(apply("A", {rule("B", "C", true), rule("A", "B", true)}), "B");
    EXPECT_EQ(apply("keep me", {rule("", "X"), rule("", "")}), "keep me");
    EXPECT_EQ(apply("", {rule("a", "b")}), "");
}

TEST(ReplacementPassTest, MatchesAreLeftToRightWithoutOverlapOrWordBoundaries) {
    EXPECT_EQ(apply("aaaaa", {rule("aa", "b")}), "bba");
    EXPECT_EQ(apply("concatenate the cat", {rule("cat", "dog")}), "condogenate the dog");
    // The inserted text is not searched again by the same rule.
    EXPECT_EQ(apply("ha ha", {rule("ha", "haha")}), "haha haha");
    EXPECT_EQ(apply("x", {rule("x", "xx"), rule("x", "xx")}), "xxxx");
    EXPECT_EQ(apply("remove all of this", {rule(" of this", "")}), "remove all");
}

TEST(ReplacementPassTest, LetterCaseIsIgnoredUnlessTheRuleSaysOtherwise) {
    EXPECT_EQ(apply("Open AI and open ai", {rule("open ai", "OpenAI")}), "OpenAI and OpenAI");
    EXPECT_EQ(apply("Open AI and open ai", {rule("open ai", "OpenAI", true)}),
              "Open AI and OpenAI");
    EXPECT_EQ(apply("ÇAY çay Çay", {rule("çay", "tea")}), "tea tea tea");
    EXPECT_EQ(apply("ΣΟΦΙΑ", {rule("σοφια", "Sofia")}), "Sofia");
}

TEST(ReplacementPassTest, CanonicallyEquivalentTextsMatch) {
    const QString composed = QString::fromUtf8("caf\u00e9");
    const QString decomposed = QString::fromUtf8("cafe\u0301");
    EXPECT_EQ(apply("at the " + decomposed + ".", {rule(composed, "bar", true)}), "at the bar.");
    EXPECT_EQ(apply("at the " + composed + ".", {rule(decomposed, "bar", true)}), "at the bar.");
    EXPECT_EQ(apply(QString::fromUtf8("CAFE\u0301"), {rule(composed, "bar")}), "bar");
    // Marks in another order are the same text.
    EXPECT_EQ(apply(QString::fromUtf8("q\u0307\u0323"),
                    {rule(QString::fromUtf8("q\u0323\u0307"), "ok", true)}),
              "ok");
}

TEST(ReplacementPassTest, AMatchNeverSplitsALetterFromItsMarks) {
    const QString decomposed = QString::fromUtf8("cafe\u0301");
    EXPECT_EQ(apply(decomposed, {rule("cafe", "X")}), decomposed);
    EXPECT_EQ(apply(QString::fromUtf8("caf\u00e9"), {rule("e", "X")}),
              QString::fromUtf8("caf\u00e9"));
    EXPECT_EQ(apply(QString::fromUtf8("\u00e9t\u00e9"), {rule("t", "d")}),
              QString::fromUtf8("\u00e9d\u00e9"));
}

TEST(ReplacementPassTest, TextOutsideMatchesComesBackUnchanged) {
    // Decomposed letters and emoji around a match stay exactly as they were.
    const QString text = QString::fromUtf8("nai\u0308ve 👩‍💻 Ångström \u212b cat");
    const QString expected = QString::fromUtf8("nai\u0308ve 👩‍💻 Ångström \u212b dog");
    EXPECT_EQ(apply(text, {rule("cat", "dog")}), expected);
    EXPECT_EQ(apply(text, {rule("zzz", "dog")}), text);
    EXPECT_EQ(apply("🙂 smile 🙂", {rule("🙂", ":)")}), ":) smile :)");
}

} // namespace
