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

    static inline const QString errorPrefix = QStringLiteral("error: ");

    // $XDG_RUNTIME_DIR/orvanta, or a private folder in the temporary directory.
    static QString defaultDirectory();

    explicit SingleInstance(QString directory, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Nothing, with `error` set, when the folder is unusable or the socket cannot be served.
    std::optional<Role> claim(QString *error);
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    // From a Secondary: the running instance's answer, or nothing with `error` set.
    std::optional<QString> send(const Request &request, std::chrono::milliseconds timeout,
                                QString *error) const;

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
