// Any access token: its payload's "email" claim is read without checking the signature.
#include "Auth.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    orvanta::Auth::emailFromJWT(
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    return 0;
}
