#pragma once

// A real HTTP server on 127.0.0.1 inside the test process, answering each path from a queue of
// scripted replies and recording every request it receives.

#include <QByteArray>
#include <QHttpServer>
#include <QList>
#include <QMap>
#include <QString>
#include <QTcpServer>

#include <memory>

namespace orvanta::test {

struct RecordedRequest {
    QString path;
    QByteArray method;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // The value of a header, matched without regard to case; empty when it is missing.
    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
};

struct ScriptedReply {
    int status = 200;
    QByteArray body;
    QByteArray mimeType = "application/json";
};

class TestServer {
public:
    TestServer();

    QString baseUrl() const;
    // Queues a reply for `path`; a path with an empty queue answers 404.
    void reply(const QString &path, ScriptedReply reply);
    QList<RecordedRequest> requests(const QString &path) const;
    int requestCount() const { return int(m_requests.size()); }

private:
    QHttpServer m_server;
    quint16 m_port = 0;
    QMap<QString, QList<ScriptedReply>> m_replies;
    QList<RecordedRequest> m_requests;
};

// Accepts connections and never answers.
class SilentServer {
public:
    SilentServer();
    QString baseUrl() const;
    int connectionCount() const { return m_connections; }

private:
    QTcpServer m_server;
    int m_connections = 0;
};

// A base on 127.0.0.1 where nothing listens.
QString unusedLocalBase();

} // namespace orvanta::test
