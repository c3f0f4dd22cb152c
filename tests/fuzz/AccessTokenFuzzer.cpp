// Any bearer token. The input is checked as it is, and once more signed with the service's
// secret, so that the claims behind a valid signature are searched too.
#include "FuzzHarness.h"
#include "TokenService.h"

#include <sodium.h>

#include <string>

namespace {

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

FUZZ_TARGET(std::string, input) {
    static const TokenService tokens(secret);
    tokens.verify(input, now);
    // "header.payload" as the fuzzer wrote it, with a signature that holds.
    if (const auto claims = tokens.verify(signedWithSecret(input), now))
        FUZZ_CHECK(claims->expiresAt > now);
    // Base64url text that decodes must encode back to itself.
    if (const auto decoded = Base64Url::decode(input))
        FUZZ_CHECK(Base64Url::encode(*decoded) == input);
}
