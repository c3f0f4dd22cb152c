// The pure rules of the core: view texts, versions, words, replacements, the stores' JSON.
#include "Appcast.h"
#include "FloatingBarGeometry.h"
#include "JsonText.h"
#include "MenuRules.h"
#include "QtPrinters.h"
#include "RelativeTime.h"
#include "ReplacementPass.h"
#include "Settings.h"
#include "SettingsRules.h"
#include "ShortcutLabel.h"
#include "TextRules.h"

#include <QJsonArray>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <limits>

using namespace orvanta;
using namespace orvanta::SettingsRules;

namespace {

TEST(MenuRulesTest, PrimaryButtonAndCardFollowTheStatus) {
    using enum MenuRules::PrimaryAction;
    const std::tuple<DictationStatus, MenuRules::PrimaryAction, bool> statuses[] = {
        {DictationStatus::recording(), Stop, true},
        {DictationStatus::transcribing(), Nothing, false},
        {DictationStatus::idle(), Start, true},
        {DictationStatus::error("boom"), Start, true},
    };
    for (const auto &[status, action, enabled] : statuses) {
        EXPECT_EQ(MenuRules::primaryAction(status), action) << status.describe().toStdString();
        EXPECT_EQ(MenuRules::primaryButton(status).enabled, enabled);
    }
    using enum MenuRules::ContentCard;
    EXPECT_EQ(MenuRules::contentCard(false, false, false), SignIn);
    EXPECT_EQ(MenuRules::contentCard(true, false, false), InputAccessWarning);
    EXPECT_EQ(MenuRules::contentCard(true, true, false), ActivateUnavailable);
    EXPECT_EQ(MenuRules::contentCard(true, true, true), Hint);
}

TEST(ShortcutLabelTest, BindingsReadAsOnALinuxDesktopAndKeysAreLabelled) {
    using enum ModifierKey;
    Shortcut foreignDisplay = Shortcut::combo(KeyCode::escape, {Control}, "Esc");
    foreignDisplay.display = "something else"; // the key code still names the key
    const std::pair<Shortcut, QString> cases[] = {
        {Shortcut::doubleTap(Fn), "Fn ×2"},
        {Shortcut::combo(40, {Option, Control}, "K"), "Ctrl+Alt+K"},
        {Shortcut::combo(KeyCode::leftArrow, {Fn, Command, Shift}, "←"), "Shift+Super+Fn+←"},
        {Shortcut::combo(KeyCode::escape, {}, "Esc"), "Esc"},
        {foreignDisplay, "Ctrl+Esc"},
    };
    for (const auto &[shortcut, label] : cases)
        EXPECT_EQ(desktopLabel(shortcut), label) << shortcut.toJson().constData();

    EXPECT_EQ(Shortcut::combo(49, {Command, Shift, Option, Control, Command}, "Space").display,
              "⌃⌥⇧⌘Space");
    EXPECT_EQ(Shortcut::combo(49, {Fn, Shift}, "Space").mods, (QList<ModifierKey>{Shift, Fn}));
    EXPECT_EQ(modifiersPresent(0x800000 | 0x40000 | 0x1), (QList<ModifierKey>{Fn, Control}));
    const std::tuple<quint16, QString, QString> labels[] = {
        {36, "\r", "Return"}, {49, " ", "Space"}, {0, "a", "A"},
        {50, " ", "Key50"},   {27, "ß", "SS"},
    };
    for (const auto &[code, characters, label] : labels)
        EXPECT_EQ(keyLabel(code, characters), label) << code;
}

TEST(SettingsRulesTest, TextsFiguresAndPickersOfTheSettingsWindow) {
    EXPECT_FALSE(canAddTerm("  \t "));
    EXPECT_TRUE(canAddTerm("\n")) << "only spaces and tabs are trimmed";
    const std::tuple<qint64, qint64, double> fractions[] = {
        {250, 1000, 0.25}, {5, 0, 0.0}, {5, 1, 1.0}, {1500, 1000, 1.0}, {-40, 1000, 0.0},
    };
    for (const auto &[used, limit, fraction] : fractions)
        EXPECT_DOUBLE_EQ(usageFraction(used, limit), fraction) << used << "/" << limit;
    EXPECT_TRUE(usageFull(usageFraction(1000, 1000)) && !usageFull(usageFraction(999, 1000)));
    EXPECT_EQ(usageText(true, 12345, 1000), "12345 words");
    EXPECT_EQ(usageText(false, 1500, 1000), "1500 / 1000 words");

    const auto mics = microphoneEntries({{"alsa.usb", "USB Mic"}, {"alsa.builtin", "Built-in"}});
    EXPECT_EQ(mics[2], (PickerEntry{"Built-in", "alsa.builtin"}));
    EXPECT_EQ(selectedIndex(mics, Settings::defaultMicUID), 0);
    EXPECT_EQ(selectedIndex(mics, "alsa.builtin"), 2);
    EXPECT_EQ(selectedIndex(mics, "unplugged"), -1) << "an unknown device selects nothing";
    const QStringList options = Settings::modelOptions();
    EXPECT_EQ(modelEntries(options, options.at(1)).size(), options.size());
    EXPECT_EQ(modelEntries(options, "vendor/retired").last(),
              (PickerEntry{"vendor/retired", "vendor/retired"}))
        << "an unknown stored model stays listed";
}

TEST(RelativeTimeTest, PicksTheLargestWholeUnitInEnglish) {
    const QDateTime now(QDate(2026, 3, 10), QTime(12, 0), Qt::UTC);
    const std::pair<qint64, QString> cases[] = {
        {0, "0 seconds ago"},         {-59, "59 seconds ago"},       {-60, "1 minute ago"},
        {-119, "1 minute ago"},       {-3 * 3600, "3 hours ago"},    {-86400, "1 day ago"},
        {-15 * 86400, "2 weeks ago"}, {-65 * 86400, "2 months ago"}, {-800 * 86400, "2 years ago"},
        {2 * 3600, "in 2 hours"},
    };
    for (const auto &[seconds, text] : cases)
        EXPECT_EQ(relativeTimeText(now.addSecs(seconds), now), text) << seconds;

    const QDateTime tokyo = now.addSecs(-7200).toTimeZone(QTimeZone("Asia/Tokyo"));
    EXPECT_EQ(relativeTimeText(tokyo, now), "2 hours ago");
}

TEST(TextRulesTest, WordsAreSeparatedOnlyBySpaceLineFeedAndTab) {
    const std::pair<QString, qint64> cases[] = {
        {"four  words\there\nnow", 4},
        {" \n\t  \n", 0},
        {"   two    words  \n", 2},
        {"a\r\nb", 1} /* CR LF is one character and no separator */,
        {"one, two; three", 3},
        {"no\u00a0break\fform\rreturn", 1},
        {"a \u0301b", 1} /* a space with a mark */,
        {"👍🏽 ok", 2},
    };
    for (const auto &[text, words] : cases)
        EXPECT_EQ(countWords(text), words) << text.toStdString();

    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    EXPECT_EQ(saturatingAdd(max, 1), max);
    EXPECT_EQ(saturatingAdd(max - 2, 1), max - 1);
    EXPECT_EQ(saturatingAdd(min, -1), min);
    EXPECT_EQ(saturatingAdd(5, -2), 3);
}

// The stores' JSON: quoting that reads back as the same text, and strict identifiers.
TEST(JsonTextTest, QuotedTextReadsBackAndIdentifiersAreStrict) {
    const std::pair<QString, QByteArray> quoted[] = {
        {"a\\b\"c/d", R"("a\\b\"c\/d")"},
        {"\n\r\t\b\f", R"("\n\r\t\b\f")"},
        {QString(QChar(0x1f)) + QChar(0x01), R"("\u001f\u0001")"},
        {"x" + QString(QChar(0xdc01)) + "é", "\"x\\udc01\xc3\xa9\""},
    };
    for (const auto &[text, json] : quoted) {
        EXPECT_EQ(json::quote(text), json);
        const auto document = json::parse("[" + json::quote(text) + "]");
        ASSERT_TRUE(document.has_value());
        EXPECT_EQ(document->array().at(0).toString(), text);
    }
    EXPECT_FALSE(json::parse("[\"\xc3\x28\"]").has_value()) << "invalid UTF-8";

    const QString id = "e621e1f8-c36c-495a-93fc-0c247a3e6e5f";
    EXPECT_EQ(json::uuidText(*json::parseUuid(id)), id.toUpper());
    for (const QString bad :
         {"g621e1f8-c36c-495a-93fc-0c247a3e6e5f", "e621e1f8-c36c-495a-93fc-0c247a3e6e5:",
          "e621e1f8-c36c-495a-93fc-0c247a3e6e5/", "e621e1f8c36c495a93fc0c247a3e6e5f",
          "{e621e1f8-c36c-495a-93fc-0c247a3e6e5}", "e621e1f8+c36c-495a-93fc-0c247a3e6e5f"})
        EXPECT_FALSE(json::parseUuid(bad).has_value()) << bad.toStdString();
}

TEST(AppcastTest, ReadsReleasesWithAVersionAndAWebLinkAndPicksTheNewest) {
    const QByteArray feed = R"(<rss version="2.0" xmlns:ov="https://example.org/appcast"><channel>
  <item><title>1.2.0</title><ov:version>1.2.0</ov:version><link>https://example.org/1.2</link></item>
  <item><ov:version>1.10.0-beta</ov:version><link>https://example.org/1.10b</link></item>
  <item><title>no link</title><ov:version>9.0</ov:version></item>
  <item><ov:version>8.0</ov:version><link>javascript:alert(1)</link></item>
  <item><enclosure url="https://example.org/1.3.tar.gz" ov:version="1.3"/></item>
  <item><title>no version</title><link>https://example.org/x</link></item>
</channel></rss>)";
    const auto releases = Appcast::parse(feed);
    ASSERT_TRUE(releases.has_value());
    ASSERT_EQ(releases->size(), 3);
    EXPECT_EQ(releases->at(0).link, QUrl("https://example.org/1.2"));
    EXPECT_EQ(releases->at(2).version, "1.3");
    EXPECT_EQ(releases->at(2).link, QUrl("https://example.org/1.3.tar.gz"));
    EXPECT_EQ(Appcast::newerRelease(*releases, "1.2.0")->version, "1.10.0-beta");
    EXPECT_FALSE(Appcast::newerRelease(*releases, "1.10").has_value());

    const std::tuple<const char *, const char *, int> versions[] = {
        {"1.9", "1.10", -1},   {"1.2", "1.2.0", 0},  {"2.0-rc1", "2.0", -1},
        {"2.0", "2.0-rc1", 1}, {"v2.1", "2.0.9", 1}, {"garbage", "0.0.1", -1},
    };
    for (const auto &[a, b, sign] : versions) {
        const int order = Appcast::compareVersions(a, b);
        EXPECT_EQ((order > 0) - (order < 0), sign) << a << " vs " << b;
    }

    for (const QByteArray broken : {"", "<html><body>502 Bad Gateway</body></html>",
                                    "<rss><channel><item><title>cut off", "<rss/>"})
        EXPECT_FALSE(Appcast::parse(broken).has_value()) << broken.constData();
    EXPECT_EQ(Appcast::parse("<rss><channel/></rss>"), QList<AppcastRelease>());
}

TEST(FloatingBarGeometryTest, FrameSitsCentredAboveTheBottomOfItsScreen) {
    const QRect second(1920, 100, 1280, 800); // a screen right of the first
    EXPECT_EQ(FloatingBarGeometry::frame(DictationStatus::error("x"), second),
              QRect(1920 + (1280 - 120) / 2, 100 + 800 - 6 - 34, 120, 34));
    EXPECT_EQ(FloatingBarGeometry::frame(DictationStatus::transcribing(), second).size(),
              QSize(150, 38));
}

TEST(ReplacementPassTest, RulesRewriteTheTextInOrder) {
    const auto rule = [](const QString &from, const QString &to, bool caseSensitive = false) {
        return Replacement{QUuid::createUuid(), from, to, caseSensitive};
    };
    const QString cafe = "caf\u00e9", cafeDecomposed = "cafe\u0301";
    const QString around = "nai\u0308ve 👩‍💻 Ångström \u212b ";
    const struct {
        QString text;
        QList<Replacement> rules;
        QString expected;
    } cases[] = {
        {"A and A", {rule("A", "B", true), rule("B", "C", true)}, "C and C"},
        {"A", {rule("B", "C", true), rule("A", "B", true)}, "B"},
        {"keep me", {rule("", "X"), rule("", "")}, "keep me"},
        {"aaaaa", {rule("aa", "b")}, "bba"},
        {"concatenate the cat", {rule("cat", "dog")}, "condogenate the dog"},
        {"ha ha", {rule("ha", "haha")}, "haha haha"}, // the inserted text is not searched again
        {"remove all of this", {rule(" of this", "")}, "remove all"},
        {"Open AI and open ai", {rule("open ai", "OpenAI")}, "OpenAI and OpenAI"},
        {"Open AI and open ai", {rule("open ai", "OpenAI", true)}, "Open AI and OpenAI"},
        {"ÇAY çay Çay", {rule("çay", "tea")}, "tea tea tea"},
        {"at the " + cafeDecomposed + ".", {rule(cafe, "bar", true)}, "at the bar."},
        {"at the " + cafe + ".", {rule(cafeDecomposed, "bar", true)}, "at the bar."},
        {"CAFE\u0301", {rule(cafe, "bar")}, "bar"},
        {"q\u0307\u0323", {rule("q\u0323\u0307", "ok", true)}, "ok"}, // marks in another order
        {cafeDecomposed, {rule("cafe", "X")}, cafeDecomposed},        // a letter keeps its marks
        {cafe, {rule("e", "X")}, cafe},
        {"\u00e9t\u00e9", {rule("t", "d")}, "\u00e9d\u00e9"},
        {around + "cat", {rule("cat", "dog")}, around + "dog"},
        {around, {rule("zzz", "dog")}, around},
        {"🙂 smile 🙂", {rule("🙂", ":)")}, ":) smile :)"},
        {"x \U00010400", {rule("\U00010428", "ok")}, "x ok"}, // folded beyond 16 bits, at the end
    };
    for (const auto &c : cases)
        EXPECT_EQ(applyReplacementRules(c.text, c.rules), c.expected) << c.text.toStdString();
}

} // namespace
