#pragma once

#include <httplib.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace orvanta::test {

// A provider at http://127.0.0.1:<port>/v1 standing in for the real one: chat completions at
// /v1/chat/completions and the Whisper transcription API at /v1/audio/transcriptions.
class StandInUpstream {
public:
    enum class Behaviour { Answer, Fail, Hang, Malformed };

    StandInUpstream();
    ~StandInUpstream();

    int port() const { return m_port; }
    void setBehaviour(Behaviour behaviour, std::string text = {});

    // What the last request carried.
    std::string lastBody() const;
    std::string lastAuthorization() const;
    // The form fields of the last transcription request, by name.
    std::map<std::string, httplib::MultipartFormData> lastForm() const;
    int requestCount() const;

private:
    // Answers by the behaviour; `answer` makes the success body from the text, `failure` is
    // the body of a failure.
    void respond(const httplib::Request &request, httplib::Response &response,
                 std::string (*answer)(const std::string &text), const char *failure);

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
    std::map<std::string, httplib::MultipartFormData> m_lastForm;
    int m_requests = 0;
};

} // namespace orvanta::test
