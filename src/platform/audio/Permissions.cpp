#include "Permissions.h"

#include "AudioDevices.h"
#include "AudioLogging.h"
#include "PulseClient.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace orvanta {

Permissions::Permissions(InputAccessCheck inputAccess, UrlOpener openUrl,
                         QStringList helpDirectories)
    : m_inputAccess(std::move(inputAccess))
    , m_openUrl(std::move(openUrl))
    , m_helpDirectories(std::move(helpDirectories)) {
    if (!m_openUrl)
        m_openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

// Polled from the main thread every 1.5 s: the answer is the watcher's, and a server that was
// gone is looked for again.
bool Permissions::isMicrophoneAuthorized() const {
    m_microphone.retryIfDisconnected();
    return m_microphone.isAvailable();
}

bool Permissions::isInputAccessGranted() const {
    return m_inputAccess && m_inputAccess();
}

// There is nothing to ask the user on Linux: the answer is known at once.
void Permissions::requestMicrophone(std::function<void(bool granted)> completion) {
    const bool granted = isMicrophoneAuthorized();
    if (completion)
        completion(granted);
}

void Permissions::openPrivacyPane(PrivacyPane pane) {
    const std::optional<QUrl> page = helpPage(pane);
    if (!page) {
        qCWarning(lcPermissions).noquote() << QStringLiteral("The help page") << helpPageName(pane)
                                           << QStringLiteral("is not installed");
        return;
    }
    if (!m_openUrl(*page))
        qCWarning(lcPermissions).noquote() << QStringLiteral("Cannot open") << page->toString();
}

void Permissions::open(const QString &url) {
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.scheme().isEmpty()) {
        qCInfo(lcPermissions).noquote() << QStringLiteral("Not a URL:") << url;
        return;
    }
    if (!m_openUrl(parsed))
        qCWarning(lcPermissions).noquote() << QStringLiteral("Cannot open") << url;
}

QString Permissions::helpPageName(PrivacyPane pane) {
    switch (pane) {
    case PrivacyPane::Microphone:
        return QStringLiteral("microphone.html");
    case PrivacyPane::InputAccess:
        return QStringLiteral("input-access.html");
    }
    return {};
}

std::optional<QUrl> Permissions::helpPage(PrivacyPane pane) const {
    const QString name = helpPageName(pane);
    for (const QString &directory : m_helpDirectories) {
        const QFileInfo page(QDir(directory).filePath(name));
        if (page.isFile())
            return QUrl::fromLocalFile(page.absoluteFilePath());
    }
    return std::nullopt;
}

QStringList Permissions::defaultHelpDirectories() {
    QStringList directories =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                  QStringLiteral("orvanta/help"), QStandardPaths::LocateDirectory);
    directories.append(QStringLiteral(ORVANTA_HELP_INSTALL_DIR));
    directories.append(QCoreApplication::applicationDirPath() +
                       QStringLiteral("/../share/orvanta/help"));
    directories.append(QStringLiteral(ORVANTA_HELP_SOURCE_DIR));
    return directories;
}

} // namespace orvanta
