// Any bytes a client sends to orvanta-service over one connection, through the router and the
// handlers of the real service. "{{access}}" and "{{refresh}}" in the input become tokens the
// service issued a moment ago, so that the checked-in requests stay signed in.
#include "AccountStore.h"
#include "FuzzHarness.h"
#include "HttpService.h"
#include "ServiceConfig.h"
#include "TokenService.h"
#include "TranscriptionBackend.h"

#include <httplib.h>

extern "C" {
#include <libavutil/log.h>
}

#include <ctime>
#include <string>

namespace {

// Answers at once with the number of samples, so every request reaches the end of its handler.
class CountingBackend : public TranscriptionBackend {
public:
    std::string rejectModel(const std::string &model) const override {
        return model == "refused-model" ? "Unknown model." : "";
    }
    TranscriptionResult transcribe(const TranscriptionRequest &request) override {
        if (request.samples.empty())
            return TranscriptionResult::failure(422, "No speech.");
        return TranscriptionResult::success("heard " + std::to_string(request.samples.size()));
    }
};

// One connection: reads the fuzzed bytes, throws the answers away.
class BufferStream : public httplib::Stream {
public:
    explicit BufferStream(std::string bytes)
        : m_bytes(std::move(bytes)) {}
    bool is_readable() const override { return m_position < m_bytes.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char *ptr, std::size_t size) override {
        const std::size_t count = std::min(size, m_bytes.size() - m_position);
        m_bytes.copy(ptr, count, m_position);
        m_position += count;
        return static_cast<ssize_t>(count);
    }
    ssize_t write(const char *, std::size_t size) override { return static_cast<ssize_t>(size); }
    void get_remote_ip_and_port(std::string &ip, int &port) const override {
        ip = "127.0.0.1";
        port = 40000;
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override {
        ip = "127.0.0.1";
        port = 8787;
    }
    socket_t socket() const override { return -1; }

private:
    std::string m_bytes;
    std::size_t m_position = 0;
};

ServiceConfig localConfig() {
    ServiceConfig config;
    config.localUser = "ada@localhost";
    return config;
}

// The service with an account of its own, in a database in memory.
struct Service {
    ServiceConfig config = localConfig();
    AccountStore store{":memory:"};
    TokenService tokens{std::string(32, 's')};
    CountingBackend backend;
    Account account = store.saveAccount(config.localUser, std::nullopt, 100000, "", 100000);
    HttpService http{config, store, tokens, backend};
};

void replaceAll(std::string &text, const std::string &from, const std::string &to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

// As orvanta-service's main() does: FFmpeg's own complaints about broken files stay quiet.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

FUZZ_TARGET(std::string, input) {
    static Service service;
    std::string bytes = input;
    if (bytes.find("{{access}}") != std::string::npos)
        replaceAll(bytes, "{{access}}",
                   service.tokens.issueAccessToken(service.account.id, service.account.email,
                                                   static_cast<long long>(std::time(nullptr))));
    if (bytes.find("{{refresh}}") != std::string::npos) {
        const std::string refresh = TokenService::newRefreshToken();
        service.store.storeRefreshToken(TokenService::hashRefreshToken(refresh), service.account.id,
                                        std::time(nullptr) + 3600);
        replaceAll(bytes, "{{refresh}}", refresh);
    }
    BufferStream stream(std::move(bytes));
    service.http.serve(stream);
}
