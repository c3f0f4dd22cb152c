// Any stored "vocabReplacements" value.
#include "FuzzHarness.h"
#include "Replacement.h"

FUZZ_TARGET(QByteArray, input) {
    checkRoundTrip(input, orvanta::decodeReplacements, orvanta::encodeReplacements);
}
