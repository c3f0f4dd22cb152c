#include "LocalBackend.h"

#include "ServiceLogging.h"
#include "TextRules.h"

#include <pocketsphinx.h>

#include <filesystem>
#include <stdexcept>

namespace {

void requireFile(const std::string &path, const char *what) {
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        throw std::runtime_error(std::string("the local back end's ") + what + " " + path +
                                 " is missing (Debian package pocketsphinx-en-us)");
}

} // namespace

LocalBackend::LocalBackend(const LocalSettings &settings) {
    requireFile(settings.acousticModel, "acoustic model");
    requireFile(settings.dictionary, "pronunciation dictionary");
    const bool grammar = !settings.grammar.empty();
    const std::string &words = grammar ? settings.grammar : settings.languageModel;
    requireFile(words, grammar ? "grammar" : "language model");
    m_config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", settings.acousticModel.c_str(),
                           "-dict", settings.dictionary.c_str(), grammar ? "-jsgf" : "-lm",
                           words.c_str(), "-logfn", "/dev/null", nullptr);
    if (m_config)
        m_decoder = ps_init(m_config);
    if (!m_decoder) {
        cmd_ln_free_r(m_config);
        throw std::runtime_error("pocketsphinx cannot load its model from " +
                                 settings.acousticModel + (grammar ? " with " + words : ""));
    }
    qCInfo(lcBackend) << "Local recognition ready with"
                      << (grammar ? "the grammar" : "the language model") << words.c_str();
}

LocalBackend::~LocalBackend() {
    ps_free(m_decoder);
    cmd_ln_free_r(m_config);
}

TranscriptionResult LocalBackend::transcribe(const TranscriptionRequest &request) {
    std::string words;
    {
        std::lock_guard lock(m_mutex);
        if (ps_start_utt(m_decoder) < 0)
            return TranscriptionResult::failure(500, "The local recogniser cannot start.");
        if (!request.samples.empty() && ps_process_raw(m_decoder, request.samples.data(),
                                                       request.samples.size(), FALSE, TRUE) < 0) {
            ps_end_utt(m_decoder);
            return TranscriptionResult::failure(500, "The local recogniser failed.");
        }
        ps_end_utt(m_decoder);
        int32 score = 0;
        const char *hypothesis = ps_get_hyp(m_decoder, &score);
        words = hypothesis ? hypothesis : "";
    }
    if (request.mode == "verbatim")
        return TranscriptionResult::success(words);
    return TranscriptionResult::success(TextRules::cleanSentence(words));
}
