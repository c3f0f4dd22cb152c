#include "HttpExchange.h"

#include "JsonText.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>

#include <qcoro/qcorosignal.h>

#include <memory>

namespace orvanta {

namespace {

QString describeFailure(const QNetworkReply &reply) {
    // A transfer time-out shows up as a cancelled operation; nothing else here cancels.
    if (reply.error() == QNetworkReply::OperationCanceledError ||
        reply.error() == QNetworkReply::TimeoutError)
        return HttpExchange::timedOutText;
    return reply.errorString();
}

// Qt also reports answers such as 404 or 500 as errors; those still carry a status and a body.
bool isAnswerFromServer(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ContentAccessDenied &&
            error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError &&
            error <= QNetworkReply::UnknownServerError);
}

// Errors that still leave the server's answer in hand when it carries a status: a redirect the
// policy refused, and 400, which Qt reports as an invalid operation of the protocol.
bool isAnswerWithStatus(QNetworkReply::NetworkError error) {
    return error == QNetworkReply::InsecureRedirectError ||
           error == QNetworkReply::TooManyRedirectsError ||
           error == QNetworkReply::ProtocolInvalidOperationError;
}

// Collects the body as it arrives and stops the transfer once it passes the limit.
QCoro::Task<HttpAnswer> collect(QNetworkReply *reply) {
    QPointer<QNetworkReply> guard(reply);
    auto answer = std::make_shared<HttpAnswer>();
    const auto readAvailable = [reply, answer] {
        if (answer->bodyTruncated)
            return;
        const qint64 room = HttpExchange::maximumBodySize - answer->body.size();
        answer->body += reply->read(qMin(room + 1, reply->bytesAvailable()));
        if (answer->body.size() > HttpExchange::maximumBodySize) {
            answer->body.truncate(HttpExchange::maximumBodySize);
            answer->bodyTruncated = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, readAvailable);
    if (!reply->isFinished())
        co_await qCoro(reply, &QNetworkReply::finished);
    if (!guard) {
        answer->transportFailure = QStringLiteral("The connection was closed.");
        co_return std::move(*answer);
    }
    readAvailable();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    answer->status = status.isValid() ? status.toInt() : 0;
    const QNetworkReply::NetworkError error = reply->error();
    const bool answered = error == QNetworkReply::NoError || answer->bodyTruncated ||
                          isAnswerFromServer(error) ||
                          (isAnswerWithStatus(error) && status.isValid());
    if (!answered)
        answer->transportFailure = describeFailure(*reply);
    reply->deleteLater();
    co_return std::move(*answer);
}

} // namespace

QString HttpAnswer::summary() const {
    return transportFailure ? *transportFailure : QStringLiteral("status %1").arg(status);
}

std::optional<QJsonObject> HttpAnswer::jsonObject() const {
    if (bodyTruncated)
        return std::nullopt;
    const std::optional<QJsonDocument> document = json::parse(body);
    if (!document || !document->isObject())
        return std::nullopt;
    return document->object();
}

QNetworkRequest HttpExchange::request(const QUrl &url, std::chrono::milliseconds transferTimeout) {
    QNetworkRequest request(url);
    request.setTransferTimeout(int(transferTimeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    return request;
}

QCoro::Task<HttpAnswer> HttpExchange::get(QNetworkAccessManager &network, QNetworkRequest request) {
    co_return co_await collect(network.get(request));
}

QCoro::Task<HttpAnswer> HttpExchange::post(QNetworkAccessManager &network, QNetworkRequest request,
                                           QByteArray body) {
    co_return co_await collect(network.post(request, body));
}

} // namespace orvanta
