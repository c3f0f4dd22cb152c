#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Decodes a recording held in memory into 16 kHz mono 16-bit samples, the form both back ends
// work with. Only the MP4 family of containers (M4A) is accepted.
namespace AudioDecoder {

constexpr int sampleRate = 16000;
// Longer recordings are refused rather than decoded into an unbounded buffer.
constexpr int maximumSeconds = 30 * 60;

struct Result {
    std::vector<std::int16_t> samples;
    // Non-empty when the bytes are not a decodable M4A recording.
    std::string error;
};

Result decodeM4a(std::string_view bytes);

// The samples as a RIFF/WAVE file, as upstream chat-completions endpoints take audio.
std::string toWav(const std::vector<std::int16_t> &samples);

} // namespace AudioDecoder
