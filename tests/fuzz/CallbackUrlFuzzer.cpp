// Any text a web page can open as an "orvanta:" address.
#include "Auth.h"
#include "FuzzCheck.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>

using orvanta::Auth;

namespace {

bool headerSafe(const QString &token) {
    return std::none_of(token.cbegin(), token.cend(),
                        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QString url =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto tokens = Auth::tokensFromCallback(url);
    if (!tokens)
        return 0;
    // Taken tokens go into request headers and the Secret Service as they are.
    FUZZ_CHECK(url.startsWith(Auth::callbackScheme + QLatin1Char(':')));
    FUZZ_CHECK(!tokens->access.isEmpty() && headerSafe(tokens->access));
    FUZZ_CHECK(!tokens->refresh || (!tokens->refresh->isEmpty() && headerSafe(*tokens->refresh)));
    Auth::emailFromJWT(tokens->access);
    return 0;
}
