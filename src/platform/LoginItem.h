#pragma once

#include "Ports.h"

#include <QString>

namespace orvanta {

// Open at login through an XDG autostart entry. It counts as enabled when the entry exists
// and is not switched off (Hidden=true, or X-GNOME-Autostart-enabled=false).
class LoginItem final : public LoginItemPort {
public:
    // $XDG_CONFIG_HOME/autostart, starting this executable.
    LoginItem();
    LoginItem(QString autostartDirectory, QString executable);

    QString entryFile() const { return m_directory + QStringLiteral("/orvanta.desktop"); }

    bool isEnabled() const override;
    void set(bool enabled) override;

private:
    void writeEntry();
    void removeEntry();

    QString m_directory;
    QString m_executable;
};

} // namespace orvanta
