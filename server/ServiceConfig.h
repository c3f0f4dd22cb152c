#pragma once

#include "CommandLine.h"

#include <optional>
#include <string>
#include <vector>

struct UpstreamSettings {
    // OpenAI-compatible API base, e.g. https://api.example.com/v1 ("/chat/completions" follows).
    std::string baseUrl;
    std::string apiKey;
    // Model identifiers clients may ask for; the request's "model" must be one of them.
    std::vector<std::string> models;
    // Below the client's 60-second request time-out, so the client always gets an answer.
    int timeoutSeconds = 45;
};

// A recogniser speaking the Whisper transcription API (POST <base>/v1/audio/transcriptions).
struct WhisperSettings {
    // The server's address, e.g. http://127.0.0.1:8080; a trailing "/v1" is taken off.
    std::string baseUrl;
    std::string apiKey;
    std::string model = "whisper-1";
    int timeoutSeconds = 45;
    // The recording as it is sent: "wav" (16 kHz mono) or "m4a" (as the client recorded it).
    std::string audio = "wav";
};

struct LocalSettings {
    std::string acousticModel;
    std::string dictionary;
    std::string languageModel;
    // A JSGF grammar of the expected sentences; when set it replaces the language model.
    std::string grammar;
};

// Every setting of the service: defaults, then the settings file, then the command line.
struct ServiceConfig {
    std::string listen = "127.0.0.1";
    int port = 8787;
    std::string dataDir;
    std::string backend = "local";
    std::string localUser;
    long long freeLimit = 1000;
    long long proLimit = 100000;
    UpstreamSettings upstream;
    WhisperSettings whisper;
    LocalSettings local;

    // Fills `error` and returns nothing when a value is unusable.
    static std::optional<ServiceConfig> load(const CommandLine &line, std::string &error);
    static std::string defaultDataDir();
    static bool isLoopbackAddress(const std::string &address);

    long long defaultLimit(const std::string &plan) const;
};
