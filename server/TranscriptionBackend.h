#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a client asked for, besides the audio itself.
struct TranscriptionRequest {
    std::string model;
    std::string language = "auto";
    std::string mode = "clean"; // clean, verbatim, summary or email
    std::vector<std::string> dictionary;
    std::string instructions;
    std::vector<std::int16_t> samples; // 16 kHz mono
    // The recording as the client sent it (M4A); valid while the request is being served.
    std::string_view recording;
};

struct TranscriptionResult {
    std::string text;
    // 0 on success; otherwise the HTTP status the service answers with, and `error` its text.
    int status = 0;
    std::string error;

    static TranscriptionResult success(std::string text) { return {std::move(text), 0, {}}; }
    static TranscriptionResult failure(int status, std::string error) {
        return {{}, status, std::move(error)};
    }
};

// Turns a recording into text. Called from several request threads at once.
class TranscriptionBackend {
public:
    virtual ~TranscriptionBackend() = default;
    // Checked before the audio is decoded; an empty answer means the request can be served.
    virtual std::string rejectModel(const std::string &model) const = 0;
    virtual TranscriptionResult transcribe(const TranscriptionRequest &request) = 0;
};
