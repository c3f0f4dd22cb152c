#include "StandInUpstream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace orvanta::test {

namespace {

std::string chatAnswer(const std::string &text) {
    const QJsonObject message{{"role", "assistant"}, {"content", text.c_str()}};
    const QJsonObject answer{{"choices", QJsonArray{QJsonObject{{"message", message}}}}};
    return QJsonDocument(answer).toJson().toStdString();
}

std::string transcriptionAnswer(const std::string &text) {
    return QJsonDocument(QJsonObject{{"text", text.c_str()}}).toJson().toStdString();
}

} // namespace

StandInUpstream::StandInUpstream() {
    m_server.Post("/v1/chat/completions",
                  [this](const httplib::Request &request, httplib::Response &response) {
                      respond(request, response, chatAnswer,
                              R"({"error":{"message":"upstream quota exhausted"}})");
                  });
    m_server.Post("/v1/audio/transcriptions", [this](const httplib::Request &request,
                                                     httplib::Response &response) {
        respond(request, response, transcriptionAnswer, R"({"error":"recogniser out of memory"})");
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // stop() before the loop runs would be lost.
    for (int i = 0; i < 1000 && !m_server.is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

StandInUpstream::~StandInUpstream() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_released.notify_all();
    m_server.stop();
    m_thread.join();
}

void StandInUpstream::respond(const httplib::Request &request, httplib::Response &response,
                              std::string (*answer)(const std::string &text), const char *failure) {
    std::unique_lock lock(m_mutex);
    m_seen.requests++;
    m_seen.body = request.body;
    m_seen.authorization = request.get_header_value("Authorization");
    m_seen.form = {request.files.begin(), request.files.end()};
    switch (m_behaviour) {
    case Behaviour::Answer:
        response.set_content(answer(m_text), "application/json");
        break;
    case Behaviour::Fail:
        response.status = 500;
        response.set_content(failure, "application/json");
        break;
    case Behaviour::Hang:
        // Holds the answer back until the test ends.
        m_released.wait(lock, [this] { return m_stopping; });
        response.status = 503;
        break;
    case Behaviour::Malformed:
        response.set_content(R"({"text": "cut off)", "application/json");
        break;
    }
}

void StandInUpstream::setBehaviour(Behaviour behaviour, std::string text) {
    std::lock_guard lock(m_mutex);
    m_behaviour = behaviour;
    m_text = std::move(text);
}

StandInUpstream::Seen StandInUpstream::seen() const {
    std::lock_guard lock(m_mutex);
    return m_seen;
}

} // namespace orvanta::test
