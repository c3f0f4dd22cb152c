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

TEST(CommandLineTest, EachOptionBecomesItsCommand) {
    const QList<std::pair<QString, Command>> options{
        {"--toggle", Command::Toggle},
        {"--start", Command::Start},
        {"--stop", Command::Stop},
        {"--cancel", Command::Cancel},
        {"--paste-last", Command::PasteLast},
        {"--settings", Command::Settings},
        {"--sign-in", Command::SignIn},
        {"--status", Command::Status},
        {"--quit", Command::Quit},
    };
    for (const auto &[option, command] : options) {
        const ParsedCommandLine parsed = parse({option});
        ASSERT_TRUE(parsed.request.has_value()) << option.toStdString();
        EXPECT_EQ(parsed.request->command, command);
        EXPECT_EQ(Request::fromJson(parsed.request->toJson()), parsed.request)
            << "survives the socket";
    }
    EXPECT_EQ(parse({}).request->command, Command::Launch);
    EXPECT_TRUE(parse({"--status"}).request->needsRunningInstance());
    EXPECT_FALSE(parse({"--toggle"}).request->needsRunningInstance());
}

TEST(CommandLineTest, UrlsKeepTheirOrder) {
    const ParsedCommandLine parsed =
        parse({"orvanta://auth/callback?access_token=a&refresh_token=b", "orvanta://second"});
    ASSERT_TRUE(parsed.request.has_value());
    EXPECT_EQ(parsed.request->command, Command::Launch);
    EXPECT_EQ(parsed.request->urls,
              (QStringList{"orvanta://auth/callback?access_token=a&refresh_token=b",
                           "orvanta://second"}));
    EXPECT_EQ(Request::fromJson(parsed.request->toJson())->urls, parsed.request->urls);
}

TEST(CommandLineTest, HelpVersionAndMistakes) {
    EXPECT_TRUE(parse({"--help"}).output.contains("--paste-last"));
    EXPECT_TRUE(parse({"--version"}).output.startsWith("orvanta "));
    EXPECT_FALSE(parse({"--help"}).request.has_value());

    const ParsedCommandLine twoCommands = parse({"--start", "--stop"});
    EXPECT_FALSE(twoCommands.request.has_value());
    EXPECT_TRUE(twoCommands.error.contains("--start"));
    EXPECT_FALSE(parse({"--frobnicate"}).error.isEmpty());
}

// --shortcuts runs in the process itself and never reaches a running instance.
TEST(CommandLineTest, DesktopShortcutsStandAlone) {
    const struct {
        QStringList arguments;
        bool shortcuts, install, error;
    } cases[] = {
        {{"--shortcuts"}, true, false, false},
        {{"--shortcuts", "--install"}, true, true, false},
        {{"--install"}, false, false, true},
        {{"--shortcuts", "--toggle"}, false, false, true},
        {{"--shortcuts", "orvanta://x"}, false, false, true},
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

TEST(CommandLineTest, MalformedSocketRequestsAreRefused) {
    for (const QByteArray &line :
         {QByteArray("{}"), QByteArray(R"({"command":"explode","urls":[]})"),
          QByteArray(R"({"command":"toggle","urls":[1]})"), QByteArray("not json")})
        EXPECT_FALSE(Request::fromJson(line).has_value()) << line.toStdString();
}

} // namespace
