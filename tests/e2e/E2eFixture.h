#pragma once

// The fixture of an end-to-end suite: one user's session, which the suite's cases share in
// their order, and the steps a user takes in it.

#include "E2eSupport.h"
#include "X11TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

namespace orvanta::e2e {

inline QString signedIn(const QString &status) {
    return status + QStringLiteral("\tsigned-in");
}

template <typename Keyboard = test::XKeyboard> class SessionTest : public ::testing::Test {
protected:
    struct Session {
        template <typename... Arguments>
        explicit Session(Arguments &&...serviceArguments)
            : service(std::forward<Arguments>(serviceArguments)...) {}
        ServiceProcess service;
        Keyboard keyboard;
        test::TargetApp target;
        Microphone microphone;
        std::unique_ptr<OrvantaProcess> app;
    };

    // For the suite's SetUpTestSuite: starts the service, a steady microphone stream, the
    // focused target window and orvanta, once `prepare` has written its preferences.
    template <typename... Arguments>
    static void startSession(const std::function<void(const QString &)> &prepare,
                             Arguments &&...serviceArguments) {
        session = new Session(std::forward<Arguments>(serviceArguments)...);
        if (!session->service.start())
            setupFailure = "the service did not start";
        else if (!session->keyboard.isOpen())
            setupFailure = "the desktop lets no client type";
        else if (!session->microphone.startSteadyStream())
            setupFailure = "the microphone stream did not start";
        else if (!startTarget())
            setupFailure = "the target window did not start";
        if (setupFailure)
            return;
        session->app = std::make_unique<OrvantaProcess>(service().baseUrl());
        prepare(app().configFile());
        if (!app().launch()) {
            session->app.reset();
            setupFailure = "orvanta did not start";
        }
    }

    // An X target takes the focus with the test's keyboard; a Wayland compositor gives it.
    static bool startTarget() {
        if constexpr (std::is_same_v<Keyboard, test::XKeyboard>)
            return target().start(session->keyboard);
        else
            return target().start();
    }

    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(session->app) << "the session did not start: " << setupFailure;
        ASSERT_TRUE(app().isRunning());
    }

    static OrvantaProcess &app() { return *session->app; }
    static ServiceProcess &service() { return session->service; }
    static test::TargetApp &target() { return session->target; }

    static void runOk(const QString &argument) {
        EXPECT_EQ(app().run({argument}).exitCode, 0) << argument.toStdString();
    }

    static void toggle() { runOk(QStringLiteral("--toggle")); }

    // The service's page, opened in the browser, hands the tokens back to the instance.
    static void signIn() {
        EXPECT_EQ(app().status(), QStringLiteral("idle\tsigned-out"));
        runOk(QStringLiteral("--sign-in"));
        ASSERT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), patience));
        EXPECT_EQ(app().browserVisits(),
                  QStringList{service().baseUrl() + QStringLiteral("/signin")});
    }

    // Speaks `sentence` into the microphone between `start` and `stop`.
    static void dictate(const QString &sentence, const std::function<void()> &start,
                        const std::function<void()> &stop) {
        start();
        EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("recording")), patience));
        EXPECT_TRUE(session->microphone.speak(sentence)) << "the speech did not play";
        stop();
    }

    // Waits until `text` is typed into the target and stands first of `dictations` in the
    // history.
    static void expectTyped(const QString &text, qsizetype dictations) {
        EXPECT_TRUE(target().waitForLine(QStringLiteral("text ") + text, patienceMs()))
            << "the target received: " << target().lines().join(u'|').toStdString();
        EXPECT_TRUE(waitUntil(
            [&] {
                const QList<HistoryItem> history = historyIn(app().historyFile());
                return history.size() == dictations && history.first().text == text;
            },
            patience))
            << historyIn(app().historyFile()).size() << " dictations in the history";
        EXPECT_TRUE(app().waitForStatus(signedIn(QStringLiteral("idle")), patience));
    }

    static int patienceMs() { return int(std::chrono::milliseconds(patience).count()); }

    static inline Session *session = nullptr;
    static inline const char *setupFailure = nullptr;
};

} // namespace orvanta::e2e
