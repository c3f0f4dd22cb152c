// The desktop shortcuts on a headless sway (tests/scripts/with-sway.sh): installed
// through swaymsg, they run the command when a virtual keyboard (wtype) presses them, and a
// binding of the user's own on the same keys stays as it is.

#include "DesktopShortcuts.h"
#include "Keybindings.h"
#include "QtPrinters.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

using namespace orvanta;
using orvanta::wayland::DesktopShortcuts;

namespace {

QString readRan() {
    QFile file(QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath("ran"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Presses the keys, releases them, and waits until something more ran.
QString press(const QStringList &modifiers, const QString &key) {
    const QString before = readRan();
    QStringList arguments;
    for (const QString &modifier : modifiers)
        arguments << "-M" << modifier;
    arguments << "-k" << key;
    for (const QString &modifier : modifiers)
        arguments << "-m" << modifier;
    EXPECT_EQ(QProcess::execute("wtype", arguments), 0);
    const QDeadlineTimer deadline(5000);
    while (readRan() == before && !deadline.hasExpired())
        QThread::msleep(20);
    return readRan().mid(before.size()).trimmed();
}

TEST(SwayShortcuts, InstalledBindingsRunTheCommandAndTheUsersOwnStays) {
    ASSERT_FALSE(qEnvironmentVariable("SWAYSOCK").isEmpty()) << "run under with-sway.sh";
    // Stands in for orvanta: records the command line the binding runs.
    const QString recorder = QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath("orvanta");
    QFile script(recorder);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho \"orvanta $*\" >> \"$XDG_RUNTIME_DIR/ran\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);

    DesktopShortcuts shortcuts(DesktopShortcuts::Desktop::Sway, recorder);
    shortcuts.setBindings(Keybindings::defaultActivate(), Keybindings::defaultCancel(),
                          Keybindings::defaultPaste());
    QString report;
    ASSERT_TRUE(shortcuts.install(&report)) << report.toStdString();

    EXPECT_EQ(press({"ctrl", "alt"}, "space"), "orvanta --toggle");
    EXPECT_EQ(press({"ctrl", "shift"}, "Escape"), "orvanta --cancel");
    EXPECT_EQ(press({"ctrl", "logo"}, "v"), "user-binding");
}

} // namespace
