#pragma once

#include "Config.h"
#include "TranscribeError.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <qcoro/qcorotask.h>

#include <optional>

class QNetworkAccessManager;

namespace orvanta {

class Auth;
class Settings;
class Vocabulary;
struct HttpAnswer;

// How one transcription ended: the text, one of the TranscribeError cases, or another failure
// (the recording could not be read) with its own description.
class TranscribeOutcome {
public:
    // A failure without description; waiting on a task needs a default value.
    TranscribeOutcome() = default;
    static TranscribeOutcome success(QString text);
    static TranscribeOutcome failure(TranscribeError error);
    static TranscribeOutcome otherFailure(QString description);

    bool succeeded() const { return m_text.has_value(); }
    // Empty unless succeeded.
    QString text() const { return m_text.value_or(QString()); }
    const std::optional<TranscribeError> &error() const { return m_error; }
    // The text the user is shown for a failure.
    QString errorDescription() const;

private:
    std::optional<QString> m_text;
    std::optional<TranscribeError> m_error;
    QString m_otherDescription;
};

// Turns one recording into text with a single call to the service's "/transcribe" endpoint,
// renewing the access token once when the service rejects it.
class Transcriber : public QObject {
    Q_OBJECT

public:
    // The user's preferences that go along with the audio.
    struct Inputs {
        QString model;
        QString language;
        QString mode;
        QStringList dictionary;
        QString instructions;
    };

    Transcriber(Config config, const Settings &settings, const Vocabulary &vocabulary, Auth &auth,
                QNetworkAccessManager &network, QObject *parent = nullptr);

    // Call on the main thread. The file is read and encoded on a worker thread.
    QCoro::Task<TranscribeOutcome> transcribe(QString audioFile);

    // The compact JSON request: the audio in standard Base64 and the five inputs.
    static QByteArray requestBody(const QByteArray &audio, const Inputs &inputs);
    // What the final answer of the service means.
    static TranscribeOutcome interpret(const HttpAnswer &answer);

private:
    Inputs currentInputs() const;
    QCoro::Task<HttpAnswer> send(QByteArray body, QString token);

    Config m_config;
    const Settings &m_settings;
    const Vocabulary &m_vocabulary;
    Auth &m_auth;
    QNetworkAccessManager &m_network;
};

} // namespace orvanta
