#include "LoginItem.h"

#include "DesktopEntry.h"
#include "PlatformLogging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>

namespace orvanta {

namespace {

void logFailure(const QString &error) {
    qCWarning(lcLoginItem).noquote() << QStringLiteral("LoginItem hata: ") + error;
}

// The value of `key` in the entry's main group, if it is there.
std::optional<QByteArray> mainGroupValue(const QByteArray &contents, const QByteArray &key) {
    bool inMainGroup = false;
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inMainGroup && equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return std::nullopt;
}

// Desktops switch an entry off with Hidden=true, GNOME with X-GNOME-Autostart-enabled=false.
bool isSwitchedOff(const QByteArray &contents) {
    return mainGroupValue(contents, "Hidden") == "true" ||
           mainGroupValue(contents, "X-GNOME-Autostart-enabled") == "false";
}

} // namespace

LoginItem::LoginItem()
    : LoginItem(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                    QStringLiteral("/autostart"),
                QCoreApplication::applicationFilePath()) {}

LoginItem::LoginItem(QString autostartDirectory, QString executable)
    : m_directory(std::move(autostartDirectory))
    , m_executable(std::move(executable)) {}

bool LoginItem::isEnabled() const {
    QFile file(entryFile());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return !isSwitchedOff(file.readAll());
}

void LoginItem::set(bool enabled) {
    if (enabled == isEnabled())
        return;
    if (enabled)
        writeEntry();
    else
        removeEntry();
}

void LoginItem::writeEntry() {
    if (!QDir().mkpath(m_directory)) {
        logFailure(QStringLiteral("cannot create ") + m_directory);
        return;
    }
    QSaveFile file(entryFile());
    if (!file.open(QIODevice::WriteOnly)) {
        logFailure(file.errorString());
        return;
    }
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Talvo\n"
                                         "Comment=Dictation at your cursor\n"
                                         "Exec=%1\n"
                                         "Icon=orvanta\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(DesktopEntry::execArgument(m_executable));
    file.write(entry.toUtf8());
    if (!file.commit())
        logFailure(file.errorString());
}

void LoginItem::removeEntry() {
    QFile file(entryFile());
    if (!file.remove())
        logFailure(file.errorString());
}

} // namespace orvanta
