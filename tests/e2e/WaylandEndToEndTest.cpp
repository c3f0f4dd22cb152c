// The whole product on a Wayland desktop: the real orvanta executable on headless sway (its
// windows on XWayland), a native Wayland window as the target, a sound server whose
// microphone hears espeak-ng speech, a Secret Service and the test service.

#include "E2eSupport.h"
#include "History.h"
#include "Keybindings.h"
#include "PreferenceStore.h"
#include "WaylandTestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::e2e;
using namespace std::chrono_literals;

namespace {

const QString email = QStringLiteral("wayland.e2e@example.com");
const QString sentence = QStringLiteral("Meet me at the station at noon.");
const QString transcript = QStringLiteral("Meet me at the station at noon.");

QHash<QString, QByteArray> restorable(const QHash<QString, QByteArray> &formats) {
    QHash<QString, QByteArray> kept = formats;
    kept.removeIf([](const auto &entry) {
        return !entry.key().contains(u'/') || entry.key() == u"application/x-qt-image";
    });
    return kept;
}

TEST(WaylandEndToEnd, DictationReachesANativeWaylandWindow) {
    ServiceProcess service(email);
    ASSERT_TRUE(service.start());
    Microphone microphone;
    ASSERT_TRUE(microphone.startSteadyStream());
    test::WaylandUserKeyboard keyboard;
    ASSERT_TRUE(keyboard.isOpen()) << "the compositor lets no client type";
    test::TargetApp target;
    ASSERT_TRUE(target.start());

    OrvantaProcess app(service.baseUrl());
    ASSERT_TRUE(app.launch());
    ASSERT_EQ(app.run({QStringLiteral("--sign-in")}).exitCode, 0);
    ASSERT_TRUE(app.waitForStatus(QStringLiteral("idle\tsigned-in"), 30s));
    // The application's windows never take the focus from the target.
    ASSERT_TRUE(test::userCopiesInTarget(keyboard, target))
        << target.lines().join(u'|').toStdString();
    const QHash<QString, QByteArray> clipboard = restorable(target.dumpClipboard());
    ASSERT_TRUE(service.command(QStringLiteral("transcript ") + transcript));

    ASSERT_EQ(app.run({QStringLiteral("--toggle")}).exitCode, 0);
    ASSERT_TRUE(app.waitForStatus(QStringLiteral("recording\tsigned-in"), 20s));
    ASSERT_TRUE(microphone.speak(sentence));
    ASSERT_EQ(app.run({QStringLiteral("--toggle")}).exitCode, 0);

    EXPECT_TRUE(target.waitForLine(QStringLiteral("text ") + transcript, 30000))
        << target.lines().join(u'|').toStdString();
    QHash<QString, QByteArray> now;
    EXPECT_TRUE(waitUntil(
        [&] {
            now = restorable(target.dumpClipboard());
            return now == clipboard;
        },
        10s))
        << "the clipboard holds "
        << QStringList(now.keyBegin(), now.keyEnd()).join(u' ').toStdString();
    EXPECT_TRUE(app.waitForStatus(QStringLiteral("idle\tsigned-in"), 10s));
    const QList<HistoryItem> history = historyIn(app.historyFile());
    ASSERT_EQ(history.size(), 1);
    EXPECT_EQ(history.first().text, transcript);
    EXPECT_EQ(app.quit(), 0);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
