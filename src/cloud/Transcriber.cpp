#include "Transcriber.h"

#include "Auth.h"
#include "CloudLogging.h"
#include "HttpExchange.h"
#include "Settings.h"
#include "Vocabulary.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QPromise>
#include <QStringDecoder>
#include <QThreadPool>

#include <qcoro/qcorofuture.h>

#include <memory>
#include <type_traits>

namespace orvanta {

namespace {

const QString cancelledText = QStringLiteral("The transcription was cancelled.");

// Runs `work` on the shared thread pool; the future resolves on the awaiting thread.
template <typename Work> QFuture<std::invoke_result_t<Work>> inBackground(Work work) {
    using Result = std::invoke_result_t<Work>;
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)]() mutable {
        promise->addResult(work());
        promise->finish();
    });
    return future;
}

struct PreparedRequest {
    std::optional<QByteArray> body;
    QString readFailure;
};

PreparedRequest prepareRequest(const QString &audioFile, const Transcriber::Inputs &inputs) {
    QFile file(audioFile);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, file.errorString()};
    const QByteArray audio = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, file.errorString()};
    return {Transcriber::requestBody(audio, inputs), {}};
}

// Strict UTF-8. A body that was cut off may end inside a character; that part is dropped.
std::optional<QString> bodyText(const HttpAnswer &answer) {
    QStringDecoder decoder(QStringDecoder::Utf8, answer.bodyTruncated
                                                     ? QStringDecoder::Flag::Default
                                                     : QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(answer.body);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// The service's "error" member, or else the raw body text.
QString failureMessage(const HttpAnswer &answer) {
    if (const std::optional<QJsonObject> object = answer.jsonObject()) {
        const QJsonValue error = object->value(QStringLiteral("error"));
        if (error.isString())
            return error.toString();
    }
    return bodyText(answer).value_or(QString());
}

} // namespace

TranscribeOutcome TranscribeOutcome::success(QString text) {
    TranscribeOutcome outcome;
    outcome.m_text = std::move(text);
    return outcome;
}

TranscribeOutcome TranscribeOutcome::failure(TranscribeError error) {
    TranscribeOutcome outcome;
    outcome.m_error = std::move(error);
    return outcome;
}

TranscribeOutcome TranscribeOutcome::otherFailure(QString description) {
    TranscribeOutcome outcome;
    outcome.m_otherDescription = std::move(description);
    return outcome;
}

QString TranscribeOutcome::errorDescription() const {
    if (m_error)
        return m_error->errorDescription();
    return m_otherDescription;
}

Transcriber::Transcriber(Config config, const Settings &settings, const Vocabulary &vocabulary,
                         Auth &auth, QNetworkAccessManager &network, QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_settings(settings)
    , m_vocabulary(vocabulary)
    , m_auth(auth)
    , m_network(network) {}

QCoro::Task<TranscribeOutcome> Transcriber::transcribe(QString audioFile) {
    if (!m_config.isConfigured())
        co_return TranscribeOutcome::failure(TranscribeError::proxyNotConfigured());
    const Inputs inputs = currentInputs();

    QPointer<Transcriber> self(this);
    // Named rather than temporary: GCC 12 mishandles temporaries with captures in co_await.
    QFuture<PreparedRequest> preparing =
        inBackground([audioFile, inputs] { return prepareRequest(audioFile, inputs); });
    const PreparedRequest prepared = co_await preparing;
    if (!self)
        co_return TranscribeOutcome::otherFailure(cancelledText);
    if (!prepared.body) {
        qCWarning(lcTranscriber).noquote() << "Cannot read the recording:" << prepared.readFailure;
        co_return TranscribeOutcome::otherFailure(prepared.readFailure);
    }

    const std::optional<QString> token = co_await m_auth.accessToken();
    if (!self)
        co_return TranscribeOutcome::otherFailure(cancelledText);
    if (!token)
        co_return TranscribeOutcome::failure(TranscribeError::notSignedIn());

    HttpAnswer answer = co_await send(*prepared.body, *token);
    if (!self)
        co_return TranscribeOutcome::otherFailure(cancelledText);
    if (answer.status == 401 && answer.completed()) {
        qCInfo(lcTranscriber) << "Access token rejected; renewing it once";
        const std::optional<QString> renewed = co_await m_auth.refreshIfPossible();
        if (!self)
            co_return TranscribeOutcome::otherFailure(cancelledText);
        if (renewed) {
            answer = co_await send(*prepared.body, *renewed);
            if (!self)
                co_return TranscribeOutcome::otherFailure(cancelledText);
        }
    }
    if (!answer.completed())
        co_return TranscribeOutcome::failure(TranscribeError::network(*answer.transportFailure));
    QFuture<TranscribeOutcome> interpreting = inBackground([answer] { return interpret(answer); });
    const TranscribeOutcome outcome = co_await interpreting;
    co_return outcome;
}

QCoro::Task<HttpAnswer> Transcriber::send(QByteArray body, QString token) {
    QNetworkRequest request = HttpExchange::request(
        m_config.endpoint(QStringLiteral("/transcribe")), m_config.transferTimeout());
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    co_return co_await HttpExchange::post(m_network, request, body);
}

Transcriber::Inputs Transcriber::currentInputs() const {
    return {m_settings.model(), m_settings.language(), rawValue(m_settings.dictationMode()),
            m_vocabulary.terms(), m_vocabulary.instructions()};
}

QByteArray Transcriber::requestBody(const QByteArray &audio, const Inputs &inputs) {
    const QJsonObject request{
        {QStringLiteral("audio_base64"), QString::fromLatin1(audio.toBase64())},
        {QStringLiteral("format"), QStringLiteral("m4a")},
        {QStringLiteral("model"), inputs.model},
        {QStringLiteral("language"), inputs.language},
        {QStringLiteral("mode"), inputs.mode},
        {QStringLiteral("dictionary"), QJsonArray::fromStringList(inputs.dictionary)},
        {QStringLiteral("instructions"), inputs.instructions},
    };
    return QJsonDocument(request).toJson(QJsonDocument::Compact);
}

TranscribeOutcome Transcriber::interpret(const HttpAnswer &answer) {
    const int status = answer.status;
    if (status == 401)
        return TranscribeOutcome::failure(TranscribeError::notSignedIn());
    if (status < 200 || status > 299) {
        const QString message = failureMessage(answer);
        if (status == 402 || status == 413)
            return TranscribeOutcome::failure(TranscribeError::limitReached(message));
        return TranscribeOutcome::failure(TranscribeError::http(status, message));
    }
    const std::optional<QJsonObject> object = answer.jsonObject();
    const QJsonValue text = object ? object->value(QStringLiteral("text")) : QJsonValue();
    const QString trimmed = text.isString() ? text.toString().trimmed() : QString();
    if (trimmed.isEmpty())
        return TranscribeOutcome::failure(TranscribeError::emptyResponse());
    return TranscribeOutcome::success(trimmed);
}

} // namespace orvanta
