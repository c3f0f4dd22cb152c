#pragma once

// The fixture of an end-to-end suite: one user's session, which the suite's cases share in
// their order, and the steps a user takes in it.

#include "E2eSupport.h"
#include "HistoryItem.h"

#include <gtest/gtest.h>

namespace orvanta::e2e {

inline QString signedIn(const QString &status) {
    return status + QStringLiteral("\tsigned-in");
}

template <typename Keyboard = test::XKeyboard> class SessionTest : public ::testing::Test {
protected:
    using Session = DictationSession<Keyboard>;

    // For the suite's SetUpTestSuite.
    template <typename... ServiceArguments>
    static void startSession(const std::function<void(const QString &)> &prepare,
                             ServiceArguments &&...arguments) {
        session = new Session(std::forward<ServiceArguments>(arguments)...);
        setupFailure = session->start(prepare);
    }

    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(session->app) << "the session did not start: " << setupFailure << "\n"
                                  << session->service.output().toStdString();
        ASSERT_TRUE(app().isRunning());
    }

    static OrvantaProcess &app() { return *session->app; }
    static ServiceProcess &service() { return session->service; }
    static test::TargetApp &target() { return session->target; }

    static void runOk(const QStringList &arguments) {
        const ProcessOutcome outcome = app().run(arguments);
        EXPECT_EQ(outcome.exitCode, 0)
            << arguments.join(u' ').toStdString() << ": " << outcome.errors.toStdString();
    }

    static void toggle() { runOk({QStringLiteral("--toggle")}); }

    // The service's page, opened in the browser, hands the tokens back to the instance.
    static void signIn() {
        EXPECT_EQ(app().status(), QStringLiteral("idle\tsigned-out"));
        runOk({QStringLiteral("--sign-in")});
        ASSERT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), patience));
        EXPECT_EQ(app().browserVisits(),
                  QStringList{service().baseUrl() + QStringLiteral("/signin")});
    }

    // Speaks `sentence` into the microphone between `start` and `stop`; the seconds spoken.
    static double dictate(const QString &sentence, const std::function<void()> &start,
                          const std::function<void()> &stop) {
        start();
        EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("recording")), patience));
        const std::optional<double> spoken = session->microphone.speak(sentence);
        EXPECT_TRUE(spoken) << "the speech did not play";
        stop();
        return spoken.value_or(0);
    }

    // Waits until `text` is typed into the target and stands first of `dictations` in the
    // history.
    static void expectTyped(const QString &text, qsizetype dictations) {
        ASSERT_TRUE(target().waitForLine(QStringLiteral("text ") + text, patienceMs()))
            << "the target received: " << target().lines().join(u'|').toStdString();
        QList<HistoryItem> history;
        EXPECT_TRUE(waitUntil(
            [&] {
                history = historyIn(app().historyFile());
                return history.size() == dictations;
            },
            patience))
            << history.size() << " dictations in the history";
        ASSERT_FALSE(history.isEmpty());
        EXPECT_EQ(history.first().text, text);
        EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), patience));
    }

    static int patienceMs() { return int(std::chrono::milliseconds(patience).count()); }

    static inline Session *session = nullptr;
    static inline const char *setupFailure = nullptr;
};

} // namespace orvanta::e2e
