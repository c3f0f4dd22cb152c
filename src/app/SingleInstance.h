#pragma once

#include "CommandLine.h"

#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace orvanta {

// One orvanta per user: the first process holds a lock and listens on a socket in a folder
// only the user can enter; later processes hand their request to it and exit.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Role { Primary, Secondary };
    // Answers one request with one line of text.
    using Handler = std::function<QString(const Request &)>;

    // Each answer line starts with one of these. The handler's text follows "ok " unchanged,
    // so a status line such as "error: …" is never taken for a refusal.
    static inline const QString answeredPrefix = QStringLiteral("ok ");
    static inline const QString refusedPrefix = QStringLiteral("refused ");

    // $XDG_RUNTIME_DIR/orvanta, or a private folder in the temporary directory.
    static QString defaultDirectory();

    explicit SingleInstance(QString directory, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Nothing, with `error` set, when the folder is unusable or the socket cannot be served.
    std::optional<Role> claim(QString *error);
    // After a Primary claim: starts answering requests. Needs the application object, which a
    // claim does not.
    bool listen(QString *error);
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    // WaitForStart: an instance that holds the lock but does not listen yet is waited for.
    // OnlyIfListening: no instance listening now is "not running"; nothing is claimed, so a
    // query never stands in the way of an instance that is starting.
    enum class Connect { WaitForStart, OnlyIfListening };

    // The running instance's answer, or nothing with `error` set (no
    // answer, or the instance refused the request).
    std::optional<QString> send(const Request &request, std::chrono::milliseconds timeout,
                                QString *error, Connect connect = Connect::WaitForStart) const;

    QString socketPath() const { return m_directory + QStringLiteral("/instance.sock"); }

private:
    bool preparePrivateDirectory(QString *error) const;
    void serve(QLocalSocket *socket);

    QString m_directory;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    Handler m_handler;
};

} // namespace orvanta
