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
    const QList<std::pair<QStringList, Command>> options{
        {{"--toggle"}, Command::Toggle},
        {{"--start"}, Command::Start},
        {{"--stop"}, Command::Stop},
        {{"--cancel"}, Command::Cancel},
        {{"--paste-last"}, Command::PasteLast},
        {{"--settings"}, Command::Settings},
        {{"--sign-in"}, Command::SignIn},
        {{"--status"}, Command::Status},
        {{"--quit"}, Command::Quit},
        {{}, Command::Launch},
        {{"orvanta://auth/callback?access_token=a&refresh_token=b", "orvanta://2"},
         Command::Launch},
    };
    for (const auto &[arguments, command] : options) {
        const ParsedCommandLine parsed = parse(arguments);
        ASSERT_TRUE(parsed.request.has_value()) << arguments.join(' ').toStdString();
        EXPECT_EQ(parsed.request->command, command);
        EXPECT_EQ(parsed.request->urls, arguments.filter("orvanta://"));
        EXPECT_EQ(Request::fromJson(parsed.request->toJson()), parsed.request);
    }
    EXPECT_TRUE(parse({"--status"}).request->needsRunningInstance());
    EXPECT_FALSE(parse({"--toggle"}).request->needsRunningInstance());
    for (const QByteArray &line :
         {QByteArray("{}"), QByteArray(R"({"command":"explode","urls":[]})"),
          QByteArray(R"({"command":"toggle","urls":[1]})"), QByteArray("not json")})
        EXPECT_FALSE(Request::fromJson(line).has_value()) << line.toStdString();
}

// --shortcuts runs in the process itself and never reaches a running instance.
TEST(CommandLineTest, HelpVersionDesktopShortcutsAndMistakesStandAlone) {
    const QString help = parse({"--help"}).output;
    EXPECT_TRUE(help.startsWith("Usage: orvanta [options]")) << help.toStdString();
    EXPECT_TRUE(help.contains("--paste-last"));
    EXPECT_TRUE(parse({"--version"}).output.startsWith("orvanta "));
    EXPECT_TRUE(parse({"--start", "--stop"}).error.contains("--start"));
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
