#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <httplib.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace orvanta::test {

// A provider at http://127.0.0.1:<port>/v1 standing in for the real one: chat completions at
// /v1/chat/completions and the Whisper transcription API at /v1/audio/transcriptions, each
// answering by the behaviour set. Hang holds the answer back until the stand-in is destroyed.
class StandInUpstream {
public:
    enum class Behaviour { Answer, Fail, Hang, Malformed };

    struct Seen {
        int requests = 0;
        // Of the last request: its body, its Authorization header and its form fields by name.
        std::string body;
        std::string authorization;
        std::map<std::string, httplib::MultipartFormData> form;
    };

    StandInUpstream() {
        for (const bool chat : {true, false}) {
            m_server.Post(
                chat ? "/v1/chat/completions" : "/v1/audio/transcriptions",
                [this, chat](const httplib::Request &request, httplib::Response &response) {
                    respond(request, response, chat);
                });
        }
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // stop() before the loop runs would be lost.
        for (int i = 0; i < 1000 && !m_server.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~StandInUpstream() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_released.notify_all();
        m_server.stop();
        m_thread.join();
    }

    int port() const { return m_port; }
    void setBehaviour(Behaviour behaviour, std::string text = {}) {
        std::lock_guard lock(m_mutex);
        m_behaviour = behaviour;
        m_text = std::move(text);
    }
    Seen seen() const {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    void respond(const httplib::Request &request, httplib::Response &response, bool chat) {
        std::unique_lock lock(m_mutex);
        m_seen.requests++;
        m_seen.body = request.body;
        m_seen.authorization = request.get_header_value("Authorization");
        m_seen.form = {request.files.begin(), request.files.end()};
        const QJsonObject message{{"role", "assistant"}, {"content", m_text.c_str()}};
        const QJsonObject answer =
            chat ? QJsonObject{{"choices", QJsonArray{QJsonObject{{"message", message}}}}}
                 : QJsonObject{{"text", m_text.c_str()}};
        switch (m_behaviour) {
        case Behaviour::Answer:
            response.set_content(QJsonDocument(answer).toJson().toStdString(), "application/json");
            break;
        case Behaviour::Fail:
            response.status = 500;
            response.set_content(chat ? R"({"error":{"message":"upstream quota exhausted"}})"
                                      : R"({"error":"recogniser out of memory"})",
                                 "application/json");
            break;
        case Behaviour::Hang:
            m_released.wait(lock, [this] { return m_stopping; });
            response.status = 503;
            break;
        case Behaviour::Malformed:
            response.set_content(R"({"text": "cut off)", "application/json");
            break;
        }
    }

    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_stopping = false;
    Behaviour m_behaviour = Behaviour::Answer;
    std::string m_text;
    Seen m_seen;
};

} // namespace orvanta::test
