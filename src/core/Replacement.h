#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace orvanta {

// One replacement rule: `from` as the user says it, `to` as it gets typed.
struct Replacement {
    QUuid id;
    QString from;
    QString to;
    bool caseSensitive = false;

    // An empty rule with a new random id.
    static Replacement create();
    friend bool operator==(const Replacement &, const Replacement &) = default;
};

// [{"id":"…","from":"…","to":"…","caseSensitive":false},…]
QByteArray encodeReplacements(const QList<Replacement> &rules);
// Every member is required with its type and "id" must be a UUID; otherwise nothing.
std::optional<QList<Replacement>> decodeReplacements(const QByteArray &json);

} // namespace orvanta
