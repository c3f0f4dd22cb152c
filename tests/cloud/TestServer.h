#pragma once

// A real HTTP server on 127.0.0.1 inside the test process. Each path answers from a queue of
// scripted replies (404 when empty); every request is recorded.

#include <QByteArray>
#include <QHttpServer>
#include <QList>
#include <QMap>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

namespace orvanta::test {

struct RecordedRequest {
    QString path;
    bool isPost = false;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // The header's value, matched without regard to case; a null array when it is missing.
    QByteArray header(const QByteArray &name) const;
};

struct ScriptedReply {
    int status = 200;
    QByteArray body;
    QByteArray mimeType = "application/json";
    QByteArray location = {}; // sent as the Location header unless empty
};

class TestServer {
public:
    TestServer();
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    void reply(const QString &path, ScriptedReply reply) { m_replies[path].append(reply); }
    QList<RecordedRequest> requests(const QString &path) const;
    int requestCount() const { return int(m_requests.size()); }

private:
    QHttpServer m_server;
    quint16 m_port = 0;
    QMap<QString, QList<ScriptedReply>> m_replies;
    QList<RecordedRequest> m_requests;
};

// Answers each JSON request with the raw bytes `answer` and closes the connection; with none,
// leaves every connection open and unanswered, as a stuck server does.
class RawServer {
public:
    explicit RawServer(QByteArray answer);
    QString baseUrl() const;
    int answered() const { return m_answered; }

private:
    QTcpServer m_server;
    QByteArray m_answer;
    int m_answered = 0;
};

// A base on 127.0.0.1 where nothing listens.
QString unusedLocalBase();

} // namespace orvanta::test
