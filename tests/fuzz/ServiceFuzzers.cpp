// The service's decoders of what clients send.
#include "AccountStore.h"
#include "AudioDecoder.h"
#include "FuzzHarness.h"
#include "HttpService.h"
#include "ServiceConfig.h"
#include "TextRules.h"
#include "TokenService.h"
#include "TranscriptionBackend.h"

#include <httplib.h>
#include <sodium.h>

extern "C" {
#include <libavutil/log.h>
}

#include <ctime>
#include <string>

namespace {

// Answers at once with the number of samples, so every request reaches the end of its handler.
struct CountingBackend : TranscriptionBackend {
    std::string rejectModel(const std::string &model) const override {
        return model == "refused-model" ? "Unknown model." : "";
    }
    TranscriptionResult transcribe(const TranscriptionRequest &request) override {
        return request.samples.empty() ? TranscriptionResult::failure(422, "No speech.")
                                       : TranscriptionResult::success(
                                             "heard " + std::to_string(request.samples.size()));
    }
};

// One connection: reads the fuzzed bytes, throws the answers away.
struct BufferStream : httplib::Stream {
    std::string bytes;
    std::size_t position = 0;
    bool is_readable() const override { return position < bytes.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char *ptr, std::size_t size) override {
        const std::size_t count = bytes.copy(ptr, size, position);
        position += count;
        return ssize_t(count);
    }
    ssize_t write(const char *, std::size_t size) override { return ssize_t(size); }
    void get_remote_ip_and_port(std::string &, int &) const override {}
    void get_local_ip_and_port(std::string &, int &) const override {}
    socket_t socket() const override { return -1; }
};

// The service with an account of its own (the local user's), in a database in memory.
struct Service {
    ServiceConfig config;
    AccountStore store{":memory:"};
    TokenService tokens{std::string(32, 's')};
    CountingBackend backend;
    Account account =
        store.saveAccount(config.localUser = "ada@localhost", std::nullopt, 100000, "", 100000);
    HttpService http{config, store, tokens, backend};
};

void replaceAll(std::string &text, const std::string &from, const std::string &to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

const std::string secret(32, 'k');
constexpr long long now = 1'800'000'000;

std::string signedWithSecret(const std::string &signedPart) {
    unsigned char mac[crypto_auth_hmacsha256_BYTES];
    crypto_auth_hmacsha256(mac, reinterpret_cast<const unsigned char *>(signedPart.data()),
                           signedPart.size(),
                           reinterpret_cast<const unsigned char *>(secret.data()));
    return signedPart + "." +
           Base64Url::encode(std::string_view(reinterpret_cast<const char *>(mac), sizeof mac));
}

} // namespace

// As orvanta-service's main() does: FFmpeg's own complaints about broken files stay quiet.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

// Any bytes a client sends over one connection, through the router and the handlers of the
// real service. "{{access}}" and "{{refresh}}" in the input become tokens the service issued a
// moment ago, so that the checked-in requests stay signed in.
FUZZ_TARGET(fuzz_service_requests, std::string, input) {
    static Service service;
    BufferStream stream;
    stream.bytes = input;
    if (input.find("{{access}}") != std::string::npos)
        replaceAll(stream.bytes, "{{access}}",
                   service.tokens.issueAccessToken(service.account.id, service.account.email,
                                                   static_cast<long long>(std::time(nullptr))));
    if (input.find("{{refresh}}") != std::string::npos) {
        const std::string refresh = TokenService::newRefreshToken();
        service.store.storeRefreshToken(TokenService::hashRefreshToken(refresh), service.account.id,
                                        std::time(nullptr) + 3600);
        replaceAll(stream.bytes, "{{refresh}}", refresh);
    }
    service.http.serve(stream);
}

// Any bearer token. The input is checked as it is, and once more signed with the service's
// secret, so that the claims behind a valid signature are searched too.
FUZZ_TARGET(fuzz_access_token, std::string, input) {
    static const TokenService tokens(secret);
    tokens.verify(input, now);
    if (const auto claims = tokens.verify(signedWithSecret(input), now))
        FUZZ_CHECK(claims->expiresAt > now);
    // Base64url text that decodes must encode back to itself.
    if (const auto decoded = Base64Url::decode(input))
        FUZZ_CHECK(Base64Url::encode(*decoded) == input);
}

// Any body of a sign-in form. A normalised address is a fixed point: the store finds the same
// account again.
FUZZ_TARGET(fuzz_sign_in_form, std::string, body) {
    const std::string email = TextRules::normalizedEmail(HttpService::formField(body, "email"));
    HttpService::formField(body, "password");
    FUZZ_CHECK(email.empty() || TextRules::normalizedEmail(email) == email);
}

// Any recording in a "/transcribe" body.
FUZZ_TARGET(fuzz_audio_decoder, std::string_view, input) {
    const AudioDecoder::Result result = AudioDecoder::decodeM4a(input);
    FUZZ_CHECK(result.error.empty() || result.samples.empty());
    FUZZ_CHECK(result.samples.size() <=
               static_cast<std::size_t>(AudioDecoder::sampleRate) * AudioDecoder::maximumSeconds);
}
