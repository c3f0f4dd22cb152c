// Any recording in a "/transcribe" body.
#include "AudioDecoder.h"
#include "FuzzHarness.h"

#include <string_view>

FUZZ_TARGET(std::string_view, input) {
    const AudioDecoder::Result result = AudioDecoder::decodeM4a(input);
    FUZZ_CHECK(result.error.empty() || result.samples.empty());
    FUZZ_CHECK(result.samples.size() <=
               static_cast<std::size_t>(AudioDecoder::sampleRate) * AudioDecoder::maximumSeconds);
}
