#include "Appcast.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace orvanta::Appcast {

namespace {

bool isWebLink(const QUrl &url) {
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == u"https" || url.scheme() == u"http");
}

// Reads one <item>; the reader stands on its start element.
AppcastRelease readItem(QXmlStreamReader &reader) {
    AppcastRelease release;
    QUrl enclosure;
    while (reader.readNextStartElement()) {
        const QStringView name = reader.name();
        if (name == u"enclosure") {
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute &attribute : attributes) {
                if (attribute.name() == u"version" && release.version.isEmpty())
                    release.version = attribute.value().trimmed().toString();
            }
            enclosure = QUrl(attributes.value(QStringLiteral("url")).trimmed().toString());
            reader.skipCurrentElement();
        } else if (name == u"version" || name == u"shortVersionString") {
            const QString text = reader.readElementText().trimmed();
            if (name == u"version" || release.version.isEmpty())
                release.version = text;
        } else if (name == u"link") {
            release.link = QUrl(reader.readElementText().trimmed());
        } else if (name == u"title") {
            release.title = reader.readElementText().trimmed();
        } else {
            reader.skipCurrentElement();
        }
    }
    if (!isWebLink(release.link))
        release.link = enclosure;
    return release;
}

struct ParsedVersion {
    QList<qint64> numbers;
    bool preRelease = false;
};

ParsedVersion parseVersion(const QString &version) {
    static const QRegularExpression leadingNumbers(QStringLiteral("^v?(\\d+(?:\\.\\d+)*)(.*)$"));
    ParsedVersion parsed;
    const QRegularExpressionMatch match = leadingNumbers.match(version.trimmed());
    if (!match.hasMatch())
        return {{}, true};
    for (const QString &part : match.captured(1).split(u'.'))
        parsed.numbers.append(part.left(15).toLongLong());
    parsed.preRelease = !match.captured(2).isEmpty();
    return parsed;
}

} // namespace

std::optional<QList<AppcastRelease>> parse(const QByteArray &xml) {
    QXmlStreamReader reader(xml);
    QList<AppcastRelease> releases;
    bool sawChannel = false;
    if (!reader.readNextStartElement() || reader.name() != u"rss")
        return std::nullopt;
    while (reader.readNextStartElement()) {
        if (reader.name() != u"channel") {
            reader.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (reader.readNextStartElement()) {
            if (reader.name() != u"item") {
                reader.skipCurrentElement();
                continue;
            }
            AppcastRelease release = readItem(reader);
            if (!release.version.isEmpty() && isWebLink(release.link))
                releases.append(release);
        }
    }
    if (reader.hasError() || !sawChannel)
        return std::nullopt;
    return releases;
}

int compareVersions(const QString &a, const QString &b) {
    const ParsedVersion left = parseVersion(a);
    const ParsedVersion right = parseVersion(b);
    const qsizetype parts = std::max(left.numbers.size(), right.numbers.size());
    for (qsizetype i = 0; i < parts; ++i) {
        const qint64 l = left.numbers.value(i, 0);
        const qint64 r = right.numbers.value(i, 0);
        if (l != r)
            return l < r ? -1 : 1;
    }
    if (left.preRelease != right.preRelease)
        return left.preRelease ? -1 : 1;
    return 0;
}

std::optional<AppcastRelease> newerRelease(const QList<AppcastRelease> &releases,
                                           const QString &currentVersion) {
    std::optional<AppcastRelease> newest;
    for (const AppcastRelease &release : releases) {
        if (compareVersions(release.version, currentVersion) <= 0)
            continue;
        if (!newest || compareVersions(release.version, newest->version) > 0)
            newest = release;
    }
    return newest;
}

} // namespace orvanta::Appcast
