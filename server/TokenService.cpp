#include "TokenService.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <fcntl.h>
#include <semaphore>
#include <sodium.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace Base64Url {

std::string encode(std::string_view bytes) {
    std::string text(
        sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_URLSAFE_NO_PADDING), '\0');
    sodium_bin2base64(text.data(), text.size(),
                      reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(),
                      sodium_base64_VARIANT_URLSAFE_NO_PADDING);
    text.resize(text.size() - 1);
    return text;
}

std::optional<std::string> decode(std::string_view text) {
    std::string bytes(text.size(), '\0');
    std::size_t length = 0;
    const char *end = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char *>(bytes.data()), bytes.size(),
                          text.data(), text.size(), nullptr, &length, &end,
                          sodium_base64_VARIANT_URLSAFE_NO_PADDING) != 0 ||
        end != text.data() + text.size())
        return std::nullopt;
    bytes.resize(length);
    // The decoder ignores the unused bits of the last character; a token has one spelling only.
    if (encode(bytes) != text)
        return std::nullopt;
    return bytes;
}

} // namespace Base64Url

namespace {

constexpr std::size_t secretBytes = crypto_auth_hmacsha256_KEYBYTES;

// Each password hash takes 64 MiB for a moment; a burst of sign-ins must not take the memory of
// the whole machine, so only two run at a time and the others wait.
std::counting_semaphore<2> passwordHashSlots(2);

struct PasswordHashSlot {
    PasswordHashSlot() { passwordHashSlots.acquire(); }
    ~PasswordHashSlot() { passwordHashSlots.release(); }
    PasswordHashSlot(const PasswordHashSlot &) = delete;
    PasswordHashSlot &operator=(const PasswordHashSlot &) = delete;
};

std::optional<QJsonObject> jsonObject(std::string_view part) {
    const auto bytes = Base64Url::decode(part);
    if (!bytes)
        return std::nullopt;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size())));
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

std::string compactJson(const QJsonObject &object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace

std::string TokenService::loadOrCreateSecret(const std::string &file) {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot start");
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) {
        std::string secret(secretBytes, '\0');
        randombytes_buf(secret.data(), secret.size());
        fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            const bool written =
                ::write(fd, secret.data(), secret.size()) == static_cast<ssize_t>(secret.size()) &&
                ::fsync(fd) == 0;
            ::close(fd);
            if (!written)
                throw std::runtime_error("cannot write the token secret " + file);
            return secret;
        }
        // Another process created it first: read theirs.
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (fd < 0)
        throw std::runtime_error("cannot open the token secret " + file);
    struct stat info {};
    std::string secret(secretBytes + 1, '\0');
    const ssize_t length = ::read(fd, secret.data(), secret.size());
    const bool private_ = ::fstat(fd, &info) == 0 && (info.st_mode & 077) == 0;
    ::close(fd);
    if (length != static_cast<ssize_t>(secretBytes))
        throw std::runtime_error("the token secret " + file +
                                 " is damaged; delete it to sign "
                                 "every user out and start afresh");
    if (!private_)
        throw std::runtime_error("the token secret " + file +
                                 " is readable by other users; chmod 600 it");
    secret.resize(secretBytes);
    return secret;
}

TokenService::TokenService(std::string secret)
    : m_secret(std::move(secret)) {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot start");
    if (m_secret.size() != secretBytes)
        throw std::invalid_argument("the token secret has the wrong size");
}

std::string TokenService::signature(std::string_view signedPart) const {
    unsigned char mac[crypto_auth_hmacsha256_BYTES];
    crypto_auth_hmacsha256(mac, reinterpret_cast<const unsigned char *>(signedPart.data()),
                           signedPart.size(),
                           reinterpret_cast<const unsigned char *>(m_secret.data()));
    return std::string(reinterpret_cast<const char *>(mac), sizeof mac);
}

std::string TokenService::issueAccessToken(std::int64_t accountId, const std::string &email,
                                           long long now) const {
    const QJsonObject header{{QStringLiteral("alg"), QStringLiteral("HS256")},
                             {QStringLiteral("typ"), QStringLiteral("JWT")}};
    const QJsonObject payload{
        {QStringLiteral("sub"), QString::number(accountId)},
        {QStringLiteral("email"), QString::fromStdString(email)},
        {QStringLiteral("iat"), static_cast<qint64>(now)},
        {QStringLiteral("exp"), static_cast<qint64>(now + accessLifetimeSeconds)},
    };
    const std::string signedPart =
        Base64Url::encode(compactJson(header)) + "." + Base64Url::encode(compactJson(payload));
    return signedPart + "." + Base64Url::encode(signature(signedPart));
}

std::optional<AccessClaims> TokenService::verify(std::string_view token, long long now) const {
    if (token.size() > 4096)
        return std::nullopt;
    const auto firstDot = token.find('.');
    const auto lastDot = token.rfind('.');
    if (firstDot == std::string_view::npos || firstDot == lastDot)
        return std::nullopt;
    const std::string_view signedPart = token.substr(0, lastDot);
    const auto mac = Base64Url::decode(token.substr(lastDot + 1));
    if (!mac || mac->size() != crypto_auth_hmacsha256_BYTES ||
        sodium_memcmp(mac->data(), signature(signedPart).data(), mac->size()) != 0)
        return std::nullopt;
    const auto header = jsonObject(token.substr(0, firstDot));
    const auto payload = jsonObject(token.substr(firstDot + 1, lastDot - firstDot - 1));
    if (!header || !payload || header->value(QStringLiteral("alg")) != QStringLiteral("HS256"))
        return std::nullopt;
    const QJsonValue exp = payload->value(QStringLiteral("exp"));
    const QJsonValue email = payload->value(QStringLiteral("email"));
    bool idOk = false;
    const qint64 id = payload->value(QStringLiteral("sub")).toString().toLongLong(&idOk);
    if (!exp.isDouble() || !email.isString() || !idOk)
        return std::nullopt;
    const auto expiresAt = static_cast<long long>(exp.toDouble());
    if (expiresAt <= now)
        return std::nullopt;
    return AccessClaims{id, email.toString().toStdString(), expiresAt};
}

std::string TokenService::newRefreshToken() {
    unsigned char bytes[32];
    randombytes_buf(bytes, sizeof bytes);
    return Base64Url::encode(std::string_view(reinterpret_cast<const char *>(bytes), sizeof bytes));
}

std::string TokenService::hashRefreshToken(std::string_view token) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char *>(token.data()), token.size());
    char hex[sizeof digest * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return hex;
}

std::string TokenService::hashPassword(const std::string &password) {
    char hash[crypto_pwhash_STRBYTES];
    const PasswordHashSlot slot;
    if (crypto_pwhash_str(hash, password.data(), password.size(),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw std::runtime_error("not enough memory to hash the password");
    return hash;
}

bool TokenService::passwordMatches(const std::string &hash, const std::string &password) {
    if (hash.empty())
        return false;
    const PasswordHashSlot slot;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}
