#include "WhisperBackend.h"

#include "AudioDecoder.h"
#include "TextRules.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>

WhisperBackend::WhisperBackend(WhisperSettings settings, std::optional<UpstreamSettings> rewriting)
    : m_settings(std::move(settings))
    , m_provider(m_settings.baseUrl, m_settings.apiKey) {
    if (rewriting)
        m_rewriter = std::make_unique<UpstreamBackend>(std::move(*rewriting));
}

std::string WhisperBackend::prompt(const std::vector<std::string> &dictionary) {
    std::string text;
    for (const std::string &term : dictionary) {
        if (term.empty())
            continue;
        const std::size_t added = (text.empty() ? 0 : 2) + term.size();
        if (text.size() + added > maximumPromptBytes)
            break;
        text += (text.empty() ? "" : ", ") + term;
    }
    return text;
}

std::vector<ProviderClient::FormField>
WhisperBackend::form(const TranscriptionRequest &request) const {
    std::vector<ProviderClient::FormField> fields;
    if (m_settings.audio == "m4a")
        fields.push_back({"file", std::string(request.recording), "recording.m4a", "audio/mp4"});
    else
        fields.push_back(
            {"file", AudioDecoder::toWav(request.samples), "recording.wav", "audio/wav"});
    fields.push_back({"model", m_settings.model, {}, {}});
    if (!request.language.empty() && request.language != "auto")
        fields.push_back({"language", request.language, {}, {}});
    if (const std::string terms = prompt(request.dictionary); !terms.empty())
        fields.push_back({"prompt", terms, {}, {}});
    fields.push_back({"response_format", "json", {}, {}});
    return fields;
}

TranscriptionResult WhisperBackend::recognise(const TranscriptionRequest &request) const {
    const ProviderClient::Reply reply =
        m_provider.postForm("/v1/audio/transcriptions", form(request), m_settings.timeoutSeconds);
    if (!reply.succeeded())
        return reply.failure;
    const QJsonValue text = QJsonDocument::fromJson(QByteArray::fromStdString(reply.body))
                                .object()
                                .value(QStringLiteral("text"));
    if (!text.isString())
        return TranscriptionResult::failure(
            502, "The transcription provider answered without a transcript.");
    return TranscriptionResult::success(text.toString().trimmed().toStdString());
}

TranscriptionResult WhisperBackend::transcribe(const TranscriptionRequest &request) {
    const auto started = std::chrono::steady_clock::now();
    TranscriptionResult heard = recognise(request);
    if (heard.status != 0 || heard.text.empty() || request.mode == "verbatim")
        return heard;
    if (!m_rewriter)
        return TranscriptionResult::success(TextRules::cleanSentence(heard.text));
    const auto spent =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started)
            .count();
    const int left = maximumSeconds - static_cast<int>(spent);
    if (left < 1)
        return TranscriptionResult::failure(
            504, "The transcription took the whole time; nothing was left to rewrite it.");
    return m_rewriter->rewrite(request, heard.text, std::min(left, m_rewriter->timeoutSeconds()));
}
