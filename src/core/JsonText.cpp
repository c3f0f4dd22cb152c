#include "JsonText.h"

#include <QJsonParseError>
#include <QLocale>
#include <QStringDecoder>

namespace orvanta::json {

namespace {

void appendEscaped(QByteArray &out, const QByteArray &utf8) {
    for (const char c : utf8) {
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '/':
            out.append("\\/");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out.append(
                    QByteArray("\\u00") +
                    QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0'));
            else
                out.append(c);
        }
    }
}

} // namespace

QByteArray quote(const QString &text) {
    QByteArray out;
    out.reserve(text.size() + 2);
    out.append('"');
    // A surrogate without its partner has no UTF-8 form; it is written as the escape it was
    // read from, so that the text reads back unchanged.
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (!text[i].isSurrogate())
            continue;
        appendEscaped(out, QStringView(text).sliced(run, i - run).toUtf8());
        out.append("\\u").append(QByteArray::number(text[i].unicode(), 16));
        run = i + 1;
    }
    appendEscaped(out, QStringView(text).sliced(run).toUtf8());
    out.append('"');
    return out;
}

QByteArray number(double value) {
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray boolean(bool value) {
    return value ? QByteArray("true") : QByteArray("false");
}

std::optional<QJsonDocument> parse(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString checked = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return document;
}

QString uuidText(const QUuid &uuid) {
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> parseUuid(const QString &text) {
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        const QChar c = text[i];
        const bool hex =
            (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphenPlace ? c != u'-' : !hex)
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

} // namespace orvanta::json
