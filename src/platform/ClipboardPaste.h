#pragma once

#include "ClipboardAccess.h"
#include "Ports.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace orvanta {

class PasteKeystroke;

// Pastes text at the focused window's cursor through the clipboard, whatever the session:
// the clipboard is read, the text put on it, the paste keystroke typed (Ctrl+Shift+V in a
// terminal) once the user has let go of the modifiers, and the clipboard the user had put
// back afterwards unless someone copied in the meantime. Texts inserted while another is
// under way are pasted in turn, and the clipboard the user had before the first is the one
// restored after the last. Main thread only.
class ClipboardPaste final : public QObject, public TextInsertionPort {
    Q_OBJECT

public:
    struct Timing {
        std::chrono::milliseconds pasteDelay{50};
        std::chrono::milliseconds restoreDelay{350};
        std::chrono::milliseconds readLimit{1000};
        // The keystroke waits this long at most for the user to let go of every modifier.
        std::chrono::milliseconds modifierReleaseLimit{1500};
        std::chrono::milliseconds modifierPoll{10};
    };

    // What a keystroke that could not be typed leaves behind.
    enum class WhenNotTyped {
        // The user's clipboard comes back; the insert failed (KeystrokeUnavailable).
        RestoreClipboard,
        // The text stays on the clipboard for the user to paste (LeftOnClipboard).
        LeaveText,
    };

    // Without `keystroke` the text is only put on the clipboard, and left there.
    ClipboardPaste(std::unique_ptr<ClipboardAccess> clipboard,
                   std::unique_ptr<PasteKeystroke> keystroke, WhenNotTyped whenNotTyped,
                   const Timing &timing, QObject *parent = nullptr);
    ~ClipboardPaste() override;

    void insert(const QString &text, const InsertionOptions &options, Done done) override;
    // Decides whether the focused window is a terminal; none is, unless set.
    void setTerminalCheck(std::function<bool()> check) { m_focusIsTerminal = std::move(check); }

    // The formats the text is offered in, for native and X11 readers alike; a sensitive
    // text asks clipboard managers not to keep it.
    static ClipboardAccess::Formats textFormats(const QString &text, bool sensitive);

signals:
    // The text is on the clipboard and its paste keystroke was typed.
    void pasted(const QString &text);
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
    void offerAgainOrGiveUp();
    void notTyped();
    void afterPaste();
    void restore();
    void complete(const InsertionOutcome &outcome);

    std::unique_ptr<ClipboardAccess> m_clipboard;
    std::unique_ptr<PasteKeystroke> m_keystroke;
    WhenNotTyped m_whenNotTyped;
    Timing m_timing;
    std::function<bool()> m_focusIsTerminal;

    QList<Request> m_queue;
    static constexpr int maxWriteAttempts = 3;
    std::optional<QString> m_text;
    bool m_sensitive = false;
    Done m_done;
    int m_writeAttempts = 0;
    std::optional<ClipboardAccess::Formats> m_snapshot;
    bool m_snapshotKept = false; // taken before an earlier insert that is still pending
    QTimer m_pasteTimer;
    QTimer m_nextTimer;
    QTimer m_restoreTimer;
    QDeadlineTimer m_modifierDeadline;
    QElapsedTimer m_sinceKeystroke;
};

} // namespace orvanta
