// Window titles as the window manager reads them (_NET_WM_NAME), from the running
// application's own start-up, on a real X server (the OnX11 tests run under Xvfb).

#include "CommandLine.h"
#include "OrvantaApp.h"

#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

QString netWmName(const QWindow &window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(window.winId()), QStringLiteral("-notype"),
                 QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(10000))
        return QStringLiteral("<xprop did not answer>");
    // _NET_WM_NAME = "Orvanta Settings"
    const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype quote = line.indexOf(u'"');
    return quote < 0 ? line : line.mid(quote + 1).chopped(1);
}

TEST(OnX11, WindowTitlesAreTheWindowsOwn) {
    if (QGuiApplication::platformName() != u"xcb")
        GTEST_SKIP() << "needs an X server; ctest runs this under Xvfb";
    OrvantaApp::describeDesktopApplication();
    OrvantaApp app;
    Request settings;
    settings.command = Request::Command::Settings;
    app.handle(settings, false);
    QWindow *window = nullptr;
    auto settingsWindow = [&window] {
        for (QWindow *candidate : QGuiApplication::topLevelWindows()) {
            if (candidate->isVisible() && candidate->title() == u"Orvanta Settings")
                window = candidate;
        }
        return window != nullptr;
    };
    ASSERT_TRUE(QTest::qWaitFor(settingsWindow));
    QString title;
    [[maybe_unused]] const bool settled =
        QTest::qWaitFor([&] { return (title = netWmName(*window)) == u"Orvanta Settings"; });
    EXPECT_EQ(title, QStringLiteral("Orvanta Settings"));
}

} // namespace
