#include "Auth.h"
#include "Config.h"
#include "QtPrinters.h"
#include "SignInWindow.h"
#include "TranscribeError.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace std::chrono_literals;

namespace {

TEST(ConfigTest, TokensGoOnlyOverHttpsOrToThisMachineAndEndpointsFollowTheBase) {
    for (const char *base : {"http://127.0.0.1:9000", "http://[::1]:9000", "HTTP://LOCALHOST:1",
                             "https://api.example.com"})
        EXPECT_TRUE(Config(base, {}).isConfigured()) << base;
    for (const char *base : {"http://api.example.com", "ftp://localhost", "https://",
                             "https://exa mple.com", "https://x.example/REPLACE_ME"})
        EXPECT_FALSE(Config(base, {}).isConfigured()) << base;
    const Config config("https://api.example.com/v1/", "https://account.example.com/");
    EXPECT_EQ(config.endpoint("/transcribe").toString(), "https://api.example.com/v1/transcribe");
    EXPECT_EQ(config.accountPage().toString(), "https://account.example.com/manage");
    EXPECT_TRUE(Config({}, "http://evil.example.com").accountPage().isEmpty());
}

TEST(TranscribeErrorTest, HttpKeepsThreeHundredPerceivedCharactersOfTheMessageAsItIs) {
    // A flag is four UTF-16 units, an accented "e" two; each is one perceived character.
    const QString pair = QString::fromUtf8("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"
                                           "e\xCC\x81");
    EXPECT_EQ(TranscribeError::http(503, pair.repeated(200)).text(), pair.repeated(150));
    EXPECT_TRUE(TranscribeError::http(500, "%1 of %2").errorDescription().endsWith(" %1 of %2"));
}

TEST(CallbackTokens, OnlyTheExactSchemeAndTheFirstNonEmptyTokensWithoutControlsCount) {
    const std::optional<QString> none;
    const struct {
        const char *url;
        std::optional<QString> access, refresh;
    } cases[] = {
        {"orvanta://any/path?state=x&access_token=a.b&refresh_token=r%2B1", "a.b", "r+1"},
        {"orvanta:?access_token=a%20b", "a b", none},
        {"orvanta://x?access_token=1&access_token=2&refresh_token=r1&refresh_token=r2", "1", "r1"},
        {"orvanta://x?access_token=a&refresh_token=", "a", none},
        {"Orvanta://x?access_token=a", none, none},
        {"https://x?access_token=a", none, none},
        {"orvantax://x?access_token=a", none, none},
        {"orvanta://x?access_token=", none, none},
        {"orvanta://x?refresh_token=r", none, none},
        {"orvanta://x?Access_Token=a", none, none},
        {"orvanta://x?access_token=&access_token=b", none, none},
        {"orvanta://x?access_token=a%0D%0AX-Evil:%201", none, none},
        {"orvanta://x?access_token=a%1F", none, none},
        {"orvanta://x?access_token=a%7F", none, none},
        {"orvanta://x?access_token=a&refresh_token=r%0A", none, none},
    };
    for (const auto &c : cases) {
        const auto tokens = Auth::tokensFromCallback(QString::fromLatin1(c.url));
        EXPECT_EQ(tokens ? std::optional(tokens->access) : none, c.access) << c.url;
        EXPECT_EQ(tokens ? tokens->refresh : none, c.refresh) << c.url;
    }
}

TEST(SignInWindowTest, StaysOpenFifteenMinutesFromTheLastOpening) {
    SignInWindow::Clock::time_point now{};
    SignInWindow window([&now] { return now; });
    EXPECT_FALSE(window.isOpen());
    window.open();
    now += 10min;
    window.open();
    now += 15min;
    EXPECT_TRUE(window.isOpen());
    now += 1s;
    EXPECT_FALSE(window.isOpen());
    window.open();
    window.close();
    EXPECT_FALSE(window.isOpen());
}

} // namespace
