// GLib headers use "signals" as a name, which Qt defines as a macro: they come first.
#include <libsecret/secret.h>

#include "Keychain.h"

#include "CloudLogging.h"

#include <QFuture>
#include <QPromise>
#include <QStringDecoder>
#include <QThreadPool>

#include <qcoro/qcorofuture.h>

#include <atomic>
#include <memory>

namespace orvanta {

namespace {

constexpr const char *serviceAttribute = "com.orvanta.app";

// Items match on the two attributes alone, so items written by other tools with the same
// attributes are found too.
const SecretSchema *schema() {
    static const SecretSchema tokenSchema = {serviceAttribute,
                                             SECRET_SCHEMA_DONT_MATCH_NAME,
                                             {
                                                 {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                                 {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                                 {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
                                             },
                                             0,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr,
                                             nullptr};
    return &tokenSchema;
}

// Takes ownership of `error`. Only the first failure of a run is logged; the message of a
// Secret Service error never holds the secret itself.
void noteFailure(GError *error) {
    if (!error)
        return;
    static std::atomic_bool warned = false;
    if (!warned.exchange(true))
        qCWarning(lcKeychain).noquote()
            << "The Secret Service is not available; sign-in tokens cannot be kept:"
            << QString::fromUtf8(error->message);
    g_error_free(error);
}

std::optional<QString> strictUtf8(const char *data, gsize length) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(QByteArrayView(data, qsizetype(length)));
    if (decoder.hasError() || text.isEmpty())
        return std::nullopt;
    return text;
}

// One thread at most, so the queue is worked through in the order jobs were added.
struct SerialPool : QThreadPool {
    SerialPool() { setMaxThreadCount(1); }
};

// A static object: its destruction at exit waits for the writes still queued.
QThreadPool &storeThread() {
    static SerialPool pool;
    return pool;
}

void clear(const QByteArray &account) {
    GError *error = nullptr;
    secret_password_clear_sync(schema(), nullptr, &error, "service", serviceAttribute, "account",
                               account.constData(), nullptr);
    noteFailure(error);
}

std::optional<QString> lookUp(const QByteArray &account) {
    GError *error = nullptr;
    SecretValue *value =
        secret_password_lookup_binary_sync(schema(), nullptr, &error, "service", serviceAttribute,
                                           "account", account.constData(), nullptr);
    noteFailure(error);
    if (!value)
        return std::nullopt;
    gsize length = 0;
    const gchar *data = secret_value_get(value, &length);
    std::optional<QString> text = strictUtf8(data, length);
    secret_value_unref(value);
    return text;
}

void store(const QByteArray &account, const QByteArray &label, QByteArray secret) {
    clear(account);
    if (secret.isEmpty())
        return;
    GError *error = nullptr;
    secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(),
                               secret.constData(), nullptr, &error, "service", serviceAttribute,
                               "account", account.constData(), nullptr);
    secret.fill('\0');
    noteFailure(error);
}

} // namespace

QCoro::Task<std::optional<QString>> Keychain::get(QString account) {
    auto promise = std::make_shared<QPromise<std::optional<QString>>>();
    QFuture<std::optional<QString>> answer = promise->future();
    promise->start();
    storeThread().start([promise, accountBytes = account.toUtf8()] {
        promise->addResult(lookUp(accountBytes));
        promise->finish();
    });
    co_return co_await answer;
}

void Keychain::set(const std::optional<QString> &value, const QString &account) {
    const QByteArray label = (service + QStringLiteral(": ") + account).toUtf8();
    storeThread().start([account = account.toUtf8(), label, secret = value.value_or(QString())] {
        store(account, label, secret.toUtf8());
    });
}

} // namespace orvanta
