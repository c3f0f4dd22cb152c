#include "HttpService.h"

#include "AudioDecoder.h"
#include "Pages.h"
#include "ServiceLogging.h"
#include "TextRules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <httplib.h>

#include <condition_variable>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <thread>

namespace {

long long now() {
    return static_cast<long long>(std::time(nullptr));
}

void sendJson(httplib::Response &response, int status, const QJsonObject &object) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString(),
                         "application/json");
}

void sendError(httplib::Response &response, int status, const std::string &message) {
    sendJson(response, status,
             QJsonObject{{QStringLiteral("error"), QString::fromStdString(message)}});
}

void sendPage(httplib::Response &response, int status, const std::string &html) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_header("Content-Security-Policy",
                        "default-src 'none'; style-src 'unsafe-inline'; frame-ancestors 'none'");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_content(html, "text/html; charset=utf-8");
}

// Browsers of other machines reach a loopback service only through a proxy; the one-click
// sign-in refuses those requests, and requests whose Host a web page could have rebound.
bool comesFromThisComputer(const httplib::Request &request) {
    if (request.has_header("X-Forwarded-For") || request.has_header("Forwarded") ||
        request.has_header("X-Real-IP"))
        return false;
    std::string host = request.get_header_value("Host");
    if (host.rfind("[::1]", 0) == 0)
        return host.size() == 5 || host[5] == ':';
    host = host.substr(0, host.find(':'));
    return host == "localhost" || ServiceConfig::isLoopbackAddress(host);
}

// One thread for each connection, up to `maximum`. A connection holds its thread for as long as
// the client keeps sending within the read time-out, so a fixed small pool lets a few hundred
// slow clients keep everyone else waiting. The accepting thread only queues a connection; a
// thread that takes one starts another while too few wait, so one is always ready. Threads
// beyond `spare` end after a minute without work; connections beyond `maximum` wait.
class ConnectionThreads : public httplib::TaskQueue {
public:
    ConnectionThreads(std::size_t spare, std::size_t maximum)
        : m_spare(spare)
        , m_maximum(maximum) {
        std::lock_guard lock(m_mutex);
        while (m_threads.size() < m_spare)
            startThread();
    }
    ~ConnectionThreads() override { shutdown(); }

    void enqueue(std::function<void()> job) override {
        std::vector<std::thread> ended;
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
            ended = takeEnded();
        }
        m_wake.notify_one();
        for (std::thread &thread : ended)
            thread.join();
    }

    void shutdown() override {
        std::map<std::thread::id, std::thread> threads;
        std::vector<std::thread> ended;
        {
            std::lock_guard lock(m_mutex);
            m_shutdown = true;
            threads.swap(m_threads);
            ended = takeEnded();
        }
        m_wake.notify_all();
        for (auto &[id, thread] : threads)
            thread.join();
        for (std::thread &thread : ended)
            thread.join();
    }

private:
    void work() {
        std::unique_lock lock(m_mutex);
        while (true) {
            ++m_idle;
            const bool woken = m_wake.wait_for(lock, std::chrono::minutes(1),
                                               [this] { return !m_jobs.empty() || m_shutdown; });
            --m_idle;
            if (m_jobs.empty()) {
                if (m_shutdown)
                    return;
                if (!woken && m_threads.size() > m_spare) {
                    // The next enqueue() or shutdown() joins this thread.
                    const auto self = m_threads.find(std::this_thread::get_id());
                    m_ended.push_back(std::move(self->second));
                    m_threads.erase(self);
                    return;
                }
                continue;
            }
            std::function<void()> job = std::move(m_jobs.front());
            m_jobs.pop_front();
            if (m_jobs.size() >= m_idle && m_threads.size() < m_maximum)
                startThread();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    // With the mutex held.
    void startThread() {
        std::thread thread([this] { work(); });
        const auto id = thread.get_id();
        m_threads.emplace(id, std::move(thread));
    }

    std::vector<std::thread> takeEnded() {
        std::vector<std::thread> ended;
        ended.swap(m_ended);
        return ended;
    }

    const std::size_t m_spare;
    const std::size_t m_maximum;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    std::map<std::thread::id, std::thread> m_threads;
    std::vector<std::thread> m_ended;
    std::size_t m_idle = 0;
    bool m_shutdown = false;
};

// The listening server, which can also serve a connection that is not a socket.
class StreamServer : public httplib::Server {
public:
    using httplib::Server::keep_alive_max_count_;
    using httplib::Server::process_request;
    using httplib::Server::svr_sock_;
};

std::string callbackLocation(const std::string &access, const std::string &refresh) {
    return "orvanta://auth/callback?access_token=" + access + "&refresh_token=" + refresh;
}

} // namespace

HttpService::HttpService(const ServiceConfig &config, AccountStore &accounts, TokenService &tokens,
                         TranscriptionBackend &backend)
    : m_config(config)
    , m_accounts(accounts)
    , m_tokens(tokens)
    , m_backend(backend)
    , m_server(std::make_unique<StreamServer>()) {
    m_server->new_task_queue = [] {
        return new ConnectionThreads(spareConnectionThreads, maximumConnectionThreads);
    };
    m_server->set_payload_max_length(maximumBodyBytes);
    m_server->set_read_timeout(30, 0);
    m_server->set_write_timeout(30, 0);
    m_server->set_keep_alive_timeout(10);
    m_server->set_keep_alive_max_count(1000);
    // Small answers would otherwise wait for the delayed acknowledgement of the previous one.
    m_server->set_tcp_nodelay(true);
    routes();
}

HttpService::~HttpService() = default;

int HttpService::bind() {
    const int port = m_config.port == 0 ? m_server->bind_to_any_port(m_config.listen)
                     : m_server->bind_to_port(m_config.listen, m_config.port) ? m_config.port
                                                                              : -1;
    // cpp-httplib listens with a backlog of 5: in a burst of new connections the sixth and later
    // ones would wait a second for their connection request to be sent again.
    if (port > 0)
        ::listen(static_cast<StreamServer &>(*m_server).svr_sock_, SOMAXCONN);
    return port;
}

bool HttpService::run() {
    return m_server->listen_after_bind();
}

void HttpService::stop() {
    m_server->stop();
}

void HttpService::serve(httplib::Stream &stream) {
    auto &server = static_cast<StreamServer &>(*m_server);
    bool closed = false;
    for (std::size_t served = 0; !closed && stream.is_readable(); ++served) {
        const bool last = served + 1 >= server.keep_alive_max_count_;
        if (!server.process_request(stream, last, closed, nullptr) || last)
            break;
    }
}

std::string HttpService::formField(const std::string &body, const char *name) {
    QByteArray text = QByteArray::fromStdString(body);
    text.replace('+', ' ');
    const QUrlQuery query(QString::fromUtf8(text));
    return query.queryItemValue(QString::fromUtf8(name), QUrl::FullyDecoded).toStdString();
}

void HttpService::routes() {
    using httplib::Request, httplib::Response;
    auto guarded = [this](void (HttpService::*handler)(const Request &, Response &)) {
        return [this, handler](const Request &request, Response &response) {
            try {
                (this->*handler)(request, response);
            } catch (const StoreFull &error) {
                qCCritical(lcService)
                    << "Request" << request.path.c_str() << "failed:" << error.what();
                response.set_header("Retry-After", "60");
                sendError(response, 503, "The service's disk is full. Try again later.");
            } catch (const std::exception &error) {
                qCCritical(lcService)
                    << "Request" << request.path.c_str() << "failed:" << error.what();
                sendError(response, 500, "The service failed; see its log.");
            }
        };
    };
    m_server->Get("/signin", guarded(&HttpService::signInPage));
    m_server->Post("/signin", guarded(&HttpService::signIn));
    m_server->Get("/manage", guarded(&HttpService::managePage));
    m_server->Post("/manage", guarded(&HttpService::manage));
    m_server->Post("/auth/refresh", guarded(&HttpService::refresh));
    m_server->Get("/me", guarded(&HttpService::me));
    m_server->Post("/transcribe", guarded(&HttpService::transcribe));
    m_server->set_logger([](const Request &request, const Response &response) {
        if (response.status >= 500)
            qCWarning(lcService) << request.method.c_str() << request.path.c_str()
                                 << response.status;
        else
            qCDebug(lcService) << request.method.c_str() << request.path.c_str() << response.status;
    });
    m_server->set_error_handler([](const Request &, Response &response) {
        if (!response.body.empty())
            return;
        switch (response.status) {
        case 404:
            sendError(response, 404, "Not found.");
            break;
        case 413:
            sendError(response, 413, "The request is larger than this service accepts.");
            break;
        default:
            sendError(response, response.status, "The request cannot be served.");
        }
    });
}

bool HttpService::localSignIn() const {
    return !m_config.localUser.empty();
}

std::string HttpService::issueTokens(const Account &account, std::string &refreshToken) {
    refreshToken = TokenService::newRefreshToken();
    m_accounts.storeRefreshToken(TokenService::hashRefreshToken(refreshToken), account.id,
                                 now() + TokenService::refreshLifetimeSeconds);
    return m_tokens.issueAccessToken(account.id, account.email, now());
}

std::optional<Account> HttpService::formAccount(const httplib::Request &request,
                                                std::string &error) {
    if (localSignIn()) {
        if (!comesFromThisComputer(request)) {
            error = "The one-click sign-in works only in a browser on this computer.";
            return std::nullopt;
        }
        return m_accounts.findByEmail(m_config.localUser);
    }
    const std::string email = TextRules::normalizedEmail(formField(request.body, "email"));
    const std::string password = formField(request.body, "password");
    std::optional<Account> account;
    if (!email.empty() && password.size() <= 4096)
        account = m_accounts.findByEmail(email);
    // The hash check runs for unknown addresses too, so timing does not reveal which exist.
    static const std::string decoy = TokenService::hashPassword("decoy password");
    const bool matches =
        TokenService::passwordMatches(account ? account->passwordHash : decoy, password);
    if (!account || !matches) {
        error = "Wrong e-mail address or password.";
        return std::nullopt;
    }
    return account;
}

void HttpService::signInPage(const httplib::Request &, httplib::Response &response) {
    sendPage(response, 200, Pages::signIn("/signin", "Sign in to Talvo", {}, m_config.localUser));
}

void HttpService::signIn(const httplib::Request &request, httplib::Response &response) {
    std::string error;
    const auto account = formAccount(request, error);
    if (!account) {
        sendPage(response, localSignIn() ? 403 : 401,
                 Pages::signIn("/signin", "Sign in to Talvo", error, m_config.localUser));
        return;
    }
    std::string refreshToken;
    const std::string access = issueTokens(*account, refreshToken);
    const std::string location = callbackLocation(access, refreshToken);
    sendPage(response, 303, Pages::callback(location));
    response.set_header("Location", location);
}

void HttpService::managePage(const httplib::Request &, httplib::Response &response) {
    sendPage(response, 200, Pages::signIn("/manage", "Your account", {}, m_config.localUser));
}

void HttpService::manage(const httplib::Request &request, httplib::Response &response) {
    std::string error;
    const auto account = formAccount(request, error);
    if (!account) {
        sendPage(response, localSignIn() ? 403 : 401,
                 Pages::signIn("/manage", "Your account", error, m_config.localUser));
        return;
    }
    const long long used = m_accounts.wordsUsed(account->id, TextRules::monthKey(now()));
    sendPage(response, 200,
             Pages::account(account->email, account->plan, used, account->monthlyLimit));
}

void HttpService::refresh(const httplib::Request &request, httplib::Response &response) {
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(request.body));
    const QJsonValue token = document.object().value(QStringLiteral("refresh_token"));
    if (!document.isObject() || !token.isString()) {
        sendError(response, 400, "The body must be a JSON object with a string \"refresh_token\".");
        return;
    }
    const auto accountId = m_accounts.consumeRefreshToken(
        TokenService::hashRefreshToken(token.toString().toStdString()), now());
    const auto account = accountId ? m_accounts.findById(*accountId) : std::nullopt;
    if (!account) {
        sendError(response, 401, "The refresh token is not valid. Sign in again.");
        return;
    }
    std::string refreshToken;
    const std::string access = issueTokens(*account, refreshToken);
    sendJson(response, 200,
             QJsonObject{{QStringLiteral("access_token"), QString::fromStdString(access)},
                         {QStringLiteral("refresh_token"), QString::fromStdString(refreshToken)}});
}

std::optional<Account> HttpService::bearerAccount(const httplib::Request &request) {
    const std::string header = request.get_header_value("Authorization");
    constexpr std::string_view scheme = "Bearer ";
    if (header.size() <= scheme.size() || header.compare(0, scheme.size(), scheme) != 0)
        return std::nullopt;
    const auto claims = m_tokens.verify(std::string_view(header).substr(scheme.size()), now());
    if (!claims)
        return std::nullopt;
    auto account = m_accounts.findById(claims->accountId);
    if (!account || account->email != claims->email)
        return std::nullopt;
    return account;
}

void HttpService::me(const httplib::Request &request, httplib::Response &response) {
    const auto account = bearerAccount(request);
    if (!account) {
        sendError(response, 401, "Sign in required.");
        return;
    }
    const long long used = m_accounts.wordsUsed(account->id, TextRules::monthKey(now()));
    sendJson(response, 200,
             QJsonObject{{QStringLiteral("email"), QString::fromStdString(account->email)},
                         {QStringLiteral("plan"), QString::fromStdString(account->plan)},
                         {QStringLiteral("used"), used},
                         {QStringLiteral("limit"), account->monthlyLimit}});
}

namespace {

// Fills `request` from the client's JSON; returns the error text of a malformed body.
std::string readTranscriptionRequest(const QJsonObject &body, TranscriptionRequest &request) {
    auto optionalText = [&body](const char *name, std::string &target) {
        const QJsonValue value = body.value(QString::fromUtf8(name));
        if (value.isUndefined() || value.isNull())
            return true;
        if (!value.isString())
            return false;
        target = value.toString().toStdString();
        return true;
    };
    std::string format = "m4a";
    for (auto [name, target] : {std::pair{"format", &format},
                                {"model", &request.model},
                                {"language", &request.language},
                                {"mode", &request.mode},
                                {"instructions", &request.instructions}})
        if (!optionalText(name, *target))
            return std::string("\"") + name + "\" must be a string.";
    if (format != "m4a")
        return "Only \"m4a\" audio is accepted.";
    if (request.mode != "clean" && request.mode != "verbatim" && request.mode != "summary" &&
        request.mode != "email")
        return "\"mode\" must be clean, verbatim, summary or email.";
    const QJsonValue dictionary = body.value(QStringLiteral("dictionary"));
    if (!dictionary.isUndefined() && !dictionary.isNull() && !dictionary.isArray())
        return "\"dictionary\" must be an array of strings.";
    for (const QJsonValue &term : dictionary.toArray()) {
        if (!term.isString())
            return "\"dictionary\" must be an array of strings.";
        request.dictionary.push_back(term.toString().toStdString());
    }
    return {};
}

} // namespace

void HttpService::transcribe(const httplib::Request &request, httplib::Response &response) {
    const auto account = bearerAccount(request);
    if (!account) {
        sendError(response, 401, "Sign in required.");
        return;
    }
    QJsonParseError parseError{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(request.body), &parseError);
    if (!document.isObject()) {
        sendError(response, 400, "The body must be a JSON object.");
        return;
    }
    const QJsonObject body = document.object();
    const QJsonValue audioValue = body.value(QStringLiteral("audio_base64"));
    if (!audioValue.isString()) {
        sendError(response, 400, "\"audio_base64\" must be a string.");
        return;
    }
    TranscriptionRequest job;
    if (const std::string error = readTranscriptionRequest(body, job); !error.empty()) {
        sendError(response, 400, error);
        return;
    }
    const auto decodedBase64 = QByteArray::fromBase64Encoding(
        audioValue.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray &audio = decodedBase64.decoded;
    if (!decodedBase64) {
        sendError(response, 400, "\"audio_base64\" is not valid Base64.");
        return;
    }
    if (static_cast<std::size_t>(audio.size()) > maximumAudioBytes) {
        sendError(response, 413, "The recording is larger than 25 MB.");
        return;
    }
    if (const std::string error = m_backend.rejectModel(job.model); !error.empty()) {
        sendError(response, 400, error);
        return;
    }
    const std::string month = TextRules::monthKey(now());
    const long long used = m_accounts.wordsUsed(account->id, month);
    if (used >= account->monthlyLimit) {
        sendError(response, 402,
                  "You have used all " + std::to_string(account->monthlyLimit) +
                      " words of your plan this month. The allowance renews on the first of "
                      "next month.");
        return;
    }
    auto decoded = AudioDecoder::decodeM4a(
        std::string_view(audio.constData(), static_cast<std::size_t>(audio.size())));
    if (!decoded.error.empty()) {
        sendError(response, 400, decoded.error);
        return;
    }
    job.samples = std::move(decoded.samples);
    job.recording = std::string_view(audio.constData(), static_cast<std::size_t>(audio.size()));
    const TranscriptionResult result = m_backend.transcribe(job);
    if (result.status != 0) {
        sendError(response, result.status, result.error);
        return;
    }
    m_accounts.addWords(account->id, month, TextRules::countWords(result.text));
    sendJson(response, 200,
             QJsonObject{{QStringLiteral("text"), QString::fromStdString(result.text)}});
}
