// Any body of a 200 answer to "/me".
#include "Auth.h"
#include "FuzzHarness.h"
#include "HttpExchange.h"

FUZZ_TARGET(QByteArray, input) {
    orvanta::HttpAnswer answer;
    answer.status = 200;
    answer.body = input;
    if (const auto object = answer.jsonObject())
        orvanta::Auth::usageFigures(*object);
}
