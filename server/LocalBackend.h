#pragma once

#include "ServiceConfig.h"
#include "TranscriptionBackend.h"

#include <mutex>

struct ps_decoder_s;
struct cmd_ln_s;

// Offline English recognition with pocketsphinx. "verbatim" returns the words as recognised;
// every other mode gets the clean sentence (summaries and e-mails need a language model this
// back end does not have). One decoder, used by one request at a time.
class LocalBackend : public TranscriptionBackend {
public:
    // Throws std::runtime_error when the model files cannot be loaded.
    explicit LocalBackend(const LocalSettings &settings);
    ~LocalBackend() override;
    LocalBackend(const LocalBackend &) = delete;
    LocalBackend &operator=(const LocalBackend &) = delete;

    std::string rejectModel(const std::string &) const override { return {}; }
    TranscriptionResult transcribe(const TranscriptionRequest &request) override;

private:
    std::mutex m_mutex;
    cmd_ln_s *m_config = nullptr;
    ps_decoder_s *m_decoder = nullptr;
};
