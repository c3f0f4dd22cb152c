// Any history.json: what decodes must come back unchanged once saved.
#include "FuzzCheck.h"
#include "HistoryItem.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto items = orvanta::decodeHistory(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    if (!items)
        return 0;
    const QByteArray saved = orvanta::encodeHistory(*items);
    const auto reread = orvanta::decodeHistory(saved);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(*reread == *items);
    FUZZ_CHECK(orvanta::encodeHistory(*reread) == saved);
    for (const orvanta::HistoryItem &item : *items)
        item.dateTime();
    return 0;
}
