// Any answer to "/transcribe". The first two bytes are the status (big-endian, below 1000), the
// third says whether the body was cut off at the size limit; the rest is the body.
#include "FuzzCheck.h"
#include "HttpExchange.h"
#include "Transcriber.h"

#include <cstddef>
#include <cstdint>

using orvanta::TranscribeError;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 3)
        return 0;
    orvanta::HttpAnswer answer;
    answer.status = ((data[0] << 8) | data[1]) % 1000;
    answer.bodyTruncated = (data[2] & 1) != 0;
    answer.body =
        QByteArray(reinterpret_cast<const char *>(data + 3), static_cast<qsizetype>(size - 3));
    const orvanta::TranscribeOutcome outcome = orvanta::Transcriber::interpret(answer);
    if (outcome.succeeded()) {
        FUZZ_CHECK(answer.status >= 200 && answer.status <= 299);
        FUZZ_CHECK(!outcome.text().isEmpty() && outcome.text() == outcome.text().trimmed());
        return 0;
    }
    FUZZ_CHECK(outcome.error().has_value());
    const TranscribeError &error = *outcome.error();
    if (error.kind() == TranscribeError::Kind::Http) {
        FUZZ_CHECK(error.status() == answer.status);
        FUZZ_CHECK(orvanta::leadingGraphemes(error.text(), TranscribeError::httpBodyLimit) ==
                   error.text());
    }
    FUZZ_CHECK(!outcome.errorDescription().isEmpty());
    return 0;
}
