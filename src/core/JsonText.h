#pragma once

// The stored JSON forms are compact, keep their members in a fixed order and escape '/'
// as "\/"; these helpers write them and read them back strictly.

#include <QByteArray>
#include <QJsonDocument>
#include <QString>
#include <QUuid>

#include <optional>

namespace orvanta::json {

// A JSON string literal, quotes included, UTF-8, with '/' written as "\/".
QByteArray quote(const QString &text);
// The shortest text that reads back as the same double.
QByteArray number(double value);
QByteArray boolean(bool value);

// Parses a whole document; invalid UTF-8 or any syntax error gives nothing.
std::optional<QJsonDocument> parse(const QByteArray &bytes);

// Canonical upper-case 8-4-4-4-12 form, without braces.
QString uuidText(const QUuid &uuid);
// Accepts the 36-character hyphenated form in either letter case, nothing else.
std::optional<QUuid> parseUuid(const QString &text);

} // namespace orvanta::json
