#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvanta {

// What one invocation of orvanta asks for. A running instance receives it over its socket.
struct Request {
    enum class Command {
        Launch,
        Toggle,
        Start,
        Stop,
        Cancel,
        PasteLast,
        Settings,
        SignIn,
        Status,
        Quit
    };

    Command command = Command::Launch;
    QStringList urls;

    // Commands that only make sense when an instance already runs.
    bool needsRunningInstance() const {
        return command == Command::Status || command == Command::Quit;
    }

    QByteArray toJson() const;
    static std::optional<Request> fromJson(const QByteArray &line);
    friend bool operator==(const Request &, const Request &) = default;
};

QString commandName(Request::Command command);

struct ParsedCommandLine {
    std::optional<Request> request; // absent when the process only prints and exits
    QString output;                 // --help or --version text for standard output
    QString error;                  // a usage error for standard error
    // --shortcuts: print the desktop shortcuts that run the commands; with --install, apply them.
    bool desktopShortcuts = false;
    bool installShortcuts = false;
};

ParsedCommandLine parseCommandLine(const QStringList &arguments);

} // namespace orvanta
