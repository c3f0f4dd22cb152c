// Any recording in a "/transcribe" body.
#include "AudioDecoder.h"
#include "FuzzCheck.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstddef>
#include <cstdint>
#include <string_view>

// As orvanta-service's main() does: FFmpeg's own complaints about broken files stay quiet.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const AudioDecoder::Result result =
        AudioDecoder::decodeM4a(std::string_view(reinterpret_cast<const char *>(data), size));
    FUZZ_CHECK(result.error.empty() || result.samples.empty());
    FUZZ_CHECK(result.samples.size() <=
               static_cast<std::size_t>(AudioDecoder::sampleRate) * AudioDecoder::maximumSeconds);
    return 0;
}
