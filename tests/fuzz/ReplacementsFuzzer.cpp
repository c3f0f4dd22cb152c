// Any stored "vocabReplacements" value: what decodes must come back unchanged once saved.
#include "FuzzCheck.h"
#include "Replacement.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto rules = orvanta::decodeReplacements(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    if (!rules)
        return 0;
    const QByteArray saved = orvanta::encodeReplacements(*rules);
    const auto reread = orvanta::decodeReplacements(saved);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(*reread == *rules);
    FUZZ_CHECK(orvanta::encodeReplacements(*reread) == saved);
    return 0;
}
