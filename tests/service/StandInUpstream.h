#pragma once

#include <httplib.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace orvanta::test {

// A chat-completions endpoint at http://127.0.0.1:<port>/v1 standing in for the real provider.
class StandInUpstream {
public:
    enum class Behaviour { Answer, Fail, Hang };

    StandInUpstream();
    ~StandInUpstream();

    int port() const { return m_port; }
    void setBehaviour(Behaviour behaviour, std::string text = {});

    // What the last request carried.
    std::string lastBody() const;
    std::string lastAuthorization() const;
    int requestCount() const;

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_stopping = false;
    Behaviour m_behaviour = Behaviour::Answer;
    std::string m_text;
    std::string m_lastBody;
    std::string m_lastAuthorization;
    int m_requests = 0;
};

} // namespace orvanta::test
