// Any update feed.
#include "Appcast.h"
#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>

using namespace orvanta;

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto releases = Appcast::parse(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    if (!releases)
        return 0;
    for (const AppcastRelease &release : *releases) {
        FUZZ_CHECK(!release.version.isEmpty());
        FUZZ_CHECK(release.link.scheme() == QLatin1String("https") ||
                   release.link.scheme() == QLatin1String("http"));
    }
    // Version order must be an order, or "newer" depends on the order of the items.
    for (const AppcastRelease &a : *releases) {
        FUZZ_CHECK(Appcast::compareVersions(a.version, a.version) == 0);
        for (const AppcastRelease &b : *releases)
            FUZZ_CHECK(sign(Appcast::compareVersions(a.version, b.version)) ==
                       -sign(Appcast::compareVersions(b.version, a.version)));
    }
    if (const auto newer = Appcast::newerRelease(*releases, QStringLiteral(ORVANTA_VERSION)))
        FUZZ_CHECK(Appcast::compareVersions(newer->version, QStringLiteral(ORVANTA_VERSION)) > 0);
    return 0;
}
