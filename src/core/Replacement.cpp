#include "Replacement.h"

#include "JsonText.h"

#include <QJsonArray>
#include <QJsonObject>

namespace orvanta {

Replacement Replacement::create() {
    return {QUuid::createUuid(), {}, {}, false};
}

QByteArray encodeReplacements(const QList<Replacement> &rules) {
    QByteArray out("[");
    for (const Replacement &rule : rules) {
        if (out.size() > 1)
            out.append(',');
        out.append("{\"id\":").append(json::quote(json::uuidText(rule.id)));
        out.append(",\"from\":").append(json::quote(rule.from));
        out.append(",\"to\":").append(json::quote(rule.to));
        out.append(",\"caseSensitive\":").append(json::boolean(rule.caseSensitive));
        out.append('}');
    }
    out.append(']');
    return out;
}

std::optional<QList<Replacement>> decodeReplacements(const QByteArray &json) {
    const auto document = json::parse(json);
    if (!document || !document->isArray())
        return std::nullopt;
    QList<Replacement> rules;
    for (const QJsonValue &element : document->array()) {
        const QJsonObject object = element.toObject();
        const QJsonValue id = object.value(u"id");
        const QJsonValue from = object.value(u"from");
        const QJsonValue to = object.value(u"to");
        const QJsonValue caseSensitive = object.value(u"caseSensitive");
        if (!element.isObject() || !id.isString() || !from.isString() || !to.isString() ||
            !caseSensitive.isBool())
            return std::nullopt;
        const auto uuid = json::parseUuid(id.toString());
        if (!uuid)
            return std::nullopt;
        rules.append({*uuid, from.toString(), to.toString(), caseSensitive.toBool()});
    }
    return rules;
}

} // namespace orvanta
