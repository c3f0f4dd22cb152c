// Any recording in a "/transcribe" body.
#include "AudioDecoder.h"
#include "FuzzHarness.h"

extern "C" {
#include <libavutil/log.h>
}

#include <string_view>

// As orvanta-service's main() does: FFmpeg's own complaints about broken files stay quiet.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

FUZZ_TARGET(std::string_view, input) {
    const AudioDecoder::Result result = AudioDecoder::decodeM4a(input);
    FUZZ_CHECK(result.error.empty() || result.samples.empty());
    FUZZ_CHECK(result.samples.size() <=
               static_cast<std::size_t>(AudioDecoder::sampleRate) * AudioDecoder::maximumSeconds);
}
