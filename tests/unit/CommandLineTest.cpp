#include "CommandLine.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace orvanta;
using Command = Request::Command;

namespace {

ParsedCommandLine parse(QStringList arguments) {
    arguments.prepend("orvanta");
    return parseCommandLine(arguments);
}

TEST(CommandLineTest, EachOptionBecomesItsCommandAndSurvivesTheSocket) {
    using enum Request::Command;
    const QList<std::pair<QStringList, Command>> options{
        {{"--toggle"}, Toggle},
        {{"--start"}, Start},
        {{"--stop"}, Stop},
        {{"--cancel"}, Cancel},
        {{"--paste-last"}, PasteLast},
        {{"--settings"}, Settings},
        {{"--sign-in"}, SignIn},
        {{"--status"}, Status},
        {{"--quit"}, Quit},
        {{}, Launch},
        {{"orvanta://auth/callback?access_token=a&refresh_token=b", "orvanta://2"}, Launch}};
    for (const auto &[arguments, command] : options) {
        const ParsedCommandLine parsed = parse(arguments);
        ASSERT_TRUE(parsed.request.has_value()) << arguments.join(' ').toStdString();
        EXPECT_EQ(parsed.request->command, command);
        EXPECT_EQ(parsed.request->urls, arguments.filter("orvanta://"));
        EXPECT_EQ(Request::fromJson(parsed.request->toJson()), parsed.request);
        EXPECT_EQ(parsed.request->needsRunningInstance(), command == Status || command == Quit);
    }
    for (const QByteArray &line : {QByteArray("{}"), QByteArray("not json"),
                                   QByteArray(R"({"command":"explode","urls":[]})"),
                                   QByteArray(R"({"command":"toggle","urls":[1]})")})
        EXPECT_FALSE(Request::fromJson(line).has_value()) << line.toStdString();
}

// These print, fail or run in the process itself: none reaches a running instance.
TEST(CommandLineTest, HelpVersionDesktopShortcutsAndMistakesStandAlone) {
    EXPECT_TRUE(parse({"--help"}).output.startsWith("Usage: orvanta [options]"));
    EXPECT_TRUE(parse({"--version"}).output.startsWith("orvanta "));
    const struct {
        QStringList arguments;
        bool shortcuts, install, error;
    } cases[] = {
        {{"--help"}, false, false, false},
        {{"--shortcuts"}, true, false, false},
        {{"--shortcuts", "--install"}, true, true, false},
        {{"--install"}, false, false, true},
        {{"--start", "--stop"}, false, false, true},
        {{"--shortcuts", "--toggle"}, false, false, true},
        {{"--shortcuts", "orvanta://x"}, false, false, true},
        {{"--frobnicate"}, false, false, true},
    };
    for (const auto &c : cases) {
        const ParsedCommandLine parsed = parse(c.arguments);
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_FALSE(parsed.request.has_value());
        EXPECT_EQ(parsed.desktopShortcuts, c.shortcuts);
        EXPECT_EQ(parsed.installShortcuts, c.install);
        EXPECT_EQ(!parsed.error.isEmpty(), c.error);
    }
}

} // namespace
