#include "HistoryItem.h"

#include "JsonText.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cmath>

namespace orvanta {

namespace {

const QDateTime &referenceDate() {
    static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return reference;
}

} // namespace

double referenceSeconds(const QDateTime &dateTime) {
    return static_cast<double>(referenceDate().msecsTo(dateTime)) / 1000.0;
}

QDateTime dateTimeFromReferenceSeconds(double seconds) {
    return referenceDate().addMSecs(static_cast<qint64>(std::llround(seconds * 1000.0)));
}

QDateTime HistoryItem::dateTime() const {
    return dateTimeFromReferenceSeconds(date);
}

QByteArray encodeHistory(const QList<HistoryItem> &items) {
    QByteArray out("[");
    for (const HistoryItem &item : items) {
        if (out.size() > 1)
            out.append(',');
        out.append("{\"id\":").append(json::quote(json::uuidText(item.id)));
        out.append(",\"text\":").append(json::quote(item.text));
        out.append(",\"date\":").append(json::number(item.date));
        out.append(",\"mode\":").append(json::quote(item.mode));
        out.append('}');
    }
    out.append(']');
    return out;
}

std::optional<QList<HistoryItem>> decodeHistory(const QByteArray &json) {
    const auto document = json::parse(json);
    if (!document || !document->isArray())
        return std::nullopt;
    const QJsonArray array = document->array();
    QList<HistoryItem> items;
    items.reserve(array.size());
    for (const QJsonValue &element : array) {
        const QJsonObject object = element.toObject();
        const QJsonValue id = object.value(u"id");
        const QJsonValue text = object.value(u"text");
        const QJsonValue date = object.value(u"date");
        const QJsonValue mode = object.value(u"mode");
        if (!element.isObject() || !id.isString() || !text.isString() || !date.isDouble() ||
            !mode.isString())
            return std::nullopt;
        const auto uuid = json::parseUuid(id.toString());
        if (!uuid || !std::isfinite(date.toDouble()))
            return std::nullopt;
        items.append({*uuid, text.toString(), date.toDouble(), mode.toString()});
    }
    return items;
}

} // namespace orvanta
