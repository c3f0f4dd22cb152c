#include "TestServer.h"

#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QTcpSocket>

#include <stdexcept>

namespace orvanta::test {

namespace {

QByteArray methodName(QHttpServerRequest::Method method) {
    switch (method) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Post:
        return "POST";
    default:
        return "OTHER";
    }
}

} // namespace

QByteArray RecordedRequest::header(const QByteArray &name) const {
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool RecordedRequest::hasHeader(const QByteArray &name) const {
    for (const auto &entry : headers) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

TestServer::TestServer() {
    for (const char *path : {"/transcribe", "/auth/refresh", "/me"}) {
        const QString route = QString::fromLatin1(path);
        m_server.route(route, [this, route](const QHttpServerRequest &request) {
            m_requests.append(
                {route, methodName(request.method()), request.headers(), request.body()});
            QList<ScriptedReply> &queue = m_replies[route];
            if (queue.isEmpty())
                return QHttpServerResponse(QHttpServerResponse::StatusCode::NotFound);
            const ScriptedReply next = queue.takeFirst();
            return QHttpServerResponse(next.mimeType, next.body,
                                       QHttpServerResponse::StatusCode(next.status));
        });
    }
    m_port = m_server.listen(QHostAddress::LocalHost, 0);
    if (m_port == 0)
        throw std::runtime_error("the test HTTP server cannot listen");
}

QString TestServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void TestServer::reply(const QString &path, ScriptedReply reply) {
    m_replies[path].append(std::move(reply));
}

QList<RecordedRequest> TestServer::requests(const QString &path) const {
    QList<RecordedRequest> matching;
    for (const RecordedRequest &request : m_requests) {
        if (request.path == path)
            matching.append(request);
    }
    return matching;
}

SilentServer::SilentServer() {
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        // Keeps the socket open, as a stuck server would.
        while (m_server.nextPendingConnection())
            ++m_connections;
    });
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("the silent server cannot listen");
}

QString SilentServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

QString unusedLocalBase() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("no free port");
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

} // namespace orvanta::test
