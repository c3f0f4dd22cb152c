// Any history.json.
#include "FuzzHarness.h"
#include "HistoryItem.h"

FUZZ_TARGET(QByteArray, input) {
    const auto items = checkRoundTrip(input, orvanta::decodeHistory, orvanta::encodeHistory);
    for (const orvanta::HistoryItem &item : items.value_or(QList<orvanta::HistoryItem>()))
        item.dateTime();
}
