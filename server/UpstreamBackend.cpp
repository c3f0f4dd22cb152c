#include "UpstreamBackend.h"

#include "AudioDecoder.h"
#include "ServiceLogging.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <httplib.h>

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

// The upstream's own message, when its answer carries one.
std::string upstreamMessage(const std::string &body) {
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(body));
    const QJsonValue error = document.object().value(QStringLiteral("error"));
    QString message = error.isObject()
                          ? error.toObject().value(QStringLiteral("message")).toString()
                          : error.toString();
    if (message.isEmpty())
        message = QString::fromUtf8(body.data(), static_cast<qsizetype>(body.size()));
    return message.simplified().left(200).toStdString();
}

} // namespace

UpstreamBackend::UpstreamBackend(UpstreamSettings settings)
    : m_settings(std::move(settings)) {
    const QUrl base(qs(m_settings.baseUrl), QUrl::StrictMode);
    m_origin = base.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                             QUrl::RemoveUserInfo)
                   .toString()
                   .toStdString();
    m_path = base.path().toStdString() + "/chat/completions";
}

std::string UpstreamBackend::rejectModel(const std::string &model) const {
    const auto &models = m_settings.models;
    if (std::find(models.begin(), models.end(), model) != models.end())
        return {};
    std::string offered;
    for (const auto &name : models)
        offered += (offered.empty() ? "" : ", ") + name;
    return "The model \"" + model + "\" is not offered by this service. Offered: " + offered + ".";
}

std::string UpstreamBackend::prompt(const TranscriptionRequest &request) {
    std::string text = "You transcribe dictated speech. Answer with the resulting text only, "
                       "without quotes or remarks.\n" +
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

TranscriptionResult UpstreamBackend::transcribe(const TranscriptionRequest &request) {
    httplib::Client client(m_origin);
    const time_t timeout = m_settings.timeoutSeconds;
    client.set_connection_timeout(std::min<time_t>(timeout, 10), 0);
    client.set_read_timeout(timeout, 0);
    client.set_write_timeout(timeout, 0);
    httplib::Headers headers;
    if (!m_settings.apiKey.empty())
        headers.emplace("Authorization", "Bearer " + m_settings.apiKey);
    const auto answer = client.Post(m_path, headers, requestBody(request), "application/json");
    if (!answer) {
        const auto error = answer.error();
        qCWarning(lcBackend) << "Upstream request failed:" << httplib::to_string(error).c_str();
        if (error == httplib::Error::Read || error == httplib::Error::Write ||
            error == httplib::Error::ConnectionTimeout)
            return TranscriptionResult::failure(
                504, "The transcription provider did not answer within " + std::to_string(timeout) +
                         " seconds.");
        return TranscriptionResult::failure(502, "The transcription provider cannot be reached (" +
                                                     httplib::to_string(error) + ").");
    }
    if (answer->status < 200 || answer->status > 299) {
        qCWarning(lcBackend) << "Upstream answered" << answer->status;
        return TranscriptionResult::failure(502, "The transcription provider failed (" +
                                                     std::to_string(answer->status) +
                                                     "): " + upstreamMessage(answer->body));
    }
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(answer->body));
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
