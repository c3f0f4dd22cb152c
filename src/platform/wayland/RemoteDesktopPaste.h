#pragma once

#include "PasteKeystroke.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <memory>

namespace orvanta::wayland {

// Types the paste keystroke through the RemoteDesktop portal (GNOME, and KDE as a
// fallback): one keyboard session asked for once per run, which the portal confirms with
// the user, kept open and asked for again only when the desktop closed it. Keys go as key
// symbols, so V is V whatever the layout. Main thread only.
class RemoteDesktopPaste final : public QObject, public PasteKeystroke {
    Q_OBJECT

public:
    enum class State { Idle, Starting, Ready, Refused };

    // Nothing when the bus has no RemoteDesktop portal that offers a keyboard.
    static std::unique_ptr<RemoteDesktopPaste> create(const QDBusConnection &bus);

    // Asks for the keyboard session unless one is there, being asked for, or was refused.
    void start();
    // False unless the session is ready; starts asking for it then.
    bool send(bool withShift) override;
    State state() const { return m_state; }

signals:
    void stateChanged(State state);

private slots:
    void onSessionClosed();

private:
    explicit RemoteDesktopPaste(const QDBusConnection &bus);
    void setState(State state);
    void selectDevices();
    void startSession();
    void key(int keysym, bool pressed);

    QDBusConnection m_bus;
    State m_state = State::Idle;
    QString m_session;
};

} // namespace orvanta::wayland
