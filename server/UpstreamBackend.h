#pragma once

#include "ServiceConfig.h"
#include "TranscriptionBackend.h"

// Transcription by an OpenAI-compatible chat-completions endpoint that takes audio input.
// The prompt carries the dictation mode, the language, the user's dictionary and instructions.
class UpstreamBackend : public TranscriptionBackend {
public:
    explicit UpstreamBackend(UpstreamSettings settings);

    std::string rejectModel(const std::string &model) const override;
    TranscriptionResult transcribe(const TranscriptionRequest &request) override;

    static std::string prompt(const TranscriptionRequest &request);
    // The request body sent upstream (compact JSON).
    static std::string requestBody(const TranscriptionRequest &request);

private:
    UpstreamSettings m_settings;
    std::string m_origin; // scheme://host[:port]
    std::string m_path;   // the base's path + "/chat/completions"
};
