#pragma once

#include <QHash>
#include <QProcess>
#include <QStringList>

#include <functional>

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
    // Key symbols by name, as in "Control_L", "Super_L", "Escape", "v".
    void press(const char *keySymbol);
    void release(const char *keySymbol);
    void tap(const char *keySymbol);
    // Presses the keys in order and releases them in reverse order.
    void chord(std::initializer_list<const char *> keySymbols);
    // A key by its X key code, whatever the keyboard map makes of it.
    void sendCode(int xKeyCode, bool down);
    // A key event on XTEST's own device, as a program synthesizing keys sends it.
    void sendSynthetic(const char *keySymbol, bool down);
    // Whether the server has the key down now.
    bool isHeld(const char *keySymbol);

    void focus(unsigned long window);
    void setWindowClass(unsigned long window, const QByteArray &name, const QByteArray &klass);
    // The window owning the clipboard selection (0 for none), asked on this connection.
    unsigned long clipboardOwner();
    // Takes a combination with a passive grab, as another application would; false on error.
    bool grabKey(const char *keySymbol, unsigned modifiers);
    static unsigned controlMask();
    static unsigned superMask();

private:
    int keyCode(const char *keySymbol) const;
    void send(const char *keySymbol, bool down);

    Display *m_display = nullptr;
    void *m_device = nullptr; // the XInput device typed on
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
    // Waits (generously) for a reported line that satisfies `accept`.
    bool waitFor(const std::function<bool(const QString &)> &accept, int timeoutMs = 10000);
    bool waitForLine(const QString &line, int timeoutMs = 10000);
    bool hasLine(const QString &line) const { return m_lines.contains(line); }
    // Sends one command and waits for its acknowledgement.
    bool command(const QString &command);
    // Sends one command and returns at once.
    void send(const QString &command);
    // The clipboard as the target sees it: format → bytes.
    QHash<QString, QByteArray> dumpClipboard();
    // Its MIME formats only: no X targets, no toolkit-private ones.
    QHash<QString, QByteArray> clipboardFormats();
    // Those once they equal `expected`, or as they are after a generous wait: a reader learns
    // of a new owner by an event that may trail the change.
    QHash<QString, QByteArray> clipboardSettledTo(const QHash<QString, QByteArray> &expected);
    void forget() { m_lines.clear(); }

private:
    bool launch(const QStringList &arguments);
    void readLines();

    QProcess m_process;
    QByteArray m_buffer;
    QStringList m_lines;
    unsigned long m_window = 0;
};

} // namespace orvanta::test
