#pragma once

#include "ProviderClient.h"
#include "ServiceConfig.h"
#include "TranscriptionBackend.h"

// Transcription by an OpenAI-compatible chat-completions endpoint that takes audio input.
// The prompt carries the dictation mode, the language, the user's dictionary and instructions.
// The same endpoint can also rewrite a transcript made elsewhere into the dictation mode.
class UpstreamBackend : public TranscriptionBackend {
public:
    enum class Task { Transcribe, Rewrite };

    explicit UpstreamBackend(UpstreamSettings settings);

    std::string rejectModel(const std::string &model) const override;
    TranscriptionResult transcribe(const TranscriptionRequest &request) override;
    // The transcript in the request's mode, following its instructions, by the request's model
    // when this endpoint offers it and by the first offered otherwise.
    TranscriptionResult rewrite(const TranscriptionRequest &request, const std::string &transcript,
                                int timeoutSeconds) const;
    int timeoutSeconds() const { return m_settings.timeoutSeconds; }

    static std::string prompt(const TranscriptionRequest &request, Task task = Task::Transcribe);
    // The request bodies sent upstream (compact JSON).
    static std::string requestBody(const TranscriptionRequest &request);
    static std::string rewriteBody(const TranscriptionRequest &request,
                                   const std::string &transcript, const std::string &model);

private:
    TranscriptionResult complete(const std::string &body, int timeoutSeconds) const;

    UpstreamSettings m_settings;
    ProviderClient m_provider;
};
