#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace orvanta::test {

// A private folder for one test, with helpers to read and write files in it.
class TempFolder {
public:
    TempFolder();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    static QByteArray read(const QString &file);
    static void write(const QString &file, const QByteArray &contents);

private:
    QTemporaryDir m_dir;
};

// Points XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_CACHE_HOME into `home`, so a test binary never
// touches the real user's files. Call before the application object exists.
void usePrivateXdgFolders(const QTemporaryDir &home);

} // namespace orvanta::test
