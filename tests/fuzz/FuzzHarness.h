#pragma once
// What every fuzz target shares: its entry point, and a check of a property that stops the run
// with a crash naming it, so that libFuzzer keeps the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Defines the entry point; the body that follows sees the input as `input` of type `Bytes`,
// anything made of a pointer and a size (std::string, std::string_view, QByteArray).
#define FUZZ_TARGET(Bytes, input)                                                                  \
    static void fuzzOne(const Bytes &input);                                                       \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {            \
        fuzzOne(Bytes(reinterpret_cast<const char *>(data), size));                                \
        return 0;                                                                                  \
    }                                                                                              \
    static void fuzzOne(const Bytes &input)

// A stored value: what decodes must come back equal once encoded, and encode to the same bytes
// again. The decoded value, if any.
template <typename Input, typename Decode, typename Encode>
auto checkRoundTrip(const Input &input, Decode decode, Encode encode) {
    const auto decoded = decode(input);
    if (decoded) {
        const auto saved = encode(*decoded);
        const auto reread = decode(saved);
        FUZZ_CHECK(reread.has_value() && *reread == *decoded && encode(*reread) == saved);
    }
    return decoded;
}
