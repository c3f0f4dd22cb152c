#pragma once

#include "Ports.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <optional>

typedef struct _XDisplay Display;

namespace orvanta::x11 {

// Pastes text at the focused window's cursor through the clipboard: the clipboard is saved,
// the text put on it, the paste keystroke synthesized with XTEST, and the saved clipboard put
// back afterwards. Texts inserted while another is under way are pasted in turn, and the
// clipboard the user had before the first is the one restored after the last. Main thread
// only; needs a QGuiApplication.
class TextInserter final : public QObject, public TextInsertionPort {
    Q_OBJECT

public:
    struct Timing {
        std::chrono::milliseconds pasteDelay{50};
        std::chrono::milliseconds restoreDelay{350};
        // The keystroke waits this long at most for the user to let go of every modifier; the
        // keys still held then are let go around it.
        std::chrono::milliseconds modifierReleaseLimit{1500};
        std::chrono::milliseconds modifierPoll{10};
    };

    // Every format a clipboard offered, with its bytes, in the order it listed them.
    using ClipboardSnapshot = QList<QPair<QString, QByteArray>>;

    explicit TextInserter(QObject *parent = nullptr);
    explicit TextInserter(const Timing &timing, QObject *parent = nullptr);
    ~TextInserter() override;

    void insert(const QString &text, const InsertionOptions &options, Done done) override;

    // Whether a window of this WM_CLASS name or class is a terminal emulator.
    static bool isTerminal(const QString &resourceName, const QString &resourceClass);
    // The clipboard's real formats: X protocol targets and Qt's internal image left out.
    static ClipboardSnapshot takeSnapshot();

signals:
    // The text is on the clipboard and its paste keystroke was sent (or would have been,
    // had the display offered XTEST).
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
    void pasteWhenModifiersReleased();
    void retryWriteOrGiveUp();
    void afterPaste();
    void restore();
    bool clipboardHoldsInsertedText() const;
    bool ensureDisplay();
    bool anyModifierHeld();
    bool focusIsTerminal();
    QList<int> keysHeldOnXTestDevice();
    // Types Ctrl+V (Ctrl+Shift+V) with exactly those modifiers: modifier keys still held on
    // the XTEST device are let go around it and pressed again after. False when it cannot be
    // typed.
    bool sendPasteKeystroke(bool withShift, QString *problem);
    void putOnClipboard(const QString &text, bool sensitive);
    void complete(const InsertionOutcome &outcome);

    Timing m_timing;
    QList<Request> m_queue;
    static constexpr int maxWriteAttempts = 3;

    std::optional<ClipboardSnapshot> m_snapshot;
    bool m_snapshotKept = false; // taken before an earlier insert that is still pending
    int m_writeAttempts = 0;
    std::optional<QString> m_insertedText;
    bool m_sensitive = false;
    Done m_done;
    QTimer m_pasteTimer;
    QTimer m_nextTimer;
    QTimer m_restoreTimer;
    QDeadlineTimer m_modifierDeadline;
    QElapsedTimer m_sinceKeystroke;

    Display *m_display = nullptr;
    bool m_displayFailed = false;
    QList<int> m_modifierKeyCodes;
    unsigned long m_xtestKeyboard = 0;
};

} // namespace orvanta::x11
