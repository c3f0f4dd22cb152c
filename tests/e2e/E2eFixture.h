#pragma once

// One user's session, which an end-to-end suite's cases share in order, and the user's steps.

#include "E2eSupport.h"
#include "X11TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

namespace orvanta::e2e {

template <typename Keyboard = test::XKeyboard> class SessionTest : public ::testing::Test {
protected:
    struct Session {
        std::unique_ptr<DictationService> service;
        Keyboard keyboard;
        test::TargetApp target;
        Microphone microphone;
        std::unique_ptr<OrvantaProcess> app;
    };

    // Starts the service, the microphone, the focused target window and orvanta, once
    // `prepare` has written its preferences.
    static void startSession(DictationService *service,
                             const std::function<void(const QString &)> &prepare) {
        session = new Session();
        session->service.reset(service);
        const auto showTarget = [] {
            if constexpr (std::is_same_v<Keyboard, test::XKeyboard>)
                return target().start(session->keyboard);
            else
                return target().start();
        };
        if (!service->start() || !session->keyboard.isOpen() ||
            !session->microphone.startSteadyStream() || !showTarget())
            return;
        session->app = std::make_unique<OrvantaProcess>(service->baseUrl());
        prepare(app().configFile());
        if (!app().launch())
            session->app.reset();
    }

    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(session->app && app().isRunning())
            << "the service, the keyboard, the microphone, the target window or orvanta stopped";
    }

    static OrvantaProcess &app() { return *session->app; }
    static test::TargetApp &target() { return session->target; }

    // Waits until the instance reports `status` and being signed in.
    static bool reaches(const QString &status) {
        return app().waitForStatus(status + QStringLiteral("\tsigned-in"));
    }

    static void runOk(const QString &argument) {
        EXPECT_EQ(app().run({argument}).exitCode, 0) << argument.toStdString();
    }

    static void toggle() { runOk(QStringLiteral("--toggle")); }

    // The service's page, opened in the browser, hands the tokens back to the instance.
    static void signIn() {
        EXPECT_EQ(app().status(), QStringLiteral("idle\tsigned-out"));
        runOk(QStringLiteral("--sign-in"));
        EXPECT_TRUE(reaches(QStringLiteral("idle")));
    }

    // Speaks `sentence` into the microphone between `start` and `stop`.
    static void dictate(const QString &sentence, const std::function<void()> &start,
                        const std::function<void()> &stop) {
        start();
        EXPECT_TRUE(reaches(QStringLiteral("recording")));
        EXPECT_TRUE(session->microphone.speak(sentence)) << "the speech did not play";
        stop();
    }

    // Waits until `text` is typed into the target and is the newest of `dictations`.
    static void expectTyped(const QString &text, qsizetype dictations) {
        EXPECT_TRUE(target().waitForLine(QStringLiteral("text ") + text, patienceMs))
            << "the target received: " << target().lines().join(u'|').toStdString();
        EXPECT_TRUE(waitUntil([&] {
            const QList<HistoryItem> history = historyIn(app().historyFile());
            return history.size() == dictations && history.first().text == text;
        })) << historyIn(app().historyFile()).size()
            << " dictations in the history";
        EXPECT_TRUE(reaches(QStringLiteral("idle")));
    }

    static inline Session *session = nullptr;
};

} // namespace orvanta::e2e
