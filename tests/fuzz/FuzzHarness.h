#pragma once
// What every fuzz target shares. A source file holds several targets; each executable is built
// from one file, with ORVANTA_FUZZ_TARGET naming the target it runs.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// A property that stops the run with a crash naming it, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                      \
    ((condition)                                                                                   \
         ? void()                                                                                  \
         : (std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition),  \
            std::abort()))

using FuzzBody = void (*)(const std::uint8_t *data, std::size_t size);
inline FuzzBody chosenFuzzTarget = nullptr;

// Defines the target `name`; the body that follows sees the input as `input` of type `Bytes`,
// anything made of a pointer and a size (std::string, std::string_view, QByteArray).
#define FUZZ_TARGET(name, Bytes, input)                                                            \
    static void name(const Bytes &input);                                                          \
    [[maybe_unused]] static const bool name##Chosen =                                              \
        std::string_view(#name) == ORVANTA_FUZZ_TARGET &&                                          \
        (chosenFuzzTarget = [](const std::uint8_t *data, std::size_t size) {                       \
            name(Bytes(reinterpret_cast<const char *>(data), size));                               \
        });                                                                                        \
    static void name(const Bytes &input)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    chosenFuzzTarget(data, size);
    return 0;
}

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
