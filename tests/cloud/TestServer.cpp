#include "TestServer.h"

#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QTimer>

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

SilentServer::SilentServer() {
    // Pending connections stay open and unread, as with a stuck server.
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("the silent server cannot listen");
}

QString SilentServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

FaultyServer::FaultyServer(Fault fault, QByteArray answer)
    : m_fault(fault)
    , m_answer(std::move(answer)) {
    QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection())
            serve(socket);
    });
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("the faulty server cannot listen");
}

QString FaultyServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void FaultyServer::serve(QTcpSocket *socket) {
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto request = std::make_shared<QByteArray>();
    auto answered = std::make_shared<bool>(false);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request, answered] {
        const QByteArray bytes = socket->readAll();
        m_received += bytes.size();
        if (*answered)
            return;
        request->append(bytes);
        if (m_fault == Fault::CloseMidUpload) {
            if (request->size() >= 64 * 1024)
                socket->abort();
            return;
        }
        const qsizetype headerEnd = request->indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        const QByteArray lengthHeader = "content-length:";
        const qsizetype at = request->toLower().indexOf(lengthHeader);
        const qsizetype lineEnd = request->indexOf("\r\n", at);
        const qint64 length =
            at < 0 ? 0
                   : request->mid(at + lengthHeader.size(), lineEnd - at - lengthHeader.size())
                         .trimmed()
                         .toLongLong();
        if (request->size() < headerEnd + 4 + length)
            return;
        *answered = true;
        switch (m_fault) {
        case Fault::CloseMidUpload:
            break;
        case Fault::CloseMidAnswer:
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                          "Content-Length: 1000\r\n\r\n{\"text\":\"cut off");
            socket->flush();
            socket->disconnectFromHost();
            break;
        case Fault::OneByteAtATime: {
            const QByteArray whole = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                                     "Connection: close\r\nContent-Length: " +
                                     QByteArray::number(m_answer.size()) + "\r\n\r\n" + m_answer;
            auto *timer = new QTimer(socket);
            auto sent = std::make_shared<qsizetype>(0);
            QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, whole, sent] {
                socket->write(whole.mid((*sent)++, 1));
                if (*sent == whole.size()) {
                    timer->stop();
                    socket->disconnectFromHost();
                }
            });
            timer->start(5);
            break;
        }
        case Fault::EndlessText: {
            constexpr qint64 total = 50LL * 1024 * 1024;
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                          QByteArray::number(total) + "\r\n\r\n");
            auto left = std::make_shared<qint64>(total);
            const auto more = [socket, left] {
                // Keeps about a megabyte in flight, so the stand-in never holds 50 MiB itself.
                while (*left > 0 && socket->bytesToWrite() < 1024 * 1024) {
                    const qint64 chunk = qMin<qint64>(*left, 64 * 1024);
                    socket->write(QByteArray(chunk, 'w'));
                    *left -= chunk;
                }
            };
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
            more();
            break;
        }
        }
    });
}

QString unusedLocalBase() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("no free port");
    return QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
}

} // namespace orvanta::test
