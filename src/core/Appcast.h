#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace orvanta {

struct AppcastRelease {
    QString version;
    QUrl link; // the page that offers the download
    QString title;

    friend bool operator==(const AppcastRelease &, const AppcastRelease &) = default;
};

// An update feed: an RSS document whose items carry a version (an element or an enclosure
// attribute named "version", in any namespace) and a link (the item's <link>, else the
// enclosure's url). Items without a version or an http(s) link are skipped.
namespace Appcast {

// Nothing when the document is not a readable RSS feed.
std::optional<QList<AppcastRelease>> parse(const QByteArray &xml);
// Negative, zero or positive as `a` is older than, the same as or newer than `b`. Numeric
// dot-separated parts compare as numbers; a pre-release suffix ("1.2-beta") is older than
// the release itself.
int compareVersions(const QString &a, const QString &b);
// The newest release that is newer than `currentVersion`, if any.
std::optional<AppcastRelease> newerRelease(const QList<AppcastRelease> &releases,
                                           const QString &currentVersion);

} // namespace Appcast
} // namespace orvanta
