// Any answer to "/transcribe". The first two bytes are the status (big-endian, below 1000), the
// third says whether the body was cut off at the size limit; the rest is the body.
#include "FuzzHarness.h"
#include "HttpExchange.h"
#include "Transcriber.h"

using orvanta::TranscribeError;

FUZZ_TARGET(QByteArray, input) {
    if (input.size() < 3)
        return;
    orvanta::HttpAnswer answer;
    answer.status = ((quint8(input[0]) << 8) | quint8(input[1])) % 1000;
    answer.bodyTruncated = (input[2] & 1) != 0;
    answer.body = input.mid(3);
    const orvanta::TranscribeOutcome outcome = orvanta::Transcriber::interpret(answer);
    if (outcome.succeeded()) {
        FUZZ_CHECK(answer.status >= 200 && answer.status <= 299);
        FUZZ_CHECK(!outcome.text().isEmpty() && outcome.text() == outcome.text().trimmed());
        return;
    }
    FUZZ_CHECK(outcome.error().has_value() && !outcome.errorDescription().isEmpty());
    const TranscribeError &error = *outcome.error();
    if (error.kind() == TranscribeError::Kind::Http) {
        FUZZ_CHECK(error.status() == answer.status);
        FUZZ_CHECK(orvanta::leadingGraphemes(error.text(), TranscribeError::httpBodyLimit) ==
                   error.text());
    }
}
