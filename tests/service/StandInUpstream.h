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

    struct Seen {
        int requests = 0;
        // Of the last request: its body, its Authorization header and its form fields by name.
        std::string body;
        std::string authorization;
        std::map<std::string, httplib::MultipartFormData> form;
    };
    Seen seen() const;

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
    Seen m_seen;
};

} // namespace orvanta::test
