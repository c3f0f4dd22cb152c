#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <stdexcept>

namespace orvanta::test {

// A private folder for one test, with helpers to read and write files.
class TempFolder : public QTemporaryDir {
public:
    static QByteArray read(const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void write(const QString &file, const QByteArray &contents) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write a test file");
        f.write(contents);
    }
};

struct CommandResult {
    int exitCode = -1; // -1 when it crashed or did not end
    QByteArray output;
    QByteArray errors;
};

// Runs a program to its end with `input` on its standard input.
inline CommandResult
runProgram(const QString &program, const QStringList &arguments, const QByteArray &input = {},
           const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

// Points the XDG config, data and cache folders into `home`; call before the application exists.
void usePrivateXdgFolders(const QTemporaryDir &home);

} // namespace orvanta::test
