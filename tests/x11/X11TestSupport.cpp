#include "X11TestSupport.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <cstring>

namespace orvanta::test {

XKeyboard::XKeyboard()
    : m_display(XOpenDisplay(nullptr)) {
    if (!m_display)
        return;
    // The server's own keyboard device, not XTEST's: the keys look typed by hand.
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(m_display, XIAllDevices, &count);
    for (int index = 0; index < count && !m_device; ++index) {
        if (devices[index].use == XISlaveKeyboard && !std::strstr(devices[index].name, "XTEST"))
            m_device = XOpenDevice(m_display, XID(devices[index].deviceid));
    }
    XIFreeDeviceInfo(devices);
}

XKeyboard::~XKeyboard() {
    if (m_device)
        XCloseDevice(m_display, static_cast<XDevice *>(m_device));
    if (m_display)
        XCloseDisplay(m_display);
}

void XKeyboard::sendCode(int xKeyCode, bool down, bool synthetic) {
    if (m_device && !synthetic)
        XTestFakeDeviceKeyEvent(m_display, static_cast<XDevice *>(m_device), unsigned(xKeyCode),
                                down, nullptr, 0, CurrentTime);
    else
        XTestFakeKeyEvent(m_display, unsigned(xKeyCode), down, CurrentTime);
    XSync(m_display, False);
}

void XKeyboard::send(const char *keySymbol, bool down, bool synthetic) {
    sendCode(XKeysymToKeycode(m_display, XStringToKeysym(keySymbol)), down, synthetic);
}

void XKeyboard::chord(std::initializer_list<const char *> keySymbols, bool synthetic) {
    for (const char *symbol : keySymbols)
        send(symbol, true, synthetic);
    for (auto it = std::rbegin(keySymbols); it != std::rend(keySymbols); ++it)
        send(*it, false, synthetic);
}

void XKeyboard::focus(unsigned long window) {
    XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    XSync(m_display, False);
}

void XKeyboard::setWindowClass(unsigned long window, const char *name, const char *klass) {
    XClassHint hint{const_cast<char *>(name), const_cast<char *>(klass)};
    XSetClassHint(m_display, window, &hint);
    XSync(m_display, False);
}

unsigned long XKeyboard::clipboardOwner() {
    return XGetSelectionOwner(m_display, XInternAtom(m_display, "CLIPBOARD", False));
}

bool XKeyboard::grabKey(const char *keySymbol, unsigned xModifiers) {
    static bool grabFailed;
    grabFailed = false;
    const auto previous =
        XSetErrorHandler([](Display *, XErrorEvent *) { return int(grabFailed = true); });
    XGrabKey(m_display, XKeysymToKeycode(m_display, XStringToKeysym(keySymbol)), xModifiers,
             DefaultRootWindow(m_display), False, GrabModeAsync, GrabModeAsync);
    XSync(m_display, False);
    XSetErrorHandler(previous);
    return !grabFailed;
}

XServer::XServer(const QString &number) {
    // It writes its display number once it accepts connections.
    process.start(QStringLiteral("Xvfb"),
                  (number.isEmpty() ? QStringList() : QStringList{number}) +
                      QStringList{"-displayfd", "1", "-nolisten", "tcp", "-noreset"});
    if (!QTest::qWaitFor([this] { return process.canReadLine(); }, 10000))
        return;
    display = QStringLiteral(":") + QString::fromLatin1(process.readLine()).trimmed();
    qputenv("DISPLAY", display.toLatin1());
}

XServer::~XServer() {
    qputenv("DISPLAY", previousDisplay);
    process.kill();
    process.waitForFinished(5000);
}

TargetApp::TargetApp() {
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
        m_buffer.append(m_process.readAllStandardOutput());
        for (qsizetype end = 0; (end = m_buffer.indexOf('\n')) >= 0; m_buffer.remove(0, end + 1))
            m_lines.append(QString::fromUtf8(m_buffer.left(end)));
    });
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

TargetApp::~TargetApp() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    // Our event loop keeps running meanwhile: the target may still ask us for the clipboard
    // on its way out.
    if (!QTest::qWaitFor([this] { return m_process.state() == QProcess::NotRunning; }, 5000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool TargetApp::launch(const QStringList &arguments) {
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
        // A native Wayland window; Qt's Wayland plugin leaves its clipboard and display
        // objects behind at exit.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "wayland");
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
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

bool TargetApp::start(const QStringList &arguments) {
    return launch(arguments) && waitForLine(QStringLiteral("focus"));
}

bool TargetApp::start(XKeyboard &keyboard, const QStringList &arguments) {
    // Without a window manager the window must be given the focus, once it is mapped.
    return launch(arguments) && QTest::qWaitFor(
                                    [&] {
                                        keyboard.focus(m_window);
                                        return waitForLine(QStringLiteral("focus"), 200);
                                    },
                                    10000);
}

bool TargetApp::waitFor(const std::function<bool(const QString &)> &accept, int timeoutMs) {
    // An event loop that wakes on every line: no polling delay in what a benchmark measures.
    const QDeadlineTimer deadline(timeoutMs);
    while (std::none_of(m_lines.cbegin(), m_lines.cend(), accept)) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        QEventLoop loop;
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
        QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(int(deadline.remainingTime()), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

bool TargetApp::waitForLine(const QString &line, int timeoutMs) {
    return waitFor([&line](const QString &candidate) { return candidate == line; }, timeoutMs);
}

bool TargetApp::command(const QString &command) {
    const QString done = QStringLiteral("done ") + command.section(QLatin1Char(' '), 0, 0);
    m_lines.removeAll(done);
    send(command);
    return waitForLine(done);
}

void TargetApp::send(const QString &command) {
    m_process.write((command + QLatin1Char('\n')).toUtf8());
    m_process.waitForBytesWritten(1000);
}

QHash<QString, QByteArray> TargetApp::clipboardFormats() {
    const QLatin1String prefix("clipboard ");
    m_lines.removeIf([&](const QString &line) { return line.startsWith(prefix); });
    QHash<QString, QByteArray> formats;
    if (!command(QStringLiteral("dump-clipboard")))
        return formats;
    for (const QString &line : std::as_const(m_lines)) {
        const QString format = line.section(QLatin1Char(' '), 1, 1);
        if (line.startsWith(prefix) && format.contains(u'/') && format != u"application/x-qt-image")
            formats.insert(format, QByteArray::fromBase64(line.section(u' ', 2).toLatin1()));
    }
    return formats;
}

QHash<QString, QByteArray>
TargetApp::clipboardSettledTo(const QHash<QString, QByteArray> &expected) {
    QHash<QString, QByteArray> seen;
    static_cast<void>(
        QTest::qWaitFor([&] { return (seen = clipboardFormats()) == expected; }, 5000));
    return seen;
}

InsertionOutcome insertAndWait(ClipboardPaste &paste, const QString &text,
                               const InsertionOptions &options) {
    QSignalSpy finished(&paste, &ClipboardPaste::finished);
    std::optional<InsertionOutcome> outcome;
    paste.insert(text, options, [&outcome](const InsertionOutcome &done) { outcome = done; });
    if (!finished.wait(10000) || !QTest::qWaitFor([&] { return outcome.has_value(); }, 5000))
        return InsertionOutcome::failed(InsertionOutcome::Failure::KeystrokeUnavailable, "no end");
    return *outcome;
}

::testing::AssertionResult pastes(ClipboardPaste &paste, TargetApp &target, const QString &text,
                                  const QString &field,
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
