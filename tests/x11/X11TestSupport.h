#pragma once

#include "ClipboardPaste.h"

#include <QHash>
#include <QProcess>
#include <QStringList>

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

// An X server of the test's own, on `display` or one it picks; DISPLAY names it from its start
// until this object is gone.
struct XServer {
    explicit XServer(const QString &display = {});
    ~XServer();
    QProcess process;
    QString display; // empty when it did not start
    const QByteArray previousDisplay = qgetenv("DISPLAY");
};

// The target window program, run as a child process, and what it reported.
class TargetApp {
public:
    TargetApp();
    ~TargetApp();

    // Starts it and waits until its window is shown and focused; false on failure. Without
    // `keyboard` the compositor or window manager is trusted to give the focus.
    bool start(XKeyboard &keyboard, const QStringList &arguments = {});
    bool start(const QStringList &arguments = {});
    unsigned long window() const { return m_window; }
    QStringList lines() const { return m_lines; }
    bool hasLine(const QString &line) const { return m_lines.contains(line); }
    void forget() { m_lines.clear(); }
    // Waits (generously) for a reported line that satisfies `accept`, or that is `line`.
    bool waitFor(const std::function<bool(const QString &)> &accept, int timeoutMs = 10000);
    bool waitForLine(const QString &line, int timeoutMs = 10000);
    // Sends one command and waits for its acknowledgement; send() returns at once.
    bool command(const QString &command);
    void send(const QString &command);
    // The clipboard as the target sees it, format → bytes: its MIME formats only (no X
    // targets, no toolkit-private ones).
    QHash<QString, QByteArray> clipboardFormats();
    // Those once they equal `expected`, or as they are after a generous wait: a reader learns
    // of a new owner by an event that may trail the change.
    QHash<QString, QByteArray> clipboardSettledTo(const QHash<QString, QByteArray> &expected);

private:
    bool launch(const QStringList &arguments);

    QProcess m_process;
    QByteArray m_buffer;
    QStringList m_lines;
    unsigned long m_window = 0;
};

// Inserts `text` and waits until every insert is done and the clipboard restored.
InsertionOutcome insertAndWait(ClipboardPaste &paste, const QString &text,
                               const InsertionOptions &options = {});
// Inserts `text`: it succeeds, the target's field then reads `field`, and its clipboard settles
// to `clipboard` (the user's, restored).
::testing::AssertionResult pastes(ClipboardPaste &paste, TargetApp &target, const QString &text,
                                  const QString &field,
                                  const QHash<QString, QByteArray> &clipboard);

} // namespace orvanta::test
