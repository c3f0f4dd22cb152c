#include "QtPrinters.h"
#include "ServiceProcess.h"
#include "StandInServer.h"
#include "TempEnvironment.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <optional>

using namespace orvanta::test;
namespace {

const QString chatPath = QStringLiteral("/v1/chat/completions");
const QString whisperPath = QStringLiteral("/v1/audio/transcriptions");

// How a provider at <base>/v1 answers chat completions and Whisper transcriptions.
enum class B { Answer, Fail, Hang, Malformed };
void behave(StandInServer &provider, B behaviour, const QString &text = {}) {
    const QJsonObject message{{"role", "assistant"}, {"content", text}};
    const QJsonObject chat{{"choices", QJsonArray{QJsonObject{{"message", message}}}}};
    const std::tuple<QString, QJsonObject, QByteArray> paths[] = {
        {chatPath, chat, R"({"error":{"message":"upstream quota exhausted"}})"},
        {whisperPath, QJsonObject{{"text", text}}, R"({"error":"recogniser out of memory"})"}};
    for (const auto &[path, answer, failure] : paths) {
        const ScriptedReply replies[] = {{200, QJsonDocument(answer).toJson()},
                                         {500, failure},
                                         {503, {}, {}, {}, true},
                                         {200, R"({"text": "cut off)"}};
        provider.reply(path, replies[int(behaviour)], true);
    }
}

// A JSON request for `audio` with the model "model-a" unless `members` name others.
std::string body(const QByteArray &audio, QJsonObject members = {}) {
    members.insert("audio_base64", QString::fromLatin1(audio.toBase64()));
    if (!members.contains("model"))
        members.insert("model", "model-a");
    return QJsonDocument(members).toJson(QJsonDocument::Compact).toStdString();
}

long long wordsIn(const QString &text) {
    return text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts).size();
}

// The model, instructions and user's message (audio or transcript) of the last chat request.
std::tuple<QString, QString, QJsonValue> lastChat(const StandInServer &upstream) {
    const QJsonObject sent =
        QJsonDocument::fromJson(upstream.last(chatPath).value_or(RecordedRequest()).body).object();
    const QJsonArray messages = sent["messages"].toArray();
    if (messages.size() != 2)
        return {};
    return {sent["model"].toString(), messages[0]["content"].toString(), messages[1]["content"]};
}

class TranscribeTest : public ::testing::Test {
protected:
    // Spoken by espeak-ng and encoded as AAC in M4A, like the application's recordings.
    static void SetUpTestSuite() {
        const TempFolder audio;
        const QString wav = audio.filePath("speech.wav"), m4a = audio.filePath("speech.m4a");
        if (QProcess::execute("espeak-ng", {"-w", wav, "turn on the kitchen light"}) == 0 &&
            QProcess::execute("ffmpeg", {"-y", "-loglevel", "error", "-i", wav, "-ac", "1", "-ar",
                                         "16000", "-c:a", "aac", "-b:a", "32k", m4a}) == 0) {
            s_wav = TempFolder::read(wav);
            s_speech = TempFolder::read(m4a);
        }
    }

    void SetUp() override { ASSERT_FALSE(s_speech.isEmpty()) << "espeak-ng and ffmpeg make audio"; }

    QString data() const { return m_folder.filePath("data"); }

    // The chat-completions stand-in at `port` as the [upstream] section.
    static QString upstreamIni(int port) {
        return QStringLiteral("[upstream]\nbase_url=http://127.0.0.1:%1/v1\napi_key=chat-key\n"
                              "models=model-a, model-b\ntimeout_seconds=1\n")
            .arg(port);
    }
    // A Whisper server, named with the "/v1/" many providers print.
    static QString whisperIni(int port, const char *audio) {
        return QStringLiteral("[whisper]\nbase_url=http://127.0.0.1:%1/v1/\napi_key=whisper-key\n"
                              "model=large-v3\ntimeout_seconds=1\naudio=%2\n")
            .arg(port)
            .arg(audio);
    }

    // Starts the service with `backend` configured by `ini` and signs its one-click user in.
    std::unique_ptr<ServiceProcess> start(const char *backend, const QString &ini) {
        const QString file = m_folder.filePath("service.ini");
        TempFolder::write(file, ini.toUtf8());
        auto service =
            std::make_unique<ServiceProcess>(data(), QStringList{"--backend", backend, "--config",
                                                                 file, "--local-user", "me@x.org"});
        EXPECT_TRUE(service->isServing()) << service->startupOutput().toStdString();
        token = service->signIn().access;
        return service;
    }

    Reply transcribe(const ServiceProcess &service, const std::string &request) const {
        return service.post("/transcribe", request, bearer(token));
    }
    long long wordsUsed(const ServiceProcess &service) const {
        const Reply me = service.get("/me", bearer(token));
        return me.status == 200 ? me.json().value("used").toInteger() : -1;
    }

    TempFolder m_folder;
    std::string token;
    static inline QByteArray s_wav, s_speech;
};

TEST_F(TranscribeTest, UpstreamTranscribesCountsWordsAndRefusesBadRequestsAndSpentAllowances) {
    StandInServer upstream;
    behave(upstream, B::Answer, "  Hello from the stand-in.\n");
    const auto service =
        start("upstream", upstreamIni(upstream.port()) + "[plans]\nfree_limit=4\n");

    QByteArray noise(4096, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    const std::string badRequests[] = {
        "this is not json",
        R"({"model":"model-a"})",
        R"({"audio_base64":"@@@not base64@@@","model":"model-a"})",
        body(s_speech, {{"mode", 3}}),
        body(s_speech, {{"mode", "poem"}}),
        body(s_speech, {{"format", "wav"}}),
        body(s_speech, {{"dictionary", "Orvanta"}}),
        body(s_speech, {{"dictionary", QJsonArray{1}}}),
        body(noise),
        body(s_wav),
        body(s_speech.left(s_speech.size() / 3)),
        body({}),
        // Checked before decoding: a model the endpoint does not offer.
        body(s_speech, {{"model", "gpt-9"}}),
        // Exactly the largest audio taken: refused only because it is no M4A.
        body(QByteArray(25 * 1024 * 1024, 'x')),
    };
    for (const std::string &bad : badRequests) {
        const Reply answer = transcribe(*service, bad);
        EXPECT_EQ(answer.status, 400) << bad.substr(0, 80) << ": " << answer.body;
    }
    const Reply tooLarge = transcribe(*service, body(QByteArray(25 * 1024 * 1024 + 1, 'x')));
    EXPECT_EQ(tooLarge.status, 413) << tooLarge.body;
    EXPECT_EQ(upstream.requestCount(), 0);

    const Reply answer =
        transcribe(*service, body(s_speech, {{"format", "m4a"},
                                             {"model", "model-b"},
                                             {"language", "de"},
                                             {"mode", "summary"},
                                             {"dictionary", QJsonArray{"Orvanta", "Kubernetes"}},
                                             {"instructions", "Use British spelling."}}));
    ASSERT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(answer.text(), "Hello from the stand-in.");
    EXPECT_EQ(wordsUsed(*service), 4);
    EXPECT_EQ(upstream.last(chatPath)->header("Authorization"), "Bearer chat-key");
    const auto [model, prompt, user] = lastChat(upstream);
    EXPECT_EQ(model, "model-b");
    for (const char *expected :
         {"\"Orvanta\"", "\"Kubernetes\"", "Use British spelling.", "\"de\"", "summary"})
        EXPECT_TRUE(prompt.contains(expected)) << expected << " in " << prompt.toStdString();
    const QJsonObject audio = user[1]["input_audio"].toObject();
    EXPECT_EQ(audio.value("format").toString(), "wav");
    const QByteArray wav = QByteArray::fromBase64(audio.value("data").toString().toLatin1());
    EXPECT_TRUE(wav.startsWith("RIFF"));
    EXPECT_GT(wav.size(), 16000) << "about a second of 16 kHz speech";

    // The four words used are the whole allowance: the next recording is not even sent.
    const Reply refused = transcribe(*service, body(s_speech));
    EXPECT_EQ(refused.status, 402);
    EXPECT_EQ(upstream.requestCount(), 1);
}

// The language is left out for the server to detect it, the prompt without terms; with
// neither a rewriter nor "verbatim" the service cleans the text.
TEST_F(TranscribeTest, WhisperServerGetsTheRecordingAsAFormAndTheServiceCleansTheText) {
    StandInServer whisper;
    behave(whisper, B::Answer, "i think  it works");
    const auto service = start("whisper", whisperIni(whisper.port(), "m4a"));
    const Reply answer = transcribe(
        *service, body(s_speech, {{"model", "google/gemini-2.5-flash"}, {"language", "auto"}}));
    ASSERT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(answer.text(), "I think it works.");

    auto form = whisper.last(whisperPath).value_or(RecordedRequest()).form;
    EXPECT_TRUE(QByteArray::fromStdString(form["file"].content) == s_speech) << "sent as recorded";
    EXPECT_TRUE(QString::fromStdString(form["file"].filename).endsWith(".m4a"));
    EXPECT_EQ(form["model"].content, "large-v3") << "the configured model, not the client's";
    EXPECT_EQ(form.count("language") + form.count("prompt"), 0u);
}

TEST_F(TranscribeTest, WhisperTranscriptsAreRewrittenUpstreamAndFailuresAnswerLikeUpstream) {
    std::optional<StandInServer> whisper(std::in_place);
    StandInServer rewriter;
    const auto service =
        start("whisper", whisperIni(whisper->port(), "wav") + upstreamIni(rewriter.port()));
    long long words = 0;

    behave(*whisper, B::Answer, "send the report today");
    behave(rewriter, B::Answer, "Hello,\n\nthe report comes today.\n");
    const Reply email = transcribe(*service, body(s_speech, {{"model", "model-b"},
                                                             {"language", "en"},
                                                             {"mode", "email"},
                                                             {"dictionary", QJsonArray{"Orvanta"}},
                                                             {"instructions", "Sign as Ada."}}));
    ASSERT_EQ(email.status, 200) << email.body;
    EXPECT_EQ(email.text(), "Hello,\n\nthe report comes today.");
    words += wordsIn(email.text());
    EXPECT_EQ(rewriter.last(chatPath)->header("Authorization"), "Bearer chat-key");
    const RecordedRequest heard = whisper->last(whisperPath).value_or(RecordedRequest());
    EXPECT_EQ(heard.header("Authorization"), "Bearer whisper-key");
    auto form = heard.form;
    EXPECT_TRUE(form["file"].content.rfind("RIFF", 0) == 0 && form["file"].content.size() > 16000)
        << "a second at 16 kHz";
    EXPECT_EQ(std::pair(form["language"].content, form["prompt"].content),
              std::pair(std::string("en"), std::string("Orvanta")));
    const auto [model, prompt, transcript] = lastChat(rewriter);
    EXPECT_EQ(model, "model-b");
    EXPECT_EQ(transcript.toString(), "send the report today");
    for (const char *expected : {"e-mail", "\"Orvanta\"", "Sign as Ada.", "\"en\""})
        EXPECT_TRUE(prompt.contains(expected)) << expected << " in " << prompt.toStdString();

    // A model the endpoint does not offer is no reason to refuse: its first model rewrites.
    const Reply otherModel = transcribe(*service, body(s_speech, {{"model", "gpt-9"}}));
    ASSERT_EQ(otherModel.status, 200) << otherModel.body;
    words += wordsIn(otherModel.text());
    EXPECT_EQ(std::get<0>(lastChat(rewriter)), "model-a");

    const int rewrites = rewriter.requestCount();
    behave(*whisper, B::Answer, " um, send it ");
    const Reply verbatim = transcribe(*service, body(s_speech, {{"mode", "verbatim"}}));
    EXPECT_EQ(verbatim.text(), "um, send it");
    words += 3;
    EXPECT_EQ(rewriter.requestCount(), rewrites) << "verbatim text is not rewritten";

    const struct {
        B recogniser, rewriting;
        int status;
        const char *error;
    } failures[] = {
        {B::Fail, B::Answer, 502, "recogniser out of memory"},
        {B::Malformed, B::Answer, 502, "without a transcript"},
        {B::Answer, B::Fail, 502, "upstream quota exhausted"},
        {B::Answer, B::Malformed, 502, "without a transcript"},
        {B::Answer, B::Hang, 504, "did not answer"},
    };
    for (const auto &failure : failures) {
        behave(*whisper, failure.recogniser, "send it");
        behave(rewriter, failure.rewriting, "Send it.");
        const Reply answer = transcribe(*service, body(s_speech));
        EXPECT_EQ(answer.status, failure.status) << answer.body;
        EXPECT_TRUE(answer.error().contains(failure.error)) << answer.body;
    }
    whisper.reset();
    EXPECT_EQ(transcribe(*service, body(s_speech)).status, 502) << "a provider that is gone";
    EXPECT_EQ(wordsUsed(*service), words) << "failures cost nothing";
}

TEST_F(TranscribeTest, LocalBackEndRecognisesSpeechOfflineForTheUserOfThisComputerOnly) {
    const QString grammar = m_folder.filePath("sentences.gram");
    TempFolder::write(grammar, "#JSGF V1.0;\ngrammar sentences;\n"
                               "public <sentence> = turn on the kitchen light | "
                               "send the report today | please call me tomorrow;\n");
    const auto service = start("local", "[local]\ngrammar=" + grammar + "\n");
    for (const auto &[mode, expected] : {std::pair{"clean", "Turn on the kitchen light."},
                                         {"verbatim", "turn on the kitchen light"}}) {
        const Reply answer =
            transcribe(*service, body(s_speech, {{"model", "any"}, {"mode", mode}}));
        ASSERT_EQ(answer.status, 200) << answer.body;
        EXPECT_EQ(answer.text(), expected) << mode;
    }
    EXPECT_EQ(wordsUsed(*service), 2 * wordsIn("turn on the kitchen light"));
    // The one-click sign-in refuses a proxy, or a page that rebound a host name to this address.
    for (const httplib::Headers &headers : {httplib::Headers{{"Host", "evil.example:8787"}},
                                            httplib::Headers{{"X-Forwarded-For", "203.0.113.9"}}}) {
        const Reply refused = service->postForm("/signin", {}, headers);
        EXPECT_EQ(refused.status, 403);
        EXPECT_TRUE(refused.header("Location").empty());
    }

    // Without its pronunciation dictionary it does not start, and says what is missing.
    const QString broken = m_folder.filePath("broken.ini");
    TempFolder::write(broken, "[local]\ndictionary=" + m_folder.filePath("none.dict").toUtf8());
    const ServiceProcess refused(m_folder.filePath("broken"), {"--backend", "local", "--config",
                                                               broken, "--local-user", "me@x.org"});
    EXPECT_FALSE(refused.isServing());
    EXPECT_TRUE(refused.startupOutput().contains("pronunciation dictionary"))
        << refused.startupOutput().toStdString();
}

} // namespace
