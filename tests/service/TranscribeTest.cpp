#include "QtPrinters.h"
#include "ServiceProcess.h"
#include "StandInUpstream.h"
#include "TempEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace orvanta::test;

namespace {

constexpr auto password = "pw-for-transcription";

QJsonObject json(const std::string &body) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

// Spoken by espeak-ng and encoded as AAC in M4A, like the application's recordings.
QByteArray speechM4a(const TempFolder &folder, const QString &name, const QString &sentence) {
    const QString wav = folder.filePath(name + ".wav");
    const QString m4a = folder.filePath(name + ".m4a");
    if (QProcess::execute("espeak-ng", {"-w", wav, sentence}) != 0)
        return {};
    if (QProcess::execute("ffmpeg", {"-y", "-loglevel", "error", "-i", wav, "-ac", "1", "-ar",
                                     "16000", "-c:a", "aac", "-b:a", "32k", m4a}) != 0)
        return {};
    return TempFolder::read(m4a);
}

std::string requestBody(const QByteArray &audio, const QString &model = "model-a",
                        const QString &mode = "clean") {
    const QJsonObject body{{"audio_base64", QString::fromLatin1(audio.toBase64())},
                           {"format", "m4a"},
                           {"model", model},
                           {"language", "auto"},
                           {"mode", mode},
                           {"dictionary", QJsonArray{}},
                           {"instructions", ""}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString();
}

long long wordsIn(const QString &text) {
    return text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts).size();
}

class TranscribeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_audioFolder = new TempFolder;
        s_speech = speechM4a(*s_audioFolder, "speech", "turn on the kitchen light");
    }
    static void TearDownTestSuite() { delete s_audioFolder; }

    void SetUp() override { ASSERT_FALSE(s_speech.isEmpty()) << "espeak-ng and ffmpeg make audio"; }

    QString data() const { return m_folder.filePath("data"); }

    void addUser(const char *email, const char *limit) {
        const auto added = ServiceProcess::run(
            {"add-user", email, "--data", data(), "--limit", limit}, QByteArray(password) + "\n");
        ASSERT_EQ(added.exitCode, 0) << added.errors.toStdString();
    }

    QString upstreamConfig(int upstreamPort) {
        const QString file = m_folder.filePath("service.ini");
        TempFolder::write(file, QStringLiteral("[upstream]\nbase_url=http://127.0.0.1:%1/v1\n"
                                               "api_key=test-key\nmodels=model-a, model-b\n"
                                               "timeout_seconds=1\n")
                                    .arg(upstreamPort)
                                    .toUtf8());
        return file;
    }

    // A Whisper server at `whisperPort`, named with the "/v1" many providers print; rewriting
    // by the chat-completions endpoint at `rewriterPort` when it is not 0.
    QString whisperConfig(int whisperPort, const char *audio, int rewriterPort = 0) {
        QString ini = QStringLiteral("[whisper]\nbase_url=http://127.0.0.1:%1/v1/\n"
                                     "api_key=whisper-key\nmodel=large-v3\ntimeout_seconds=1\n"
                                     "audio=%2\n")
                          .arg(whisperPort)
                          .arg(audio);
        if (rewriterPort != 0)
            ini += QStringLiteral("[upstream]\nbase_url=http://127.0.0.1:%1/v1\napi_key=chat-key\n"
                                  "models=model-a, model-b\ntimeout_seconds=1\n")
                       .arg(rewriterPort);
        const QString file = m_folder.filePath("whisper.ini");
        TempFolder::write(file, ini.toUtf8());
        return file;
    }

    static std::string dictationBody(const QByteArray &audio, const QString &model,
                                     const QString &language, const QString &mode,
                                     const QJsonArray &dictionary = {},
                                     const QString &instructions = {}) {
        const QJsonObject body{{"audio_base64", QString::fromLatin1(audio.toBase64())},
                               {"format", "m4a"},
                               {"model", model},
                               {"language", language},
                               {"mode", mode},
                               {"dictionary", dictionary},
                               {"instructions", instructions}};
        return QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString();
    }

    static std::string accessToken(ServiceProcess &service, const char *email) {
        auto client = service.client();
        const auto answer =
            client.Post("/signin", httplib::Params{{"email", email}, {"password", password}});
        return answer ? tokensFromCallback(answer->get_header_value("Location")).access : "";
    }

    static long long wordsUsed(ServiceProcess &service, const std::string &token) {
        auto client = service.client();
        const auto me = client.Get("/me", bearer(token));
        return me && me->status == 200 ? json(me->body).value("used").toInteger() : -1;
    }

    TempFolder m_folder;
    static inline TempFolder *s_audioFolder = nullptr;
    static inline QByteArray s_speech;
};

TEST_F(TranscribeTest, UpstreamTranscribesWithThePromptAndCountsTheWords) {
    StandInUpstream upstream;
    upstream.setBehaviour(StandInUpstream::Behaviour::Answer, "  Hello from the stand-in.\n");
    addUser("ada@example.org", "1000");
    ServiceProcess service(data(),
                           {"--backend", "upstream", "--config", upstreamConfig(upstream.port())});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    const std::string token = accessToken(service, "ada@example.org");
    auto client = service.client();

    const QJsonObject request{{"audio_base64", QString::fromLatin1(s_speech.toBase64())},
                              {"format", "m4a"},
                              {"model", "model-b"},
                              {"language", "de"},
                              {"mode", "summary"},
                              {"dictionary", QJsonArray{"Orvanta", "Kubernetes"}},
                              {"instructions", "Use British spelling."}};
    const auto answer =
        client.Post("/transcribe", bearer(token), QJsonDocument(request).toJson().toStdString(),
                    "application/json");
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->status, 200) << answer->body;
    const QString text = json(answer->body).value("text").toString();
    EXPECT_EQ(text, "Hello from the stand-in.");
    EXPECT_EQ(wordsUsed(service, token), wordsIn(text));

    EXPECT_EQ(upstream.lastAuthorization(), "Bearer test-key");
    const QJsonObject sent = json(upstream.lastBody());
    EXPECT_EQ(sent.value("model").toString(), "model-b");
    const QJsonArray messages = sent.value("messages").toArray();
    ASSERT_EQ(messages.size(), 2);
    const QString prompt = messages[0].toObject().value("content").toString();
    for (const char *expected :
         {"\"Orvanta\"", "\"Kubernetes\"", "Use British spelling.", "\"de\"", "summary"})
        EXPECT_TRUE(prompt.contains(expected)) << expected << " in " << prompt.toStdString();
    const QJsonObject audio = messages[1]
                                  .toObject()
                                  .value("content")
                                  .toArray()[1]
                                  .toObject()
                                  .value("input_audio")
                                  .toObject();
    EXPECT_EQ(audio.value("format").toString(), "wav");
    const QByteArray wav = QByteArray::fromBase64(audio.value("data").toString().toLatin1());
    EXPECT_TRUE(wav.startsWith("RIFF"));
    EXPECT_GT(wav.size(), 16000) << "about a second of 16 kHz speech";

    const auto unknownModel = client.Post("/transcribe", bearer(token),
                                          requestBody(s_speech, "gpt-9"), "application/json");
    ASSERT_TRUE(unknownModel);
    EXPECT_EQ(unknownModel->status, 400);
    EXPECT_TRUE(json(unknownModel->body).value("error").toString().contains("model-a, model-b"));
}

TEST_F(TranscribeTest, UpstreamFailuresBecomeClearErrorsAndCostNothing) {
    StandInUpstream upstream;
    addUser("ada@example.org", "1000");
    ServiceProcess service(data(),
                           {"--backend", "upstream", "--config", upstreamConfig(upstream.port())});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    const std::string token = accessToken(service, "ada@example.org");
    auto client = service.client();

    upstream.setBehaviour(StandInUpstream::Behaviour::Fail);
    const auto failed =
        client.Post("/transcribe", bearer(token), requestBody(s_speech), "application/json");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 502);
    EXPECT_TRUE(json(failed->body).value("error").toString().contains("upstream quota exhausted"))
        << failed->body;

    // The stand-in never answers; the service gives up after its own time-out of 1 s.
    upstream.setBehaviour(StandInUpstream::Behaviour::Hang);
    const auto slow =
        client.Post("/transcribe", bearer(token), requestBody(s_speech), "application/json");
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->status, 504);
    EXPECT_TRUE(json(slow->body).value("error").toString().contains("did not answer"))
        << slow->body;
    EXPECT_EQ(wordsUsed(service, token), 0);
}

TEST_F(TranscribeTest, UnreachableUpstreamIsABadGateway) {
    int closedPort = 0;
    {
        StandInUpstream gone;
        closedPort = gone.port();
    }
    addUser("ada@example.org", "1000");
    ServiceProcess service(data(),
                           {"--backend", "upstream", "--config", upstreamConfig(closedPort)});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    auto client = service.client();
    const auto answer = client.Post("/transcribe", bearer(accessToken(service, "ada@example.org")),
                                    requestBody(s_speech), "application/json");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 502);
    EXPECT_TRUE(json(answer->body).value("error").isString());
}

TEST_F(TranscribeTest, AReachedLimitRefusesWithoutAskingTheBackEnd) {
    StandInUpstream upstream;
    upstream.setBehaviour(StandInUpstream::Behaviour::Answer, "one two three four");
    addUser("ada@example.org", "3");
    ServiceProcess service(data(),
                           {"--backend", "upstream", "--config", upstreamConfig(upstream.port())});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    const std::string token = accessToken(service, "ada@example.org");
    auto client = service.client();

    const auto first =
        client.Post("/transcribe", bearer(token), requestBody(s_speech), "application/json");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 200);
    EXPECT_EQ(wordsUsed(service, token), 4);
    const int asked = upstream.requestCount();

    const auto refused =
        client.Post("/transcribe", bearer(token), requestBody(s_speech), "application/json");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 402);
    EXPECT_FALSE(json(refused->body).value("error").toString().isEmpty());
    EXPECT_EQ(upstream.requestCount(), asked);
}

TEST_F(TranscribeTest, HostileBodiesGetClearAnswersAndTheServiceCarriesOn) {
    StandInUpstream upstream;
    upstream.setBehaviour(StandInUpstream::Behaviour::Answer, "fine");
    addUser("ada@example.org", "1000");
    ServiceProcess service(data(),
                           {"--backend", "upstream", "--config", upstreamConfig(upstream.port())});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    const std::string token = accessToken(service, "ada@example.org");
    auto client = service.client();

    QByteArray noise(4096, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    const QByteArray wav = TempFolder::read(s_audioFolder->filePath("speech.wav"));
    const std::string audio = QString::fromLatin1(s_speech.toBase64()).toStdString();
    const struct {
        const char *what;
        std::string body;
    } badRequests[] = {
        {"not JSON", "this is not json"},
        {"a JSON array", "[1, 2]"},
        {"no audio", R"({"format":"m4a"})"},
        {"audio as a number", R"({"audio_base64": 12})"},
        {"mode as a number", R"({"audio_base64":")" + audio + R"(","mode":3,"model":"model-a"})"},
        {"unknown mode", R"({"audio_base64":")" + audio + R"(","mode":"poem","model":"model-a"})"},
        {"dictionary of numbers",
         R"({"audio_base64":")" + audio + R"(","dictionary":[1],"model":"model-a"})"},
        {"invalid Base64", R"({"audio_base64":"@@@not base64@@@","model":"model-a"})"},
        {"random bytes", requestBody(noise)},
        {"a WAVE file", requestBody(wav)},
        {"a cut-off M4A", requestBody(s_speech.left(s_speech.size() / 3))},
        {"empty audio", requestBody({})},
    };
    for (const auto &bad : badRequests) {
        const auto answer = client.Post("/transcribe", bearer(token), bad.body, "application/json");
        ASSERT_TRUE(answer) << bad.what;
        EXPECT_EQ(answer->status, 400) << bad.what << ": " << answer->body;
        EXPECT_FALSE(json(answer->body).value("error").toString().isEmpty()) << bad.what;
    }

    // 26.5 MB of audio fits the request limit but not the audio limit; 30 MB fits neither.
    for (const qsizetype size : {qsizetype(26'500'000), qsizetype(30'000'000)}) {
        const auto answer = client.Post("/transcribe", bearer(token),
                                        requestBody(QByteArray(size, 'x')), "application/json");
        ASSERT_TRUE(answer) << size;
        EXPECT_EQ(answer->status, 413) << size;
        EXPECT_FALSE(json(answer->body).value("error").toString().isEmpty()) << answer->body;
    }
    EXPECT_EQ(upstream.requestCount(), 0);

    const auto good =
        client.Post("/transcribe", bearer(token), requestBody(s_speech), "application/json");
    ASSERT_TRUE(good);
    EXPECT_EQ(good->status, 200);
    EXPECT_EQ(client.Get("/nowhere")->status, 404);
}

TEST_F(TranscribeTest, WhisperServerGetsTheRecordingAsAFormAndTheServiceCleansTheText) {
    QJsonArray manyTerms;
    QStringList allTerms;
    for (int i = 0; i < 200; ++i) {
        allTerms << QStringLiteral("Term%1").arg(i, 3, 10, QChar('0'));
        manyTerms.append(allTerms.back());
    }
    const struct {
        const char *audio;
        const char *language;
        const char *mode;
        QJsonArray dictionary;
        const char *heard;
        const char *expected;
    } cases[] = {
        {"wav",
         "de",
         "verbatim",
         {"Orvanta", "Kubernetes"},
         "  um, hallo  welt ",
         "um, hallo  welt"},
        {"m4a", "auto", "clean", manyTerms, "i think  it works", "I think it works."},
        {"m4a", "", "summary", {}, "send the report", "Send the report."},
    };
    addUser("ada@example.org", "1000");
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.audio) + " " + c.mode);
        StandInUpstream whisper;
        whisper.setBehaviour(StandInUpstream::Behaviour::Answer, c.heard);
        ServiceProcess service(
            data(), {"--backend", "whisper", "--config", whisperConfig(whisper.port(), c.audio)});
        ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
        auto client = service.client();
        const auto answer = client.Post(
            "/transcribe", bearer(accessToken(service, "ada@example.org")),
            dictationBody(s_speech, "google/gemini-2.5-flash", c.language, c.mode, c.dictionary),
            "application/json");
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->status, 200) << answer->body;
        EXPECT_EQ(json(answer->body).value("text").toString(), c.expected);

        EXPECT_EQ(whisper.lastAuthorization(), "Bearer whisper-key");
        const auto form = whisper.lastForm();
        ASSERT_EQ(form.count("file"), 1u);
        const httplib::MultipartFormData &file = form.at("file");
        if (std::string(c.audio) == "m4a") {
            EXPECT_TRUE(QByteArray::fromStdString(file.content) == s_speech) << "sent as recorded";
            EXPECT_TRUE(QString::fromStdString(file.filename).endsWith(".m4a"));
        } else {
            EXPECT_EQ(file.content.rfind("RIFF", 0), 0u);
            EXPECT_GT(file.content.size(), 16000u) << "about a second of 16 kHz speech";
            EXPECT_TRUE(QString::fromStdString(file.filename).endsWith(".wav"));
        }
        ASSERT_EQ(form.count("model"), 1u);
        EXPECT_EQ(form.at("model").content, "large-v3") << "the configured model, not the client's";
        ASSERT_EQ(form.count("response_format"), 1u);
        EXPECT_EQ(form.at("response_format").content, "json");
        const bool detect = std::string(c.language).empty() || std::string(c.language) == "auto";
        EXPECT_EQ(form.count("language"), detect ? 0u : 1u) << "left out for detection";
        if (!detect && form.count("language")) {
            EXPECT_EQ(form.at("language").content, c.language);
        }

        QStringList terms;
        for (const QJsonValue &term : c.dictionary)
            terms << term.toString();
        const QString everything = terms.join(", ");
        ASSERT_EQ(form.count("prompt"), terms.isEmpty() ? 0u : 1u);
        if (terms.isEmpty())
            continue;
        // As many whole terms as fit, in the user's order.
        const QString prompt = QString::fromStdString(form.at("prompt").content);
        EXPECT_LE(prompt.toUtf8().size(), 600);
        EXPECT_TRUE(everything.startsWith(prompt)) << prompt.toStdString();
        EXPECT_TRUE(prompt.size() == everything.size() || everything.mid(prompt.size(), 2) == ", ")
            << "cut between terms";
        if (prompt.size() < everything.size()) {
            EXPECT_GT(prompt.toUtf8().size() + 2 + terms[prompt.count(", ") + 1].size(), 600)
                << "the next term would not have fitted";
        }
    }
}

TEST_F(TranscribeTest, WhisperTranscriptsAreRewrittenUpstreamAndFailuresAnswerLikeUpstream) {
    StandInUpstream whisper, rewriter;
    addUser("ada@example.org", "1000");
    ServiceProcess service(data(), {"--backend", "whisper", "--config",
                                    whisperConfig(whisper.port(), "wav", rewriter.port())});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    const std::string token = accessToken(service, "ada@example.org");
    auto client = service.client();
    long long words = 0;

    whisper.setBehaviour(StandInUpstream::Behaviour::Answer, "send the report today");
    rewriter.setBehaviour(StandInUpstream::Behaviour::Answer,
                          "Hello,\n\nthe report comes today.\n");
    const auto email =
        client.Post("/transcribe", bearer(token),
                    dictationBody(s_speech, "model-b", "en", "email", {"Orvanta"}, "Sign as Ada."),
                    "application/json");
    ASSERT_TRUE(email);
    ASSERT_EQ(email->status, 200) << email->body;
    const QString rewritten = json(email->body).value("text").toString();
    EXPECT_EQ(rewritten, "Hello,\n\nthe report comes today.");
    words += wordsIn(rewritten);
    EXPECT_EQ(rewriter.lastAuthorization(), "Bearer chat-key");
    const QJsonObject sent = json(rewriter.lastBody());
    EXPECT_EQ(sent.value("model").toString(), "model-b");
    const QJsonArray messages = sent.value("messages").toArray();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1].toObject().value("content").toString(), "send the report today");
    const QString prompt = messages[0].toObject().value("content").toString();
    for (const char *expected : {"e-mail", "\"Orvanta\"", "Sign as Ada.", "\"en\""})
        EXPECT_TRUE(prompt.contains(expected)) << expected << " in " << prompt.toStdString();

    // A model the endpoint does not offer is no reason to refuse: its first model rewrites.
    const auto otherModel = client.Post(
        "/transcribe", bearer(token),
        dictationBody(s_speech, "google/gemini-2.5-flash", "auto", "clean"), "application/json");
    ASSERT_TRUE(otherModel);
    ASSERT_EQ(otherModel->status, 200) << otherModel->body;
    words += wordsIn(json(otherModel->body).value("text").toString());
    EXPECT_EQ(json(rewriter.lastBody()).value("model").toString(), "model-a");

    const int rewrites = rewriter.requestCount();
    whisper.setBehaviour(StandInUpstream::Behaviour::Answer, " um, send it ");
    const auto verbatim =
        client.Post("/transcribe", bearer(token),
                    dictationBody(s_speech, "model-a", "en", "verbatim"), "application/json");
    ASSERT_TRUE(verbatim);
    ASSERT_EQ(verbatim->status, 200) << verbatim->body;
    EXPECT_EQ(json(verbatim->body).value("text").toString(), "um, send it");
    words += 3;
    EXPECT_EQ(rewriter.requestCount(), rewrites) << "verbatim text is not rewritten";

    using B = StandInUpstream::Behaviour;
    const struct {
        const char *what;
        B recogniser;
        B rewriting;
        int status;
        const char *error;
    } failures[] = {
        {"recogniser fails", B::Fail, B::Answer, 502, "recogniser out of memory"},
        {"recogniser answers broken JSON", B::Malformed, B::Answer, 502, "without a transcript"},
        {"recogniser stays silent", B::Hang, B::Answer, 504, "did not answer"},
        {"rewriter fails", B::Answer, B::Fail, 502, "upstream quota exhausted"},
        {"rewriter answers broken JSON", B::Answer, B::Malformed, 502, "without a transcript"},
        {"rewriter stays silent", B::Answer, B::Hang, 504, "did not answer"},
    };
    for (const auto &failure : failures) {
        whisper.setBehaviour(failure.recogniser, "send it");
        rewriter.setBehaviour(failure.rewriting, "Send it.");
        const auto answer =
            client.Post("/transcribe", bearer(token),
                        dictationBody(s_speech, "model-a", "en", "clean"), "application/json");
        ASSERT_TRUE(answer) << failure.what;
        EXPECT_EQ(answer->status, failure.status) << failure.what << ": " << answer->body;
        EXPECT_TRUE(json(answer->body).value("error").toString().contains(failure.error))
            << failure.what << ": " << answer->body;
    }
    EXPECT_EQ(wordsUsed(service, token), words) << "failures cost nothing";
}

TEST_F(TranscribeTest, LocalBackEndRecognisesSpeechOffline) {
    const QString grammar = m_folder.filePath("sentences.gram");
    TempFolder::write(grammar, "#JSGF V1.0;\ngrammar sentences;\n"
                               "public <sentence> = turn on the kitchen light | "
                               "send the report today | please call me tomorrow;\n");
    const QString config = m_folder.filePath("local.ini");
    TempFolder::write(config, ("[local]\ngrammar=" + grammar + "\n").toUtf8());
    ServiceProcess service(
        data(), {"--backend", "local", "--local-user", "me@example.org", "--config", config});
    ASSERT_TRUE(service.isServing()) << service.startupOutput().toStdString();
    auto client = service.client();
    const auto signedIn = client.Post("/signin", "", "application/x-www-form-urlencoded");
    ASSERT_TRUE(signedIn);
    const std::string token = tokensFromCallback(signedIn->get_header_value("Location")).access;

    const struct {
        const char *mode;
        const char *expected;
    } modes[] = {{"clean", "Turn on the kitchen light."},
                 {"verbatim", "turn on the kitchen light"},
                 {"email", "Turn on the kitchen light."}};
    for (const auto &[mode, expected] : modes) {
        const auto answer = client.Post("/transcribe", bearer(token),
                                        requestBody(s_speech, "any", mode), "application/json");
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->status, 200) << answer->body;
        EXPECT_EQ(json(answer->body).value("text").toString(), expected) << mode;
    }
    EXPECT_EQ(wordsUsed(service, token), 3 * wordsIn("turn on the kitchen light"));
}

} // namespace
