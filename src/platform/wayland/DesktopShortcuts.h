#pragma once

#include "Shortcut.h"

#include <QList>
#include <QProcessEnvironment>
#include <QString>

namespace orvanta::wayland {

// The desktop's own shortcuts, bound to the command line: where no key source of ours can
// see the keys, the desktop runs `orvanta --toggle`, `--cancel` and `--paste-last`.
class DesktopShortcuts {
public:
    enum class Desktop { Gnome, Kde, Sway, Hyprland, Other };

    // One action's desktop shortcut.
    struct Binding {
        KeybindAction action;
        QString argument;  // --toggle, --cancel, --paste-last
        Shortcut shortcut; // the combination bound
        // Why `shortcut` is not the stored binding; empty when it is.
        QString substitution;
    };

    // Stands in for a double press, which no desktop can bind.
    static Shortcut doubleTapStandIn();
    // Named by XDG_CURRENT_DESKTOP, else by the compositor's socket variables.
    static Desktop detect(const QProcessEnvironment &environment);
    static QString name(Desktop desktop);

    // `program` is what the desktop runs; `environment` is what the tools run with.
    DesktopShortcuts(Desktop desktop, QString program,
                     QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

    void setBindings(const Shortcut &activate, const Shortcut &cancel, const Shortcut &pasteLast);
    QList<Binding> bindings() const { return m_bindings; }

    // What to put where, for a person to read and copy.
    QString instructions() const;
    // Applies the shortcuts where that can be done without touching the user's own ones
    // (GNOME, KDE, and the running sway session); `report` says what changed. False when
    // nothing could be applied on this desktop or a tool failed.
    bool install(QString *report) const;

private:
    QString command(const Binding &binding) const;
    QString label(const Binding &binding) const;
    bool installGnome(QString *report) const;
    bool installKde(QString *report) const;
    bool installSway(QString *report) const;
    bool run(const QString &program, const QStringList &arguments, QString *output,
             QString *error) const;

    Desktop m_desktop;
    QString m_program;
    QProcessEnvironment m_environment;
    QList<Binding> m_bindings;
};

} // namespace orvanta::wayland
