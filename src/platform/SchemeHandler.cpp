#include "SchemeHandler.h"

#include "DesktopEntry.h"
#include "PlatformLogging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace orvanta {

namespace {

// Marks an entry this application wrote for itself, so it may be rewritten later.
const QByteArray generatedMarker = "X-Orvanta-Generated=true";

QProcess *xdgMime(QObject *parent, const QStringList &arguments) {
    auto *process = new QProcess(parent);
    process->setProgram(QStringLiteral("xdg-mime"));
    process->setArguments(arguments);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    return process;
}

} // namespace

SchemeHandler::SchemeHandler(QString userApplications, QStringList systemApplications,
                             QString executable, QObject *parent)
    : QObject(parent)
    , m_userApplications(std::move(userApplications))
    , m_systemApplications(std::move(systemApplications))
    , m_executable(std::move(executable)) {}

SchemeHandler *SchemeHandler::forThisUser(QObject *parent) {
    QStringList folders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    const QString user = folders.isEmpty() ? QString() : folders.takeFirst();
    return new SchemeHandler(user, folders, QCoreApplication::applicationFilePath(), parent);
}

QByteArray SchemeHandler::generatedEntry() const {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Talvo\n"
                          "Comment=Speak, and the text appears at your cursor\n"
                          "Exec=%1 %u\n"
                          "Icon=orvanta\n"
                          "Terminal=false\n"
                          "NoDisplay=true\n"
                          "MimeType=%2;\n"
                          // KWin lets the entry's program type the paste keystroke.
                          "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n")
               .arg(DesktopEntry::execArgument(m_executable), mimeType)
               .toUtf8() +
           generatedMarker + '\n';
}

bool SchemeHandler::installedEntryExists() const {
    return std::any_of(
        m_systemApplications.begin(), m_systemApplications.end(),
        [](const QString &folder) { return QFile::exists(folder + u'/' + entryName); });
}

// A user's own entry is left alone; one this application wrote follows the executable.
void SchemeHandler::writeUserEntryIfNeeded() {
    if (installedEntryExists() || m_userApplications.isEmpty())
        return;
    QFile existing(userEntryFile());
    if (existing.open(QIODevice::ReadOnly)) {
        const QByteArray contents = existing.readAll();
        if (!contents.contains(generatedMarker) || contents == generatedEntry())
            return;
    }
    QDir().mkpath(m_userApplications);
    QSaveFile file(userEntryFile());
    if (!file.open(QIODevice::WriteOnly) || file.write(generatedEntry()) < 0 || !file.commit())
        qCWarning(lcDesktop) << "Cannot write" << userEntryFile() << ":" << file.errorString();
}

void SchemeHandler::ensureRegistered() {
    writeUserEntryIfNeeded();
    queryHandler();
}

void SchemeHandler::queryHandler() {
    QProcess *query = xdgMime(this, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    connect(query, &QProcess::finished, this, [this, query](int exitCode) {
        query->deleteLater();
        const QByteArray handler = query->readAllStandardOutput().trimmed();
        if (exitCode == 0 && !handler.isEmpty()) {
            emit finished(false);
            return;
        }
        makeDefault();
    });
    connect(query, &QProcess::errorOccurred, this, [this, query](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        query->deleteLater();
        qCWarning(lcDesktop) << "xdg-mime is missing; the browser cannot hand the sign-in back."
                             << "Install xdg-utils.";
        emit finished(false);
    });
    query->start();
}

void SchemeHandler::makeDefault() {
    QProcess *assign = xdgMime(this, {QStringLiteral("default"), entryName, mimeType});
    connect(assign, &QProcess::finished, this, [this, assign](int exitCode) {
        assign->deleteLater();
        if (exitCode != 0)
            qCWarning(lcDesktop) << "xdg-mime could not register orvanta: links:"
                                 << assign->readAllStandardError().trimmed();
        else
            qCInfo(lcDesktop) << "Registered as the handler of orvanta: links";
        emit finished(exitCode == 0);
    });
    assign->start();
}

} // namespace orvanta
