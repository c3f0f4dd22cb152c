// Any body of a 200 answer to "/me".
#include "Auth.h"
#include "HttpExchange.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    orvanta::HttpAnswer answer;
    answer.status = 200;
    answer.body = QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (const auto object = answer.jsonObject())
        orvanta::Auth::usageFigures(*object);
    return 0;
}
