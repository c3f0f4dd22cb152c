#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct AccessClaims {
    std::int64_t accountId = 0;
    std::string email;
    long long expiresAt = 0;
};

// Access tokens are JWTs signed with HS256 under a secret of the data folder; refresh tokens are
// random strings of which the store keeps only a hash. Passwords are hashed with Argon2id.
class TokenService {
public:
    static constexpr long long accessLifetimeSeconds = 3600;
    static constexpr long long refreshLifetimeSeconds = 60LL * 24 * 3600;

    // Reads the secret from `file`, or creates it (mode 0600) with fresh random bytes.
    // Throws std::runtime_error when it can do neither or the file is damaged.
    static std::string loadOrCreateSecret(const std::string &file);

    explicit TokenService(std::string secret);

    std::string issueAccessToken(std::int64_t accountId, const std::string &email,
                                 long long now) const;
    // The claims of a token this service signed and that has not expired; nothing otherwise.
    std::optional<AccessClaims> verify(std::string_view token, long long now) const;

    static std::string newRefreshToken();
    static std::string hashRefreshToken(std::string_view token);

    static std::string hashPassword(const std::string &password);
    static bool passwordMatches(const std::string &hash, const std::string &password);

private:
    std::string signature(std::string_view signedPart) const;

    std::string m_secret;
};

namespace Base64Url {
std::string encode(std::string_view bytes);
std::optional<std::string> decode(std::string_view text);
} // namespace Base64Url
