#pragma once

#include "ClipboardPaste.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHash>
#include <QProcess>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

typedef struct _XDisplay Display;

namespace orvanta::test {

// The keyboard of a user at the X server, typed on with exact key sequences: through XTEST
// on the server's own keyboard device, so the keys come from a device that is not XTEST's.
class XKeyboard {
public:
    XKeyboard();
    ~XKeyboard();
    XKeyboard(const XKeyboard &) = delete;
    XKeyboard &operator=(const XKeyboard &) = delete;

    bool isOpen() const { return m_display != nullptr; }
    // A key by X key code, or by key symbol name ("Control_L", "v"); `synthetic` types it on
    // XTEST's own device, as a program synthesizing keys does.
    void sendCode(int xKeyCode, bool down, bool synthetic = false);
    void send(const char *keySymbol, bool down, bool synthetic = false);
    // Presses the keys in order and releases them in reverse order.
    void chord(std::initializer_list<const char *> keySymbols, bool synthetic = false);
    void tap(const char *keySymbol) { chord({keySymbol}); }

    void focus(unsigned long window);
    void setWindowClass(unsigned long window, const char *name, const char *klass);
    // The window owning the clipboard selection (0 for none), asked on this connection.
    unsigned long clipboardOwner();
    // Takes a combination (X modifier mask) with a passive grab, as another application
    // would; false on error.
    bool grabKey(const char *keySymbol, unsigned xModifiers);

private:
    Display *m_display = nullptr;
    void *m_device = nullptr; // the XInput device typed on
};

// The target window program, run as a child process, and what it reported.
class TargetApp {
public:
    TargetApp() {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            m_buffer.append(m_process.readAllStandardOutput());
            for (qsizetype end = 0; (end = m_buffer.indexOf('\n')) >= 0;
                 m_buffer.remove(0, end + 1))
                m_lines.append(QString::fromUtf8(m_buffer.left(end)));
        });
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~TargetApp() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        // Our event loop keeps running meanwhile: the target may still ask us for the
        // clipboard on its way out.
        if (!QTest::qWaitFor([this] { return m_process.state() == QProcess::NotRunning; }, 5000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    // Starts it and waits until its window is shown and focused; false on failure. Without
    // `keyboard` the compositor or window manager is trusted to give the focus, else the
    // window is given it once it is mapped, as there is no window manager.
    bool start(XKeyboard &keyboard, const QStringList &arguments = {}) {
        const auto focused = [&] {
            keyboard.focus(m_window);
            return waitForLine(QStringLiteral("focus"), 200);
        };
        return launch(arguments) && QTest::qWaitFor(focused, 10000);
    }
    bool start(const QStringList &arguments = {}) {
        return launch(arguments) && waitForLine(QStringLiteral("focus"));
    }
    unsigned long window() const { return m_window; }
    QStringList lines() const { return m_lines; }
    bool hasLine(const QString &line) const { return m_lines.contains(line); }
    void forget() { m_lines.clear(); }
    // Waits (generously) for a reported line that satisfies `accept`, or that is `line`. An
    // event loop that wakes on every line: no polling delay in what a benchmark measures.
    bool waitFor(const std::function<bool(const QString &)> &accept, int timeoutMs = 10000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (std::none_of(m_lines.cbegin(), m_lines.cend(), accept)) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return false;
            QEventLoop loop;
            QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &loop,
                             &QEventLoop::quit);
            QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(int(deadline.remainingTime()), &loop, &QEventLoop::quit);
            loop.exec();
        }
        return true;
    }
    bool waitForLine(const QString &line, int timeoutMs = 10000) {
        return waitFor([&line](const QString &candidate) { return candidate == line; }, timeoutMs);
    }
    // Sends one command and waits for its acknowledgement; send() returns at once.
    bool command(const QString &command) {
        const QString done = QStringLiteral("done ") + command.section(QLatin1Char(' '), 0, 0);
        m_lines.removeAll(done);
        send(command);
        return waitForLine(done);
    }
    void send(const QString &command) {
        m_process.write((command + QLatin1Char('\n')).toUtf8());
        m_process.waitForBytesWritten(1000);
    }
    // The clipboard as the target sees it, format → bytes: its MIME formats only (no X
    // targets, no toolkit-private ones).
    QHash<QString, QByteArray> clipboardFormats() {
        const QLatin1String prefix("clipboard ");
        m_lines.removeIf([&](const QString &line) { return line.startsWith(prefix); });
        QHash<QString, QByteArray> formats;
        if (!command(QStringLiteral("dump-clipboard")))
            return formats;
        for (const QString &line : std::as_const(m_lines)) {
            const QString format = line.section(QLatin1Char(' '), 1, 1);
            if (line.startsWith(prefix) && format.contains(u'/') &&
                format != u"application/x-qt-image")
                formats.insert(format, QByteArray::fromBase64(line.section(u' ', 2).toLatin1()));
        }
        return formats;
    }
    // Those once they equal `expected`, or as they are after a generous wait: a reader learns
    // of a new owner by an event that may trail the change.
    QHash<QString, QByteArray> clipboardSettledTo(const QHash<QString, QByteArray> &expected) {
        QHash<QString, QByteArray> seen;
        static_cast<void>(
            QTest::qWaitFor([&] { return (seen = clipboardFormats()) == expected; }, 5000));
        return seen;
    }

private:
    bool launch(const QStringList &arguments) {
        if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
            // A native Wayland window; Qt's Wayland plugin leaves its clipboard and display
            // objects behind at exit.
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("QT_QPA_PLATFORM", "wayland");
            environment.insert("ASAN_OPTIONS",
                               environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
            m_process.setProcessEnvironment(environment);
        }
        m_process.start(QStringLiteral(ORVANTA_X11_TARGET), arguments);
        QString ready;
        if (!m_process.waitForStarted(10000) || !waitFor([&ready](const QString &line) {
                ready = line;
                return line.startsWith(QLatin1String("ready "));
            }))
            return false;
        m_window = ready.section(QLatin1Char(' '), 1).toULong();
        return true;
    }

    QProcess m_process;
    QByteArray m_buffer;
    QStringList m_lines;
    unsigned long m_window = 0;
};

// Inserts `text` and waits until every insert is done and the clipboard restored.
inline InsertionOutcome insertAndWait(ClipboardPaste &paste, const QString &text,
                                      const InsertionOptions &options = {}) {
    QSignalSpy finished(&paste, &ClipboardPaste::finished);
    std::optional<InsertionOutcome> outcome;
    paste.insert(text, options, [&outcome](const InsertionOutcome &done) { outcome = done; });
    if (!finished.wait(10000) || !QTest::qWaitFor([&] { return outcome.has_value(); }, 5000))
        return InsertionOutcome::failed(InsertionOutcome::Failure::KeystrokeUnavailable, "no end");
    return *outcome;
}

// Inserts `text`: it succeeds, the target's field then reads `field`, and its clipboard settles
// to `clipboard` (the user's, restored).
inline ::testing::AssertionResult pastes(ClipboardPaste &paste, TargetApp &target,
                                         const QString &text, const QString &field,
                                         const QHash<QString, QByteArray> &clipboard) {
    if (const InsertionOutcome outcome = insertAndWait(paste, text); !outcome.succeeded())
        return ::testing::AssertionFailure() << "failed: " << outcome.detail.toStdString();
    if (!target.waitForLine(QStringLiteral("text ") + field))
        return ::testing::AssertionFailure()
               << "the target received: " << target.lines().join(u'|').toStdString();
    if (const auto settled = target.clipboardSettledTo(clipboard); settled != clipboard)
        return ::testing::AssertionFailure()
               << "clipboard not restored: "
               << QStringList(settled.keys()).join(u',').toStdString();
    return ::testing::AssertionSuccess();
}

} // namespace orvanta::test
