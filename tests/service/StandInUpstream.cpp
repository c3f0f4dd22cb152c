#include "StandInUpstream.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace orvanta::test {

StandInUpstream::StandInUpstream() {
    m_server.Post("/v1/chat/completions", [this](const httplib::Request &request,
                                                 httplib::Response &response) {
        std::unique_lock lock(m_mutex);
        ++m_requests;
        m_lastBody = request.body;
        m_lastAuthorization = request.get_header_value("Authorization");
        switch (m_behaviour) {
        case Behaviour::Answer: {
            const QJsonObject message{{"role", "assistant"}, {"content", m_text.c_str()}};
            const QJsonObject answer{{"choices", QJsonArray{QJsonObject{{"message", message}}}}};
            response.set_content(QJsonDocument(answer).toJson().toStdString(), "application/json");
            break;
        }
        case Behaviour::Fail:
            response.status = 500;
            response.set_content(R"({"error":{"message":"upstream quota exhausted"}})",
                                 "application/json");
            break;
        case Behaviour::Hang:
            // Holds the answer back until the test ends.
            m_released.wait(lock, [this] { return m_stopping; });
            response.status = 503;
            break;
        }
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

void StandInUpstream::setBehaviour(Behaviour behaviour, std::string text) {
    std::lock_guard lock(m_mutex);
    m_behaviour = behaviour;
    m_text = std::move(text);
}

std::string StandInUpstream::lastBody() const {
    std::lock_guard lock(m_mutex);
    return m_lastBody;
}

std::string StandInUpstream::lastAuthorization() const {
    std::lock_guard lock(m_mutex);
    return m_lastAuthorization;
}

int StandInUpstream::requestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

} // namespace orvanta::test
