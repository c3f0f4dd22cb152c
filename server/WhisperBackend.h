#pragma once

#include "ProviderClient.h"
#include "ServiceConfig.h"
#include "TranscriptionBackend.h"
#include "UpstreamBackend.h"

#include <memory>
#include <optional>

// Transcription by a server of the Whisper transcription API (hosted, or a recogniser on the
// user's own machine). The recording goes there as a form with the configured model, the
// language (left out for detection) and the dictionary as the prompt. The dictation mode is
// applied afterwards: by a chat-completions endpoint when one is configured, otherwise "clean"
// by the service's own text rules and "summary" and "email" get that clean text; "verbatim"
// is the recogniser's text as it came.
class WhisperBackend : public TranscriptionBackend {
public:
    // Whisper models read only the end of a long prompt; the first terms matter most.
    static constexpr std::size_t maximumPromptBytes = 600;
    // Recognition and rewriting together stay below the client's 60-second wait.
    static constexpr int maximumSeconds = 55;

    WhisperBackend(WhisperSettings settings, std::optional<UpstreamSettings> rewriting);

    std::string rejectModel(const std::string &) const override { return {}; }
    TranscriptionResult transcribe(const TranscriptionRequest &request) override;

    // The dictionary terms, comma-separated, as many whole terms as fit the bound.
    static std::string prompt(const std::vector<std::string> &dictionary);

private:
    std::vector<ProviderClient::FormField> form(const TranscriptionRequest &request) const;
    TranscriptionResult recognise(const TranscriptionRequest &request) const;

    WhisperSettings m_settings;
    ProviderClient m_provider;
    std::unique_ptr<UpstreamBackend> m_rewriter;
};
