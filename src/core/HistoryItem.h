#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace orvanta {

// One finished transcript. `date` counts seconds since 2001-01-01 00:00:00 UTC, exactly as
// the history file holds it.
struct HistoryItem {
    QUuid id;
    QString text;
    double date = 0;
    QString mode;

    QDateTime dateTime() const;
    friend bool operator==(const HistoryItem &, const HistoryItem &) = default;
};

double referenceSeconds(const QDateTime &dateTime);
QDateTime dateTimeFromReferenceSeconds(double seconds);

// [{"id":"…","text":"…","date":786000000.5,"mode":"Clean"},…]
QByteArray encodeHistory(const QList<HistoryItem> &items);
// Every member is required with its type and "id" must be a UUID; otherwise nothing.
std::optional<QList<HistoryItem>> decodeHistory(const QByteArray &json);

} // namespace orvanta
