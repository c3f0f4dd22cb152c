#include "TempEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace orvanta::test {

TempFolder::TempFolder() {
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

QByteArray TempFolder::read(const QString &file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TempFolder::write(const QString &file, const QByteArray &contents) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write a test file");
    f.write(contents);
}

void usePrivateXdgFolders(const QTemporaryDir &home) {
    for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, home.filePath(QString::fromLatin1(variable)).toLocal8Bit());
}

} // namespace orvanta::test
