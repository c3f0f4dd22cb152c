#pragma once

#include "ClipboardAccess.h"
#include "Ports.h"
#include "WaylandProbe.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace orvanta::wayland {

class PasteKeystroke;
class WaylandConnection;

// Pastes text at the cursor on a Wayland session: the clipboard is read through
// data-control, the text put on it, Ctrl+V (Ctrl+Shift+V in a terminal) typed through the
// compositor's keystroke protocol, and the clipboard the user had put back afterwards.
// Without a keystroke protocol the text is left on the clipboard for the user to paste.
// Texts inserted while another is under way are pasted in turn. Main thread only.
class WaylandTextInserter final : public QObject, public TextInsertionPort {
    Q_OBJECT

public:
    struct Timing {
        std::chrono::milliseconds pasteDelay{50};
        std::chrono::milliseconds restoreDelay{350};
        std::chrono::milliseconds readLimit{1000};
    };

    // `keystroke` may be null: the text is then only put on the clipboard. `connection`, the
    // one the clipboard and keystroke use if any, is dispatched before each look at the
    // clipboard.
    WaylandTextInserter(std::unique_ptr<WaylandConnection> connection,
                        std::unique_ptr<ClipboardAccess> clipboard,
                        std::unique_ptr<PasteKeystroke> keystroke, const Timing &timing,
                        QObject *parent = nullptr);
    ~WaylandTextInserter() override;

    // Connects to the session's compositor and builds what its offer allows; nothing when
    // the session is no Wayland one or the choice falls on another mechanism. `choice`
    // receives the decision either way.
    static std::unique_ptr<WaylandTextInserter> forSession(TextInsertionChoice &choice,
                                                           const Timing &timing);

    void insert(const QString &text, const InsertionOptions &options, Done done) override;
    bool canType() const { return m_keystroke != nullptr; }
    // Decides whether the focused window is a terminal; the compositor's own IPC by default.
    void setTerminalCheck(std::function<bool()> check) { m_focusIsTerminal = std::move(check); }

    // The formats the text is offered in, for native and XWayland readers alike; a
    // sensitive text asks clipboard managers not to keep it.
    static ClipboardAccess::Formats textFormats(const QString &text, bool sensitive);

signals:
    // Every requested insert is done and the clipboard restored where it should be.
    void finished();

private:
    struct Request {
        QString text;
        InsertionOptions options;
        Done done;
    };

    void beginNext();
    void typeKeystroke();
    void afterPaste();
    void restore();
    void dispatchEvents();
    void complete(const InsertionOutcome &outcome);

    std::unique_ptr<WaylandConnection> m_connection;
    std::unique_ptr<ClipboardAccess> m_clipboard;
    std::unique_ptr<PasteKeystroke> m_keystroke;
    Timing m_timing;
    std::function<bool()> m_focusIsTerminal;

    QList<Request> m_queue;
    std::optional<QString> m_text;
    bool m_sensitive = false;
    Done m_done;
    int m_writeAttempts = 0;
    static constexpr int maxWriteAttempts = 3;
    std::optional<ClipboardAccess::Formats> m_snapshot;
    QTimer m_pasteTimer;
    QTimer m_nextTimer;
    QTimer m_restoreTimer;
    QElapsedTimer m_sinceKeystroke;
};

} // namespace orvanta::wayland
