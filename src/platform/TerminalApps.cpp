#include "TerminalApps.h"

#include <QStringList>

namespace orvanta {

namespace {

// X11 window classes (WM_CLASS name or class) and Wayland application ids, lower case.
const QStringList &terminalApps() {
    static const QStringList apps = {
        QStringLiteral("alacritty"),
        QStringLiteral("aterm"),
        QStringLiteral("blackbox"),
        QStringLiteral("cool-retro-term"),
        QStringLiteral("deepin-terminal"),
        QStringLiteral("eterm"),
        QStringLiteral("foot"),
        QStringLiteral("footclient"),
        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"),
        QStringLiteral("guake"),
        QStringLiteral("kgx"),
        QStringLiteral("kitty"),
        QStringLiteral("konsole"),
        QStringLiteral("lxterminal"),
        QStringLiteral("mate-terminal"),
        QStringLiteral("org.gnome.console"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("ptyxis"),
        QStringLiteral("qterminal"),
        QStringLiteral("rxvt"),
        QStringLiteral("sakura"),
        QStringLiteral("st"),
        QStringLiteral("st-256color"),
        QStringLiteral("terminator"),
        QStringLiteral("terminology"),
        QStringLiteral("tilda"),
        QStringLiteral("tilix"),
        QStringLiteral("urxvt"),
        QStringLiteral("uxterm"),
        QStringLiteral("wezterm"),
        QStringLiteral("x-terminal-emulator"),
        QStringLiteral("xfce4-terminal"),
        QStringLiteral("xterm"),
        QStringLiteral("yakuake"),
        // Application ids of Wayland-native terminals.
        QStringLiteral("com.gexperts.tilix"),
        QStringLiteral("com.mitchellh.ghostty"),
        QStringLiteral("com.raggesilver.blackbox"),
        QStringLiteral("ghostty"),
        QStringLiteral("io.elementary.terminal"),
        QStringLiteral("org.gnome.ptyxis"),
        QStringLiteral("org.gnome.terminal"),
        QStringLiteral("org.kde.konsole"),
        QStringLiteral("org.kde.yakuake"),
    };
    return apps;
}

} // namespace

bool isTerminalApp(const QString &appIdOrClass) {
    return terminalApps().contains(appIdOrClass.toLower());
}

} // namespace orvanta
