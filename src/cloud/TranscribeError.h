#pragma once

#include <QString>

namespace orvanta {

// The closed set of ways a transcription fails, each with the text the user is shown.
class TranscribeError {
public:
    enum class Kind { LimitReached, Http, Network, ProxyNotConfigured, NotSignedIn, EmptyResponse };

    // The longest service message kept in an `http` error, in user-perceived characters.
    static constexpr int httpBodyLimit = 300;

    static TranscribeError limitReached(QString message);
    // Keeps only the first `httpBodyLimit` characters of `message`.
    static TranscribeError http(int status, const QString &message);
    static TranscribeError network(QString message);
    static TranscribeError proxyNotConfigured();
    static TranscribeError notSignedIn();
    static TranscribeError emptyResponse();

    Kind kind() const { return m_kind; }
    // 0 unless the kind is Http.
    int status() const { return m_status; }
    // The message of LimitReached and Network, the body of Http, empty otherwise.
    QString text() const { return m_text; }

    QString errorDescription() const;

    friend bool operator==(const TranscribeError &, const TranscribeError &) = default;

private:
    TranscribeError(Kind kind, int status, QString text);

    Kind m_kind;
    int m_status;
    QString m_text;
};

// The first `count` extended grapheme clusters of `text`, or all of it when shorter.
QString leadingGraphemes(const QString &text, int count);

} // namespace orvanta
