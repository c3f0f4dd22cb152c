#pragma once

// An HTTP server on 127.0.0.1 on a thread of its own: each path answers from a queue of scripted
// replies, then its standing reply, else 404; all requests are kept.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace orvanta::test {

struct RecordedRequest {
    QString path;
    bool isPost = false;
    httplib::Headers headers;
    QByteArray body;
    std::map<std::string, httplib::MultipartFormData> form;
    std::chrono::steady_clock::time_point arrived;

    // Matched without regard to case; a null array when it is missing.
    QByteArray header(const char *name) const {
        const auto found = headers.find(name);
        return found == headers.end() ? QByteArray() : QByteArray::fromStdString(found->second);
    }
};

struct ScriptedReply {
    int status = 200;
    QByteArray body;
    QByteArray mimeType = "application/json";
    QByteArray location = {}; // sent as the Location header unless empty
    bool hang = false;        // answers 503 only once the server is destroyed
    qsizetype promisedLength = 0;
};

class StandInServer {
public:
    StandInServer() {
        const auto handle = [this](const httplib::Request &request, httplib::Response &response) {
            respond(request, response);
        };
        m_server.Get(".*", handle);
        m_server.Post(".*", handle);
        // One request a connection: nothing waits for idle connections when the server stops.
        m_server.set_keep_alive_max_count(1);
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // stop() before the loop runs would be lost.
        for (int i = 0; i < 1000 && !m_server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~StandInServer() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_released.notify_all();
        m_server.stop();
        m_thread.join();
    }

    int port() const { return m_port; }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

    // The next request at `path` gets `next`; with `standing`, every one after the queue.
    void reply(const QString &path, const ScriptedReply &next, bool standing = false) {
        std::lock_guard lock(m_mutex);
        (standing ? m_standing[path] : m_queued[path].emplace_back()) = next;
    }
    QList<RecordedRequest> requests(const QString &path) const {
        std::lock_guard lock(m_mutex);
        QList<RecordedRequest> matching;
        std::copy_if(m_requests.begin(), m_requests.end(), std::back_inserter(matching),
                     [&path](const RecordedRequest &request) { return request.path == path; });
        return matching;
    }
    std::optional<RecordedRequest> last(const QString &path) const {
        const QList<RecordedRequest> all = requests(path);
        return all.isEmpty() ? std::nullopt : std::optional(all.last());
    }
    int requestCount() const {
        std::lock_guard lock(m_mutex);
        return int(m_requests.size());
    }

private:
    void respond(const httplib::Request &request, httplib::Response &response) {
        std::unique_lock lock(m_mutex);
        const QString path = QString::fromStdString(request.path);
        m_requests.append({path,
                           request.method == "POST",
                           request.headers,
                           QByteArray::fromStdString(request.body),
                           {request.files.begin(), request.files.end()},
                           std::chrono::steady_clock::now()});
        const std::optional<ScriptedReply> next =
            !m_queued[path].isEmpty()   ? std::optional(m_queued[path].takeFirst())
            : m_standing.contains(path) ? std::optional(m_standing[path])
                                        : std::nullopt;
        response.status = next ? (next->hang ? 503 : next->status) : 404;
        if (next && next->hang)
            m_released.wait(lock, [this] { return m_stopping; });
        if (!next || next->hang)
            return;
        if (!next->location.isEmpty())
            response.set_header("Location", next->location.toStdString());
        // Sent uncompressed; a longer promised length ends the connection after the body.
        const auto body = std::make_shared<std::string>(next->body.toStdString());
        if (!body->empty())
            response.set_content_provider(
                std::max(body->size(), std::size_t(next->promisedLength)),
                next->mimeType.toStdString(),
                [body](std::size_t offset, std::size_t, httplib::DataSink &sink) {
                    return offset < body->size() &&
                           sink.write(body->data() + offset, body->size() - offset);
                });
    }

    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_stopping = false;
    QMap<QString, QList<ScriptedReply>> m_queued;
    QMap<QString, ScriptedReply> m_standing;
    QList<RecordedRequest> m_requests;
};

} // namespace orvanta::test
