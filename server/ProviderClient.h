#pragma once

#include "TranscriptionBackend.h"

#include <string>
#include <vector>

// HTTP exchanges with a transcription provider at a configured base URL. The provider's
// failures become the answers the service gives its own clients: 502 with the provider's
// message when it fails or cannot be reached, 504 when it stays silent past the time-out.
class ProviderClient {
public:
    struct FormField {
        std::string name;
        std::string content;
        std::string filename; // set for a file
        std::string contentType;
    };
    struct Reply {
        std::string body;              // the provider's answer when it succeeded
        TranscriptionResult failure{}; // status 0 when it succeeded
        bool succeeded() const { return failure.status == 0; }
    };

    // `baseUrl` is scheme://host[:port][/path]; paths given to post() follow its path.
    ProviderClient(const std::string &baseUrl, std::string apiKey);

    const std::string &basePath() const { return m_basePath; }
    Reply postJson(const std::string &path, const std::string &body, int timeoutSeconds) const;
    Reply postForm(const std::string &path, const std::vector<FormField> &fields,
                   int timeoutSeconds) const;

private:
    std::string m_origin;
    std::string m_basePath;
    std::string m_apiKey;
};
