#include "TestServer.h"

#include <QHttpServerRequest>
#include <QHttpServerResponse>

#include <memory>

#include <stdexcept>

namespace orvanta::test {

QByteArray RecordedRequest::header(const QByteArray &name) const {
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

TestServer::TestServer() {
    for (const QString &path :
         {QStringLiteral("/transcribe"), QStringLiteral("/auth/refresh"), QStringLiteral("/me")}) {
        m_server.route(path, [this, path](const QHttpServerRequest &request) {
            m_requests.append({path, request.method() == QHttpServerRequest::Method::Post,
                               request.headers(), request.body()});
            if (m_replies[path].isEmpty())
                return QHttpServerResponse(QHttpServerResponse::StatusCode::NotFound);
            const ScriptedReply next = m_replies[path].takeFirst();
            QHttpServerResponse response(next.mimeType, next.body,
                                         QHttpServerResponse::StatusCode(next.status));
            if (!next.location.isEmpty())
                response.addHeader("Location", next.location);
            return response;
        });
    }
    m_port = m_server.listen(QHostAddress::LocalHost, 0);
    if (m_port == 0)
        throw std::runtime_error("the test HTTP server cannot listen");
}

QList<RecordedRequest> TestServer::requests(const QString &path) const {
    QList<RecordedRequest> matching;
    std::copy_if(m_requests.cbegin(), m_requests.cend(), std::back_inserter(matching),
                 [&path](const RecordedRequest &request) { return request.path == path; });
    return matching;
}

RawServer::RawServer(QByteArray answer)
    : m_answer(std::move(answer)) {
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        while (QTcpSocket *socket =
                   m_answer.isEmpty() ? nullptr : m_server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            auto request = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
                // A JSON body holds no other closing brace than its last character.
                if (!request->append(socket->readAll()).endsWith('}'))
                    return;
                ++m_answered;
                socket->write(m_answer);
                socket->disconnectFromHost();
            });
        }
    });
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("the raw server cannot listen");
}

QString RawServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

QString unusedLocalBase() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("no free port");
    return QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
}

} // namespace orvanta::test
