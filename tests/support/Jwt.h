#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>

namespace orvanta::test {

inline QByteArray base64Url(const QByteArray &bytes) {
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

// A JWT of `claims` signed with HS256 and `key`, else unsigned ("alg":"none"); `header` overrides.
inline QString makeJwt(const QJsonObject &claims, const QByteArray &key = {},
                       QJsonObject header = {}) {
    if (header.isEmpty())
        header = key.isEmpty() ? QJsonObject{{"alg", "none"}} : QJsonObject{{"alg", "HS256"}};
    const QByteArray part = base64Url(QJsonDocument(header).toJson(QJsonDocument::Compact)) + '.' +
                            base64Url(QJsonDocument(claims).toJson(QJsonDocument::Compact));
    return QString::fromLatin1(
        part + '.' +
        base64Url(key.isEmpty()
                      ? QByteArray("unsigned")
                      : QMessageAuthenticationCode::hash(part, key, QCryptographicHash::Sha256)));
}

} // namespace orvanta::test
