#pragma once

#include "AccountStore.h"
#include "ServiceConfig.h"
#include "TokenService.h"
#include "TranscriptionBackend.h"

#include <memory>

namespace httplib {
class Server;
class Stream;
struct Request;
struct Response;
} // namespace httplib

// The HTTP API and the browser pages. Each connection is served by a thread of its own.
class HttpService {
public:
    // Larger audio is refused with 413.
    static constexpr std::size_t maximumAudioBytes = 25 * 1024 * 1024;
    // Room for the Base64 of the largest audio plus the other members.
    static constexpr std::size_t maximumBodyBytes = 36 * 1024 * 1024;
    // Each open connection has a thread of its own, up to this many; further connections wait.
    static constexpr std::size_t maximumConnectionThreads = 512;
    static constexpr std::size_t spareConnectionThreads = 16;

    HttpService(const ServiceConfig &config, AccountStore &accounts, TokenService &tokens,
                TranscriptionBackend &backend);
    ~HttpService();

    // Binds the configured address; returns the port (useful with port 0), or -1.
    int bind();
    // Serves until stop(); returns false when serving failed.
    bool run();
    void stop();
    // Serves the requests `stream` carries as one keep-alive connection would, without a
    // socket; returns once the stream ends or asks to close.
    void serve(httplib::Stream &stream);

    // The value of one field of an application/x-www-form-urlencoded body; empty when absent.
    static std::string formField(const std::string &body, const char *name);

private:
    void routes();
    void signInPage(const httplib::Request &request, httplib::Response &response);
    void signIn(const httplib::Request &request, httplib::Response &response);
    void managePage(const httplib::Request &request, httplib::Response &response);
    void manage(const httplib::Request &request, httplib::Response &response);
    void refresh(const httplib::Request &request, httplib::Response &response);
    void me(const httplib::Request &request, httplib::Response &response);
    void transcribe(const httplib::Request &request, httplib::Response &response);

    std::optional<Account> bearerAccount(const httplib::Request &request);
    // The account a sign-in form names: the local user, or e-mail and password that match.
    std::optional<Account> formAccount(const httplib::Request &request, std::string &error);
    bool localSignIn() const;
    std::string issueTokens(const Account &account, std::string &refreshToken);

    const ServiceConfig &m_config;
    AccountStore &m_accounts;
    TokenService &m_tokens;
    TranscriptionBackend &m_backend;
    std::unique_ptr<httplib::Server> m_server;
};
