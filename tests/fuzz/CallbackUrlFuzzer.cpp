// Any text a web page can open as an "orvanta:" address.
#include "Auth.h"
#include "FuzzHarness.h"

#include <algorithm>

using orvanta::Auth;

namespace {

bool headerSafe(const QString &token) {
    return std::none_of(token.cbegin(), token.cend(),
                        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

} // namespace

FUZZ_TARGET(QByteArray, input) {
    const QString url = QString::fromUtf8(input);
    const auto tokens = Auth::tokensFromCallback(url);
    if (!tokens)
        return;
    // Taken tokens go into request headers and the Secret Service as they are.
    FUZZ_CHECK(url.startsWith(Auth::callbackScheme + QLatin1Char(':')));
    FUZZ_CHECK(!tokens->access.isEmpty() && headerSafe(tokens->access));
    FUZZ_CHECK(!tokens->refresh || (!tokens->refresh->isEmpty() && headerSafe(*tokens->refresh)));
}
