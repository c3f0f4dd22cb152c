#pragma once

#include "RecorderKeyTranslator.h"
#include "ShortcutRecorder.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

class QWindow;

namespace orvanta {

class Keybindings;

// The three binding rows and the recorder sheet behind them. While a recording runs, the key
// events of the sheet's window are turned into bindings' terms and never reach its controls.
class KeybindingsModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList rows READ rows NOTIFY rowsChanged)
    Q_PROPERTY(bool recording READ recording NOTIFY recorderChanged)
    Q_PROPERTY(QString actionTitle READ actionTitle NOTIFY recorderChanged)
    Q_PROPERTY(QString capturedDisplay READ capturedDisplay NOTIFY recorderChanged)
    Q_PROPERTY(bool conflict READ conflict NOTIFY recorderChanged)
    Q_PROPERTY(bool canSave READ canSave NOTIFY recorderChanged)

public:
    // The stored code of the physical key behind a window key event's native scan code, where
    // the platform's codes are known.
    using ScanCodeTranslator = std::function<std::optional<quint16>(quint32 nativeScanCode)>;

    explicit KeybindingsModel(Keybindings &keybindings, QObject *parent = nullptr);
    ~KeybindingsModel() override;

    void setScanCodeTranslator(ScanCodeTranslator translator);
    // The Activate binding the shortcut monitor listens for, when it differs from the stored
    // one (the built-in default where the key source cannot see its key).
    using ListenedActivate = std::function<std::optional<Shortcut>()>;
    void setListenedActivate(ListenedActivate listened);

    // [{action, title, description, icon, display, label}] in the order activate, cancel, paste
    // last; `display` is the stored text, `label` the desktop's way of writing the binding that
    // really works.
    QVariantList rows() const;
    bool recording() const { return m_recorder != nullptr; }
    QString actionTitle() const;
    QString capturedDisplay() const;
    bool conflict() const { return m_recorder && m_recorder->conflict(); }
    bool canSave() const { return m_recorder && m_recorder->canSave(); }

    Q_INVOKABLE void resetToDefaults();
    // Starts a recording for the action ("activate", "cancel", "pasteLast") and listens to the
    // key events of `window`.
    Q_INVOKABLE void beginRecording(const QString &action, QObject *window);
    // Ends the recording without storing anything.
    Q_INVOKABLE void cancelRecording();
    // Stores the capture and ends the recording; does nothing while Save is not allowed.
    Q_INVOKABLE void save();

    // Hands one translated event to the recording.
    void handle(const RecorderKey &key);

signals:
    void rowsChanged();
    void recorderChanged();
    void recordingFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void endRecording();

    Keybindings &m_keybindings;
    ScanCodeTranslator m_translateScanCode;
    ListenedActivate m_listenedActivate;
    std::unique_ptr<ShortcutRecorder> m_recorder;
    QPointer<QWindow> m_window;
};

} // namespace orvanta
