#include "AudioDecoder.h"
#include "CommandLine.h"
#include "Jwt.h"
#include "ServiceConfig.h"
#include "ServiceProcess.h"
#include "TempEnvironment.h"
#include "TextRules.h"
#include "TokenService.h"
#include "WhisperBackend.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace orvanta::test;

namespace {

TEST(ServiceTextRules, WordsCountedAddressesNormalisedSentencesCleanedMonthsKeyed) {
    EXPECT_EQ(TextRules::countWords(" \n\t "), 0);
    EXPECT_EQ(TextRules::countWords("Hello,   world!\nNew line"), 4);
    EXPECT_EQ(TextRules::countWords("one - two ... three"), 3) << "lone punctuation is no word";
    EXPECT_EQ(TextRules::countWords("Grüße aus Köln"), 3);
    EXPECT_EQ(TextRules::normalizedEmail("  Ada@Example.ORG \n"), "ada@example.org");
    for (const char *bad : {"", "no-at-sign", "@example.org", "ada@", "a@b@c", "a@@b.c", "a b@c.d",
                            "<script>@x.y", "a\x01@b.c"})
        EXPECT_EQ(TextRules::normalizedEmail(bad), "") << bad;
    EXPECT_EQ(TextRules::normalizedEmail(std::string(250, 'a') + "@b.cd"), "");
    EXPECT_EQ(TextRules::cleanSentence("  i think  i'm ready "), "I think I'm ready.");
    EXPECT_EQ(TextRules::cleanSentence("is it?"), "Is it?");
    EXPECT_EQ(TextRules::cleanSentence(""), "");
    EXPECT_EQ(TextRules::monthKey(0), "1970-01");
    EXPECT_EQ(TextRules::monthKey(1709251199), "2024-02") << "last second of February, UTC";
}

TEST(ServiceCommandLine, OptionsAndCommandsAreReadOrRefused) {
    const auto serve = CommandLine::parse({"--listen", "::1", "--port=0", "--backend", "upstream"});
    EXPECT_EQ(CommandLine::parse({"--port", "65535"}).port, 65535);
    EXPECT_TRUE(serve.error.empty());
    EXPECT_EQ(serve.command, CommandLine::Command::Serve);
    EXPECT_EQ(serve.listen, "::1");
    EXPECT_EQ(serve.port, 0);
    const auto add = CommandLine::parse({"add-user", "a@b.c", "--plan", "pro", "--limit", "0"});
    EXPECT_TRUE(add.error.empty()) << add.error;
    EXPECT_EQ(add.command, CommandLine::Command::AddUser);
    EXPECT_EQ(add.email, "a@b.c");
    EXPECT_EQ(add.limit, 0);
    for (const std::vector<std::string> &bad :
         std::vector<std::vector<std::string>>{{"--port", "8x"},
                                               {"--port"},
                                               {"--port", "65536"},
                                               {"--port", "-1"},
                                               {"--bogus"},
                                               {"--backend", "cloud"},
                                               {"add-user"},
                                               {"add-user", "a@b.c", "--limit", "-1"},
                                               {"list-users", "--plan", "pro"},
                                               {"remove-user", "a@b.c"}})
        EXPECT_FALSE(CommandLine::parse(bad).error.empty()) << bad[0];
}

// Settings that are taken are the Whisper back end's start-ups in TranscribeTest.
TEST(ServiceConfig, BadWhisperSettingsAreRefusedWithAReason) {
    const TempFolder folder;
    const std::string file = folder.filePath("service.ini").toStdString();
    for (const auto &[what, settings] : {
             std::pair{"no base_url", ""},
             {"not http", "base_url=ftp://host\n"},
             {"unknown audio", "base_url=http://h\naudio=flac\n"},
             {"time-out beyond the client's", "base_url=http://h\ntimeout_seconds=56\n"},
             {"rewriting without models", "base_url=http://h\n[upstream]\nbase_url=http://c/v1\n"},
         }) {
        TempFolder::write(QString::fromStdString(file),
                          QByteArray("[service]\nbackend=whisper\n[whisper]\n") + settings);
        std::string error;
        EXPECT_FALSE(ServiceConfig::load(CommandLine::parse({"--config", file}), error)) << what;
        EXPECT_FALSE(error.empty()) << what;
    }
}

TEST(ServiceTokens, Base64UrlRoundTripsAndRefusesForeignText) {
    const std::string bytes("\xfb\xff\x00\x10", 4);
    const std::string text = Base64Url::encode(bytes);
    EXPECT_EQ(text.find_first_of("+/="), std::string::npos);
    EXPECT_EQ(Base64Url::decode(text), bytes);
    EXPECT_FALSE(Base64Url::decode("ab+/"));
    // The same bytes with a stray bit in the last character's unused part.
    std::string stray = text;
    stray.back() = static_cast<char>(stray.back() + 1);
    EXPECT_FALSE(Base64Url::decode(stray)) << stray;
    EXPECT_NE(TokenService::newRefreshToken(), TokenService::newRefreshToken());
    EXPECT_EQ(TokenService::hashRefreshToken("x"), TokenService::hashRefreshToken("x"));
    const std::string hash = TokenService::hashPassword("secret");
    EXPECT_TRUE(TokenService::passwordMatches(hash, "secret"));
    EXPECT_FALSE(TokenService::passwordMatches(hash, "Secret"));
    EXPECT_FALSE(TokenService::passwordMatches("", ""));
}

TEST(ServiceTokens, AccessTokensHoldForAnHourAndOnlyAsSigned) {
    const auto signedToken = [](const QJsonObject &header, const QJsonObject &claims,
                                const std::string &key) {
        return makeJwt(claims, QByteArray::fromStdString(key), header).toStdString();
    };
    const std::string secret(32, 's');
    const TokenService tokens(secret);
    const std::string token = tokens.issueAccessToken(7, "ada@example.org", 1000);
    const auto claims = tokens.verify(token, 4599);
    ASSERT_TRUE(claims);
    EXPECT_EQ(claims->accountId, 7);
    EXPECT_EQ(claims->email, "ada@example.org");
    EXPECT_EQ(claims->expiresAt, 4600);
    EXPECT_FALSE(tokens.verify(token, 4600)) << "expired at its last second";

    const QJsonObject hs256{{"alg", "HS256"}};
    const QJsonObject good{{"sub", "7"}, {"email", "a@b.c"}, {"exp", 5000}};
    ASSERT_TRUE(tokens.verify(signedToken(hs256, good, secret), 1000));
    const auto with = [&good](const char *name, const QJsonValue &value) {
        QJsonObject changed = good;
        changed[name] = value;
        return changed;
    };
    std::string tampered = token;
    tampered[tampered.find('.') + 2] ^= 1;
    const std::string rejected[] = {
        signedToken(hs256, good, std::string(32, 'k')),
        signedToken({{"alg", "none"}}, good, secret),
        signedToken(hs256, with("sub", "seven"), secret),
        signedToken(hs256, with("email", 7), secret),
        signedToken(hs256, with("exp", "5000"), secret),
        signedToken(hs256, with("email", QString(4000, 'a')), secret),
        tampered,
        token.substr(0, token.rfind('.')),
        "garbage",
        "a.b.c",
        "",
    };
    for (const std::string &bad : rejected)
        EXPECT_FALSE(tokens.verify(bad, 1000)) << bad;
}

TEST(ServiceTokens, TheSecretIsMadeOnceAndRefusedWhenDamagedOrReadableByOthers) {
    const TempFolder folder;
    const QString file = folder.filePath("token-secret");
    const std::string secret = TokenService::loadOrCreateSecret(file.toStdString());
    EXPECT_EQ(secret.size(), 32u);
    struct stat info {};
    ASSERT_EQ(::stat(file.toLocal8Bit().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(TokenService::loadOrCreateSecret(file.toStdString()), secret);

    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    EXPECT_THROW(TokenService::loadOrCreateSecret(file.toStdString()), std::runtime_error);
    for (const std::size_t size : {31, 33}) {
        QFile::remove(file);
        TempFolder::write(file, QByteArray(qsizetype(size), 's'));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_THROW(TokenService::loadOrCreateSecret(file.toStdString()), std::runtime_error)
            << size;
    }
}

TEST(ServiceWhisper, ThePromptHoldsAsManyWholeTermsAsFitSixHundredBytes) {
    // 49 terms of 10 bytes with ", " between them are 586 bytes; a 12-byte term fills the rest.
    std::vector<std::string> terms(49, "0123456789");
    terms.insert(terms.begin() + 1, "");
    terms.push_back(std::string(12, 'x'));
    const std::string full = WhisperBackend::prompt(terms);
    EXPECT_EQ(full.size(), 600u);
    EXPECT_EQ(full.substr(0, 24), "0123456789, 0123456789, ");
    EXPECT_EQ(full.substr(586), ", " + terms.back());
    terms.back() += 'x';
    EXPECT_EQ(WhisperBackend::prompt(terms), full.substr(0, 586));
    EXPECT_EQ(WhisperBackend::prompt({}), "");
}

// The WAV a Whisper server is sent, read back by sox: 16-bit mono PCM at the decoder's rate.
TEST(ServiceAudio, TheWavForWhisperReadsBackAsItsSamples) {
    const std::vector<std::int16_t> samples{0, 1, -1, 32767, -32768, 1234, -4321, 77};
    const TempFolder folder;
    const QString path = folder.filePath("speech.wav");
    TempFolder::write(path, QByteArray::fromStdString(AudioDecoder::toWav(samples)));

    const QString rate = QString::number(AudioDecoder::sampleRate);
    for (const auto &[option, expected] :
         {std::pair{"-r", rate.toUtf8()}, {"-c", QByteArray("1")}, {"-b", QByteArray("16")}})
        EXPECT_EQ(runProgram("soxi", {option, path}).output.trimmed(), expected) << option;
    QByteArray little;
    for (const std::int16_t sample : samples)
        little.append(char(sample & 0xff)).append(char((sample >> 8) & 0xff));
    EXPECT_EQ(runProgram("sox", {path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", "-c",
                                 "1", "-r", rate, "-"})
                  .output,
              little);
}

} // namespace
