#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QString>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

class QNetworkAccessManager;

namespace orvanta {

// What came back from one request: either a transport failure, or a status and a body.
struct HttpAnswer {
    // Set when the request did not complete; the text describes why.
    std::optional<QString> transportFailure;
    // The HTTP status; 0 when the answer carried none.
    int status = 0;
    QByteArray body;
    // True when the body grew past the limit and was cut off there.
    bool bodyTruncated = false;

    bool completed() const { return !transportFailure.has_value(); }
    // For the log: the status, or why there was none. Never the body.
    QString summary() const;
    // The body as a JSON object; nothing when it is cut off, not JSON, or not an object.
    std::optional<QJsonObject> jsonObject() const;
};

// One HTTP exchange over a shared QNetworkAccessManager.
class HttpExchange {
public:
    // Bodies beyond this are not kept whole.
    static constexpr qint64 maximumBodySize = 16 * 1024 * 1024;
    static inline const QString timedOutText = QStringLiteral("The request timed out.");

    // A request to `url` that gives up after `transferTimeout` without any data moving and
    // follows redirects only within the same origin, so that credentials stay with the host
    // they were meant for.
    static QNetworkRequest request(const QUrl &url, std::chrono::milliseconds transferTimeout);

    static QCoro::Task<HttpAnswer> get(QNetworkAccessManager &network, QNetworkRequest request);
    static QCoro::Task<HttpAnswer> post(QNetworkAccessManager &network, QNetworkRequest request,
                                        QByteArray body);
};

} // namespace orvanta
