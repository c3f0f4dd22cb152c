#include "UpstreamBackend.h"

#include "AudioDecoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

QString qs(const std::string &text) {
    return QString::fromStdString(text);
}

std::string modeRule(const std::string &mode) {
    if (mode == "verbatim")
        return "Write down exactly what is said, including filler words, repetitions and false "
               "starts. Add punctuation only.";
    if (mode == "summary")
        return "Write a short, clear summary of what is said, in the speaker's own voice.";
    if (mode == "email")
        return "Turn what is said into a well-formed e-mail with a greeting, paragraphs and a "
               "closing. Do not invent facts.";
    return "Write what is said as clean text: correct punctuation and capitalisation, no filler "
           "words (um, uh), no false starts, no repetitions. Keep the speaker's wording.";
}

} // namespace

UpstreamBackend::UpstreamBackend(UpstreamSettings settings)
    : m_settings(std::move(settings))
    , m_provider(m_settings.baseUrl, m_settings.apiKey) {}

std::string UpstreamBackend::rejectModel(const std::string &model) const {
    const auto &models = m_settings.models;
    if (std::find(models.begin(), models.end(), model) != models.end())
        return {};
    std::string offered;
    for (const auto &name : models)
        offered += (offered.empty() ? "" : ", ") + name;
    return "The model \"" + model + "\" is not offered by this service. Offered: " + offered + ".";
}

std::string UpstreamBackend::prompt(const TranscriptionRequest &request, Task task) {
    std::string text = task == Task::Transcribe
                           ? "You transcribe dictated speech. "
                           : "You rewrite the transcript of dictated speech that the user sends. ";
    text += "Answer with the resulting text only, without quotes or remarks.\n" +
            modeRule(request.mode) + "\n";
    if (request.language.empty() || request.language == "auto")
        text += "Detect the spoken language and write in that language.\n";
    else
        text += "The speaker speaks the language with the code \"" + request.language +
                "\"; write in that language.\n";
    if (!request.dictionary.empty()) {
        text += "Spell these words and names exactly like this when they occur:";
        for (const auto &term : request.dictionary)
            text += " \"" + term + "\"";
        text += ".\n";
    }
    if (!request.instructions.empty())
        text += "The user's own instructions: " + request.instructions + "\n";
    return text;
}

std::string UpstreamBackend::requestBody(const TranscriptionRequest &request) {
    const std::string wav = AudioDecoder::toWav(request.samples);
    const QJsonObject audio{
        {QStringLiteral("data"), QString::fromLatin1(QByteArray::fromStdString(wav).toBase64())},
        {QStringLiteral("format"), QStringLiteral("wav")}};
    const QJsonArray content{
        QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                    {QStringLiteral("text"), QStringLiteral("Transcribe this recording.")}},
        QJsonObject{{QStringLiteral("type"), QStringLiteral("input_audio")},
                    {QStringLiteral("input_audio"), audio}}};
    const QJsonArray messages{QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                                          {QStringLiteral("content"), qs(prompt(request))}},
                              QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                          {QStringLiteral("content"), content}}};
    const QJsonObject body{{QStringLiteral("model"), qs(request.model)},
                           {QStringLiteral("messages"), messages}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString();
}

std::string UpstreamBackend::rewriteBody(const TranscriptionRequest &request,
                                         const std::string &transcript, const std::string &model) {
    const QJsonArray messages{
        QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                    {QStringLiteral("content"), qs(prompt(request, Task::Rewrite))}},
        QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                    {QStringLiteral("content"), qs(transcript)}}};
    const QJsonObject body{{QStringLiteral("model"), qs(model)},
                           {QStringLiteral("messages"), messages}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString();
}

TranscriptionResult UpstreamBackend::transcribe(const TranscriptionRequest &request) {
    return complete(requestBody(request), m_settings.timeoutSeconds);
}

TranscriptionResult UpstreamBackend::rewrite(const TranscriptionRequest &request,
                                             const std::string &transcript,
                                             int timeoutSeconds) const {
    const std::string &model =
        rejectModel(request.model).empty() ? request.model : m_settings.models.front();
    return complete(rewriteBody(request, transcript, model), timeoutSeconds);
}

TranscriptionResult UpstreamBackend::complete(const std::string &body, int timeoutSeconds) const {
    const ProviderClient::Reply reply =
        m_provider.postJson("/chat/completions", body, timeoutSeconds);
    if (!reply.succeeded())
        return reply.failure;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(reply.body));
    const QJsonValue text = document.object()
                                .value(QStringLiteral("choices"))
                                .toArray()
                                .at(0)
                                .toObject()
                                .value(QStringLiteral("message"))
                                .toObject()
                                .value(QStringLiteral("content"));
    if (!text.isString())
        return TranscriptionResult::failure(
            502, "The transcription provider answered without a transcript.");
    return TranscriptionResult::success(text.toString().trimmed().toStdString());
}
