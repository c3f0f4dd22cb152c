// The application's decoders of outside data: stored settings and history, the update feed,
// the answers of the service and the addresses a web page opens.
#include "Appcast.h"
#include "Auth.h"
#include "FuzzHarness.h"
#include "HistoryItem.h"
#include "HttpExchange.h"
#include "Replacement.h"
#include "Shortcut.h"
#include "Transcriber.h"

#include <algorithm>

using namespace orvanta;

// Any history.json.
FUZZ_TARGET(fuzz_history, QByteArray, input) {
    const auto items = checkRoundTrip(input, decodeHistory, encodeHistory);
    for (const HistoryItem &item : items.value_or(QList<HistoryItem>()))
        item.dateTime();
}

// Any stored "vocabReplacements" value.
FUZZ_TARGET(fuzz_replacements, QByteArray, input) {
    checkRoundTrip(input, decodeReplacements, encodeReplacements);
}

// Any stored "kbActivate", "kbCancel" or "kbPaste" value. The conflict rule must hold for
// whatever the store hands the hotkey monitor.
FUZZ_TARGET(fuzz_shortcut, QByteArray, input) {
    const auto shortcut =
        checkRoundTrip(input, Shortcut::fromJson, [](const Shortcut &s) { return s.toJson(); });
    FUZZ_CHECK(!shortcut || shortcut->clashesWith(*shortcut));
}

// Any update feed. Version order must be an order, or "newer" depends on the order of the
// items.
FUZZ_TARGET(fuzz_appcast, QByteArray, input) {
    const auto releases = Appcast::parse(input);
    const auto sign = [](int value) { return (value > 0) - (value < 0); };
    for (const AppcastRelease &a : releases.value_or(QList<AppcastRelease>())) {
        FUZZ_CHECK(!a.version.isEmpty());
        FUZZ_CHECK(a.link.scheme() == QLatin1String("https") ||
                   a.link.scheme() == QLatin1String("http"));
        FUZZ_CHECK(Appcast::compareVersions(a.version, a.version) == 0);
        for (const AppcastRelease &b : *releases)
            FUZZ_CHECK(sign(Appcast::compareVersions(a.version, b.version)) ==
                       -sign(Appcast::compareVersions(b.version, a.version)));
    }
    const QString current = QStringLiteral(ORVANTA_VERSION);
    if (const auto newer = releases ? Appcast::newerRelease(*releases, current) : std::nullopt)
        FUZZ_CHECK(Appcast::compareVersions(newer->version, current) > 0);
}

// Any text a web page can open as an "orvanta:" address. Taken tokens go into request headers
// and the Secret Service as they are.
FUZZ_TARGET(fuzz_callback_url, QByteArray, input) {
    const QString url = QString::fromUtf8(input);
    const auto headerSafe = [](const QString &token) {
        return !token.isEmpty() && std::none_of(token.cbegin(), token.cend(), [](QChar c) {
            return c.unicode() < 0x20 || c.unicode() == 0x7f;
        });
    };
    if (const auto tokens = Auth::tokensFromCallback(url)) {
        FUZZ_CHECK(url.startsWith(Auth::callbackScheme + QLatin1Char(':')));
        FUZZ_CHECK(headerSafe(tokens->access) &&
                   (!tokens->refresh || headerSafe(*tokens->refresh)));
    }
}

// Any access token: its payload's "email" claim is read without checking the signature.
FUZZ_TARGET(fuzz_jwt_email, QByteArray, input) {
    Auth::emailFromJWT(QString::fromUtf8(input));
}

// Any body of a 200 answer to "/me".
FUZZ_TARGET(fuzz_usage_answer, QByteArray, input) {
    HttpAnswer answer;
    answer.status = 200;
    answer.body = input;
    if (const auto object = answer.jsonObject())
        Auth::usageFigures(*object);
}

// Any answer to "/transcribe". The first two bytes are the status (big-endian, below 1000), the
// third says whether the body was cut off at the size limit; the rest is the body.
FUZZ_TARGET(fuzz_transcription_answer, QByteArray, input) {
    if (input.size() < 3)
        return;
    HttpAnswer answer;
    answer.status = ((quint8(input[0]) << 8) | quint8(input[1])) % 1000;
    answer.bodyTruncated = (input[2] & 1) != 0;
    answer.body = input.mid(3);
    const TranscribeOutcome outcome = Transcriber::interpret(answer);
    if (outcome.succeeded()) {
        FUZZ_CHECK(answer.status >= 200 && answer.status <= 299);
        FUZZ_CHECK(!outcome.text().isEmpty() && outcome.text() == outcome.text().trimmed());
        return;
    }
    FUZZ_CHECK(outcome.error().has_value() && !outcome.errorDescription().isEmpty());
    const TranscribeError &error = *outcome.error();
    FUZZ_CHECK(error.kind() != TranscribeError::Kind::Http ||
               (error.status() == answer.status &&
                leadingGraphemes(error.text(), TranscribeError::httpBodyLimit) == error.text()));
}
