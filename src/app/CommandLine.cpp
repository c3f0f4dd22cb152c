#include "CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>

namespace orvanta {

namespace {

// Qt names the program in the usage line only once an application object exists, and none
// does while the command line is read.
QString withProgramName(QString help, const QString &programPath) {
    const QString name =
        programPath.isEmpty() ? QStringLiteral("orvanta") : QFileInfo(programPath).fileName();
    const qsizetype start = help.indexOf(u' ') + 1;
    const qsizetype end = help.indexOf(u' ', start);
    if (start > 0 && end > start)
        help.replace(start, end - start, name);
    return help;
}

struct CommandOption {
    Request::Command command;
    const char *name;
    const char *description;
};

constexpr std::array<CommandOption, 9> commandOptions{{
    {Request::Command::Toggle, "toggle", "Start dictating, or stop and transcribe when recording."},
    {Request::Command::Start, "start", "Start dictating."},
    {Request::Command::Stop, "stop", "Stop dictating and transcribe."},
    {Request::Command::Cancel, "cancel", "Cancel the dictation under way."},
    {Request::Command::PasteLast, "paste-last", "Paste the last transcript again."},
    {Request::Command::Settings, "settings", "Open the settings window."},
    {Request::Command::SignIn, "sign-in", "Open the sign-in page in the browser."},
    {Request::Command::Status, "status",
     "Print the dictation status and whether you are signed in."},
    {Request::Command::Quit, "quit", "Quit the running instance."},
}};

} // namespace

QString commandName(Request::Command command) {
    if (command == Request::Command::Launch)
        return QStringLiteral("launch");
    for (const CommandOption &option : commandOptions) {
        if (option.command == command)
            return QString::fromLatin1(option.name);
    }
    return {};
}

QByteArray Request::toJson() const {
    QJsonObject object{{QStringLiteral("command"), commandName(command)},
                       {QStringLiteral("urls"), QJsonArray::fromStringList(urls)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<Request> Request::fromJson(const QByteArray &line) {
    const QJsonDocument document = QJsonDocument::fromJson(line);
    const QJsonValue command = document.object().value(QStringLiteral("command"));
    const QJsonValue urls = document.object().value(QStringLiteral("urls"));
    if (!document.isObject() || !command.isString() || !urls.isArray())
        return std::nullopt;
    Request request;
    bool known = command.toString() == commandName(Command::Launch);
    for (const CommandOption &option : commandOptions) {
        if (command.toString() == QLatin1String(option.name)) {
            request.command = option.command;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    for (const QJsonValue &url : urls.toArray()) {
        if (!url.isString())
            return std::nullopt;
        request.urls.append(url.toString());
    }
    return request;
}

ParsedCommandLine parseCommandLine(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Talvo: dictation at your cursor. Without options, starts Talvo, or opens "
                       "its settings when it already runs."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const CommandOption &option : commandOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(option.name),
                                            QString::fromLatin1(option.description)));
    const QCommandLineOption shortcuts(
        QStringLiteral("shortcuts"),
        QStringLiteral(
            "Print the desktop shortcuts that run --toggle, --cancel and --paste-last."));
    const QCommandLineOption install(
        QStringLiteral("install"),
        QStringLiteral("With --shortcuts: add them to the desktop's shortcuts (GNOME, KDE Plasma, "
                       "the running sway session)."));
    parser.addOption(shortcuts);
    parser.addOption(install);
    parser.addPositionalArgument(QStringLiteral("URL"),
                                 QStringLiteral("orvanta: links to hand to the application."),
                                 QStringLiteral("[URL…]"));

    ParsedCommandLine parsed;
    if (!parser.parse(arguments)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    if (parser.isSet(help)) {
        parsed.output = withProgramName(parser.helpText(), arguments.value(0));
        return parsed;
    }
    if (parser.isSet(version)) {
        parsed.output = QStringLiteral("orvanta %1\n").arg(QStringLiteral(ORVANTA_VERSION));
        return parsed;
    }
    if (parser.isSet(shortcuts) || parser.isSet(install)) {
        if (!parser.isSet(shortcuts))
            parsed.error = QStringLiteral("--install goes with --shortcuts.");
        else if (!parser.positionalArguments().isEmpty() ||
                 std::any_of(commandOptions.begin(), commandOptions.end(),
                             [&parser](const CommandOption &option) {
                                 return parser.isSet(QString::fromLatin1(option.name));
                             }))
            parsed.error = QStringLiteral("--shortcuts takes no other command.");
        parsed.desktopShortcuts = parsed.error.isEmpty();
        parsed.installShortcuts = parsed.desktopShortcuts && parser.isSet(install);
        return parsed;
    }
    Request request;
    for (const CommandOption &option : commandOptions) {
        if (!parser.isSet(QString::fromLatin1(option.name)))
            continue;
        if (request.command != Request::Command::Launch) {
            parsed.error = QStringLiteral("Give one command at a time (--%1 and --%2).")
                               .arg(commandName(request.command), QString::fromLatin1(option.name));
            return parsed;
        }
        request.command = option.command;
    }
    request.urls = parser.positionalArguments();
    parsed.request = request;
    return parsed;
}

} // namespace orvanta
