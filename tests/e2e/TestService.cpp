// A stand-in for the transcription and account service on 127.0.0.1, for the end-to-end
// test and the application benchmarks.
//
//   orvanta_e2e_service ADDRESS FILE
//
// It prints "listening <port>" once it serves and "received <path>" as each request arrives,
// and appends every request it receives to FILE as one JSON line: {"path", "body" (Base64)}.
//
// GET  /signin        302 to orvanta://auth/callback?access_token=<JWT>&refresh_token=<token>
//                     for the account ADDRESS
// GET  /me            {"plan","used","limit"} for the access token, else 401
// POST /transcribe    401 for any token but the access token; else the scripted answer
//
// Commands on stdin, each acknowledged with "done <command>":
//   transcript <text>         /transcribe answers 200 {"text": text} from now on
//   refuse <status> <message> /transcribe answers status {"error": message} from now on

#include <QCoreApplication>
#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

#include <cstdio>
#include <unistd.h>

namespace {

void report(const QString &line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QByteArray base64Url(const QByteArray &bytes) {
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QHttpServerResponse jsonAnswer(const QJsonObject &object, int status) {
    return QHttpServerResponse("application/json",
                               QJsonDocument(object).toJson(QJsonDocument::Compact),
                               QHttpServerResponse::StatusCode(status));
}

QHttpServerResponse refusal(int status, const QString &message) {
    return jsonAnswer(QJsonObject{{QStringLiteral("error"), message}}, status);
}

class Service {
public:
    Service(QString email, const QString &logFile)
        : m_email(std::move(email))
        , m_log(logFile) {
        if (!m_log.open(QIODevice::WriteOnly | QIODevice::Append))
            qFatal("cannot write the request log %s", qPrintable(logFile));
        const QByteArray header = base64Url(R"({"alg":"none","typ":"JWT"})");
        const QByteArray payload =
            base64Url(QJsonDocument(QJsonObject{{QStringLiteral("email"), m_email}})
                          .toJson(QJsonDocument::Compact));
        m_accessToken = QString::fromLatin1(header + '.' + payload + ".unsigned");
        route();
    }

    quint16 listen() { return m_server.listen(QHostAddress::LocalHost, 0); }

    void runCommand(const QString &line) {
        const QString command = line.section(QLatin1Char(' '), 0, 0);
        if (command == QLatin1String("transcript")) {
            m_answerStatus = 200;
            m_answerText = line.section(QLatin1Char(' '), 1);
        } else if (command == QLatin1String("refuse")) {
            m_answerStatus = line.section(QLatin1Char(' '), 1, 1).toInt();
            m_answerText = line.section(QLatin1Char(' '), 2);
        }
        report(QStringLiteral("done ") + command);
    }

private:
    void record(const QHttpServerRequest &request) {
        report(QStringLiteral("received ") + request.url().path());
        const QJsonObject entry{
            {QStringLiteral("path"), request.url().path()},
            {QStringLiteral("body"), QString::fromLatin1(request.body().toBase64())},
        };
        m_log.write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
        m_log.flush();
    }

    bool authorised(const QHttpServerRequest &request) const {
        return request.value("Authorization") == "Bearer " + m_accessToken.toLatin1();
    }

    void route() {
        m_server.route(QStringLiteral("/signin"), [this](const QHttpServerRequest &request) {
            record(request);
            QUrlQuery query;
            query.addQueryItem(QStringLiteral("access_token"), m_accessToken);
            query.addQueryItem(QStringLiteral("refresh_token"), m_refreshToken);
            QUrl callback(QStringLiteral("orvanta://auth/callback"));
            callback.setQuery(query);
            QHttpServerResponse response(QHttpServerResponse::StatusCode::Found);
            response.addHeader("Location", callback.toEncoded());
            return response;
        });
        m_server.route(QStringLiteral("/me"), [this](const QHttpServerRequest &request) {
            record(request);
            if (!authorised(request))
                return refusal(401, QStringLiteral("invalid token"));
            return jsonAnswer({{QStringLiteral("plan"), QStringLiteral("pro")},
                               {QStringLiteral("used"), 0},
                               {QStringLiteral("limit"), 10000}},
                              200);
        });
        m_server.route(QStringLiteral("/transcribe"), [this](const QHttpServerRequest &request) {
            record(request);
            if (!authorised(request))
                return refusal(401, QStringLiteral("invalid token"));
            if (m_answerStatus != 200)
                return refusal(m_answerStatus, m_answerText);
            return jsonAnswer({{QStringLiteral("text"), m_answerText}}, 200);
        });
    }

    QString m_email;
    QFile m_log;
    QHttpServer m_server;
    QString m_accessToken;
    const QString m_refreshToken = QUuid::createUuid().toString(QUuid::WithoutBraces);
    int m_answerStatus = 200;
    QString m_answerText = QStringLiteral("hello");
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        qFatal("usage: orvanta_e2e_service ADDRESS FILE");
    Service service(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    const quint16 port = service.listen();
    if (port == 0)
        qFatal("cannot listen on 127.0.0.1");
    report(QStringLiteral("listening %1").arg(port));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[4096];
        const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (count <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(chunk, count);
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            service.runCommand(QString::fromUtf8(pending.left(end)));
            pending.remove(0, end + 1);
        }
    });
    return QCoreApplication::exec();
}
