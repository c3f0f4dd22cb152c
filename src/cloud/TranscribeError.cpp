#include "TranscribeError.h"

#include <QTextBoundaryFinder>

namespace orvanta {

TranscribeError::TranscribeError(Kind kind, int status, QString text)
    : m_kind(kind)
    , m_status(status)
    , m_text(std::move(text)) {}

TranscribeError TranscribeError::limitReached(QString message) {
    return {Kind::LimitReached, 0, std::move(message)};
}

TranscribeError TranscribeError::http(int status, const QString &message) {
    return {Kind::Http, status, leadingGraphemes(message, httpBodyLimit)};
}

TranscribeError TranscribeError::network(QString message) {
    return {Kind::Network, 0, std::move(message)};
}

TranscribeError TranscribeError::proxyNotConfigured() {
    return {Kind::ProxyNotConfigured, 0, {}};
}

TranscribeError TranscribeError::notSignedIn() {
    return {Kind::NotSignedIn, 0, {}};
}

TranscribeError TranscribeError::emptyResponse() {
    return {Kind::EmptyResponse, 0, {}};
}

QString TranscribeError::errorDescription() const {
    switch (m_kind) {
    case Kind::LimitReached:
        // The service's own words; a refusal it did not explain still needs some.
        return m_text.isEmpty() ? QStringLiteral("The service refused the recording: a limit of "
                                                 "your plan is reached.")
                                : m_text;
    case Kind::Http:
        return QStringLiteral("Server error (%1): ").arg(m_status) + m_text;
    case Kind::Network:
        return QStringLiteral("Network error: ") + m_text;
    case Kind::ProxyNotConfigured:
        return QStringLiteral(
            "Server URL is not configured (Config.proxyBaseURL). Deploy the Worker.");
    case Kind::NotSignedIn:
        return QStringLiteral("Sign in required. Sign in from Settings \u2192 Account.");
    case Kind::EmptyResponse:
        return QStringLiteral("The model returned an empty response.");
    }
    Q_UNREACHABLE();
}

QString leadingGraphemes(const QString &text, int count) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int taken = 0; taken < count; ++taken) {
        end = finder.toNextBoundary();
        if (end < 0)
            return text;
    }
    return text.left(end);
}

} // namespace orvanta
