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

// Accepts connections and never answers.
class SilentServer {
public:
    SilentServer();
    QString baseUrl() const;

private:
    QTcpServer m_server;
};

// A raw HTTP/1.1 stand-in that fails in one of the ways a network or a broken service fails.
class FaultyServer {
public:
    enum class Fault {
        CloseMidUpload, // closes after the first 64 KiB of the request
        CloseMidAnswer, // answers 200 with a Content-Length it never reaches, then closes
        OneByteAtATime, // answers `answer` whole, one byte every 5 ms
        EndlessText,    // answers 200 with 50 MiB of plain text, as fast as it is taken
    };
    FaultyServer(Fault fault, QByteArray answer = {});
    QString baseUrl() const;
    // The request bytes received before the connection ended.
    qint64 receivedBytes() const { return m_received; }

private:
    void serve(QTcpSocket *socket);

    QTcpServer m_server;
    Fault m_fault;
    QByteArray m_answer;
    qint64 m_received = 0;
};

// A base on 127.0.0.1 where nothing listens.
QString unusedLocalBase();

} // namespace orvanta::test
