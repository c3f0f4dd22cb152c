// Any update feed.
#include "Appcast.h"
#include "FuzzHarness.h"

using namespace orvanta;

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

FUZZ_TARGET(QByteArray, input) {
    const auto releases = Appcast::parse(input);
    if (!releases)
        return;
    for (const AppcastRelease &a : *releases) {
        FUZZ_CHECK(!a.version.isEmpty());
        FUZZ_CHECK(a.link.scheme() == QLatin1String("https") ||
                   a.link.scheme() == QLatin1String("http"));
        // Version order must be an order, or "newer" depends on the order of the items.
        FUZZ_CHECK(Appcast::compareVersions(a.version, a.version) == 0);
        for (const AppcastRelease &b : *releases)
            FUZZ_CHECK(sign(Appcast::compareVersions(a.version, b.version)) ==
                       -sign(Appcast::compareVersions(b.version, a.version)));
    }
    if (const auto newer = Appcast::newerRelease(*releases, QStringLiteral(ORVANTA_VERSION)))
        FUZZ_CHECK(Appcast::compareVersions(newer->version, QStringLiteral(ORVANTA_VERSION)) > 0);
}
