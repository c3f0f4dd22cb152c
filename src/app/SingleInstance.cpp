#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QThread>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "orvanta.instance", QtInfoMsg)

namespace orvanta {

namespace {

constexpr qint64 maxRequestSize = 64 * 1024;

} // namespace

QString SingleInstance::defaultDirectory() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/orvanta");
    return QDir::tempPath() + QStringLiteral("/orvanta-%1").arg(::getuid());
}

SingleInstance::SingleInstance(QString directory, QObject *parent)
    : QObject(parent)
    , m_directory(std::move(directory)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::preparePrivateDirectory(QString *error) const {
    QDir().mkpath(m_directory);
    const QFileInfo info(m_directory);
    if (!info.isDir()) {
        *error = QStringLiteral("cannot create %1").arg(m_directory);
        return false;
    }
    if (info.ownerId() != ::getuid()) {
        *error = QStringLiteral("%1 belongs to another user").arg(m_directory);
        return false;
    }
    const auto shared = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                        QFile::WriteOther | QFile::ExeOther;
    if ((info.permissions() & shared) &&
        !QFile::setPermissions(m_directory,
                               QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        *error = QStringLiteral("cannot make %1 private").arg(m_directory);
        return false;
    }
    return true;
}

std::optional<SingleInstance::Role> SingleInstance::claim(QString *error) {
    if (!preparePrivateDirectory(error))
        return std::nullopt;
    auto lock = std::make_unique<QLockFile>(m_directory + QStringLiteral("/instance.lock"));
    lock->setStaleLockTime(0); // only a dead owner makes the lock stale
    if (!lock->tryLock()) {
        if (lock->error() == QLockFile::LockFailedError)
            return Role::Secondary;
        *error = QStringLiteral("cannot create the lock in %1").arg(m_directory);
        return std::nullopt;
    }
    m_lock = std::move(lock);
    return Role::Primary;
}

bool SingleInstance::listen(QString *error) {
    if (!m_lock) {
        *error = QStringLiteral("another instance holds the lock");
        return false;
    }
    QLocalServer::removeServer(socketPath()); // left behind by a process that died
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath())) {
        *error = m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection())
            serve(socket);
    });
    return true;
}

void SingleInstance::serve(QLocalSocket *socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > maxRequestSize) {
                qCWarning(lcInstance) << "Dropping an oversized request";
                socket->abort();
            }
            return;
        }
        const auto request = Request::fromJson(socket->readLine(maxRequestSize));
        QString reply;
        if (!request)
            reply = refusedPrefix + QStringLiteral("malformed request");
        else
            reply = answeredPrefix + (m_handler ? m_handler(*request) : QString());
        socket->write(reply.toUtf8() + '\n');
        socket->disconnectFromServer();
    });
}

std::optional<QString> SingleInstance::send(const Request &request,
                                            std::chrono::milliseconds timeout, QString *error,
                                            Connect connect) const {
    const QDeadlineTimer deadline(timeout);
    QLocalSocket socket;
    // The running instance may still be starting and not listen yet.
    while (true) {
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(std::max<qint64>(deadline.remainingTime(), 0))))
            break;
        if (connect == Connect::OnlyIfListening) {
            *error = QStringLiteral("not running");
            return std::nullopt;
        }
        if (deadline.hasExpired()) {
            *error = QStringLiteral("the running instance does not answer (%1)")
                         .arg(socket.errorString());
            return std::nullopt;
        }
        QThread::msleep(50);
    }
    socket.write(request.toJson() + '\n');
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() ||
            !socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            *error = QStringLiteral("the running instance did not reply");
            return std::nullopt;
        }
    }
    const QString reply = QString::fromUtf8(socket.readLine(maxRequestSize)).chopped(1);
    if (reply.startsWith(answeredPrefix))
        return reply.mid(answeredPrefix.size());
    *error = reply.startsWith(refusedPrefix)
                 ? reply.mid(refusedPrefix.size())
                 : QStringLiteral("the running instance gave an answer of another version");
    return std::nullopt;
}

} // namespace orvanta
