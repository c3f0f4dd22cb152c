// orvanta: starts the application, or hands the request to the one already running.

#include "CommandLine.h"
#include "DesktopShortcuts.h"
#include "Keybindings.h"
#include "OrvantaApp.h"
#include "PreferenceStore.h"
#include "SingleInstance.h"
#include "WaylandProbe.h"

#include <QApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTextStream>

#include <cstdio>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

using namespace orvanta;
using namespace std::chrono_literals;

namespace {

int forwardToRunningInstance(const SingleInstance &instance, const Request &request,
                             SingleInstance::Connect connect) {
    QString error;
    const auto reply = instance.send(request, 10s, &error, connect);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!reply) {
        err << "orvanta: " << error << '\n';
        return 1;
    }
    if (request.command == Request::Command::Status)
        out << *reply << '\n';
    return 0;
}

QStringList argumentsOf(int argc, char *argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

void describeApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("orvanta"));
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanta"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANTA_VERSION));
}

// Hands the request to the running instance. Needs no display, so status bars and scripts
// can ask without one.
int forward(int argc, char *argv[], const SingleInstance &instance, const Request &request,
            SingleInstance::Connect connect) {
    QCoreApplication client(argc, argv);
    describeApplication();
    return forwardToRunningInstance(instance, request, connect);
}

int terminationPipe[2] = {-1, -1};

// SIGTERM (logout, systemd, kill), SIGINT and SIGHUP quit through the event loop, so the
// application cleans up as it does on Quit.
void quitOnTerminationSignals() {
    if (::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
        char drained[16];
        while (::read(terminationPipe[0], drained, sizeof drained) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = [](int) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(terminationPipe[1], &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

// The lines that bind the stored shortcuts as the desktop's own; with `install`, applies them.
int desktopShortcuts(int argc, char *argv[], bool install) {
    QCoreApplication application(argc, argv);
    describeApplication();
    const std::unique_ptr<PreferenceStore> store = PreferenceStore::openDefault();
    const Keybindings keybindings(*store);
    // The desktop runs the program by name when that name finds this one.
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("orvanta"));
    const QString program = !onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == self
                                ? QStringLiteral("orvanta")
                                : self;
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    wayland::DesktopShortcuts shortcuts(wayland::DesktopShortcuts::detect(environment), program,
                                        environment);
    shortcuts.setBindings(keybindings.activate(), keybindings.cancel(), keybindings.pasteLast());
    QTextStream out(stdout);
    if (!install) {
        out << shortcuts.instructions();
        return 0;
    }
    QString report;
    const bool installed = shortcuts.install(&report);
    out << report;
    return installed ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[]) {
    const ParsedCommandLine parsed = parseCommandLine(argumentsOf(argc, argv));
    if (parsed.desktopShortcuts)
        return desktopShortcuts(argc, argv, parsed.installShortcuts);
    if (!parsed.request) {
        QTextStream(parsed.error.isEmpty() ? stdout : stderr)
            << (parsed.error.isEmpty() ? parsed.output
                                       : QStringLiteral("orvanta: ") + parsed.error + u'\n');
        return parsed.error.isEmpty() ? 0 : 2;
    }
    const Request &request = *parsed.request;

    SingleInstance instance(SingleInstance::defaultDirectory());
    // A query never claims the lock: the claim could make an instance starting at the same
    // moment believe another one runs.
    if (request.needsRunningInstance())
        return forward(argc, argv, instance, request, SingleInstance::Connect::OnlyIfListening);
    QString error;
    const auto role = instance.claim(&error);
    if (!role) {
        QTextStream(stderr) << "orvanta: " << error << '\n';
        return 1;
    }
    if (*role == SingleInstance::Role::Secondary)
        return forward(argc, argv, instance, request, SingleInstance::Connect::WaitForStart);

    const QByteArray platform =
        wayland::windowPlatform(qEnvironmentVariableIsSet("WAYLAND_DISPLAY"),
                                qEnvironmentVariableIsSet("DISPLAY"), qgetenv("QT_QPA_PLATFORM"));
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
    QApplication application(argc, argv);
    describeApplication();
    OrvantaApp::describeDesktopApplication();
    if (!instance.listen(&error)) {
        QTextStream(stderr) << "orvanta: cannot take requests: " << error << '\n';
        return 1;
    }
    quitOnTerminationSignals();
    OrvantaApp app;
    instance.setHandler([&app](const Request &received) { return app.handle(received, true); });
    app.launch();
    app.handle(request, false);
    return QApplication::exec();
}
