// The desktop shortcuts as the desktops' own tools read them, and the rules that choose and
// spell them.

#include "DesktopShortcuts.h"
#include "DesktopTriggers.h"
#include "KeyMechanism.h"
#include "Keybindings.h"
#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvanta;
using orvanta::wayland::DesktopShortcuts;
using orvanta::wayland::TriggerSyntax;
using orvanta::wayland::triggerText;

namespace {

const Shortcut shiftCommandK =
    Shortcut::combo(40, {ModifierKey::Shift, ModifierKey::Command}, QStringLiteral("K"));
const Shortcut controlOptionLeft = Shortcut::combo(
    KeyCode::leftArrow, {ModifierKey::Option, ModifierKey::Control, ModifierKey::Fn},
    QStringLiteral("←"));
const Shortcut commandComma = Shortcut::combo(43, {ModifierKey::Command}, QStringLiteral(","));

struct TriggerCase {
    Shortcut shortcut;
    const char *gtk, *kde, *sway, *hyprland, *portal;
};

TEST(DesktopTriggers, SpellsCombinationsTheWayEachDesktopReadsThem) {
    const TriggerCase cases[] = {
        {shiftCommandK, "<Shift><Super>k", "Shift+Meta+K", "Shift+Mod4+k", "SHIFT SUPER, k",
         "SHIFT+LOGO+k"},
        {controlOptionLeft, "<Control><Alt>Left", "Ctrl+Alt+Left", "Ctrl+Alt+Left",
         "CTRL ALT, Left", "CTRL+ALT+Left"},
        {commandComma, "<Super>comma", "Meta+,", "Mod4+comma", "SUPER, comma", "LOGO+comma"},
        {Keybindings::defaultCancel(), "Escape", "Esc", "Escape", ", Escape", "Escape"},
    };
    for (const TriggerCase &c : cases) {
        SCOPED_TRACE(c.shortcut.display.toStdString());
        EXPECT_EQ(triggerText(c.shortcut, TriggerSyntax::Gtk), QString::fromUtf8(c.gtk));
        EXPECT_EQ(triggerText(c.shortcut, TriggerSyntax::Kde), QString::fromUtf8(c.kde));
        EXPECT_EQ(triggerText(c.shortcut, TriggerSyntax::Sway), QString::fromUtf8(c.sway));
        EXPECT_EQ(triggerText(c.shortcut, TriggerSyntax::Hyprland), QString::fromUtf8(c.hyprland));
        EXPECT_EQ(triggerText(c.shortcut, TriggerSyntax::Portal), QString::fromUtf8(c.portal));
    }
    EXPECT_FALSE(triggerText(Keybindings::defaultActivate(), TriggerSyntax::Gtk));
}

TEST(DesktopShortcuts, TellsTheDesktopFromTheSession) {
    const std::pair<std::map<QString, QString>, DesktopShortcuts::Desktop> cases[] = {
        {{{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}, DesktopShortcuts::Desktop::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "KDE"}}, DesktopShortcuts::Desktop::Kde},
        {{{"XDG_CURRENT_DESKTOP", "sway"}}, DesktopShortcuts::Desktop::Sway},
        {{{"SWAYSOCK", "/run/user/1000/sway-ipc.sock"}}, DesktopShortcuts::Desktop::Sway},
        {{{"HYPRLAND_INSTANCE_SIGNATURE", "abc"}}, DesktopShortcuts::Desktop::Hyprland},
        {{{"XDG_CURRENT_DESKTOP", "XFCE"}}, DesktopShortcuts::Desktop::Other},
    };
    for (const auto &[variables, desktop] : cases) {
        QProcessEnvironment environment;
        for (const auto &[name, value] : variables)
            environment.insert(name, value);
        EXPECT_EQ(DesktopShortcuts::detect(environment), desktop)
            << variables.begin()->second.toStdString();
    }
}

// GNOME, through gsettings with its keyfile backend in a private folder: ours are added beside
// the user's own, and installing again after Activate was rebound changes them in place.
TEST(GnomeShortcuts, AddsOursBesideTheUsersOwnAndUpdatesThemInPlace) {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("GSETTINGS_BACKEND", "keyfile");
    environment.insert("XDG_CONFIG_HOME", home.path());
    const QString schema = "org.gnome.settings-daemon.plugins.media-keys";
    const auto gsettings = [&](const QString &verb, const QString &path, const QString &key,
                               const QStringList &value = {}) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start("gsettings",
                      QStringList{verb,
                                  path.isEmpty() ? schema : schema + ".custom-keybinding:" + path,
                                  key} +
                          value);
        EXPECT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    };
    const QString base = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
    const QString users = base + "custom0/";
    gsettings("set", {}, "custom-keybindings", {"['" + users + "']"});
    gsettings("set", users, "binding", {"<Super>t"});
    DesktopShortcuts shortcuts(DesktopShortcuts::Desktop::Gnome, "/opt/talvo/bin/orvanta",
                               environment);
    QString report;
    for (const Shortcut &activate : {Keybindings::defaultActivate(), shiftCommandK}) {
        shortcuts.setBindings(activate, Keybindings::defaultCancel(), Keybindings::defaultPaste());
        ASSERT_TRUE(shortcuts.install(&report)) << report.toStdString();
    }
    EXPECT_EQ(gsettings("get", {}, "custom-keybindings"),
              "['" + users + "', '" + base + "orvanta-toggle/', '" + base + "orvanta-cancel/', '" +
                  base + "orvanta-paste-last/']");
    EXPECT_EQ(gsettings("get", users, "binding"), "'<Super>t'");
    const std::tuple<const char *, const char *, const char *> expected[] = {
        {"orvanta-toggle/", "'/opt/talvo/bin/orvanta --toggle'", "'<Shift><Super>k'"},
        {"orvanta-cancel/", "'/opt/talvo/bin/orvanta --cancel'", "'<Control><Shift>Escape'"},
        {"orvanta-paste-last/", "'/opt/talvo/bin/orvanta --paste-last'", "'<Control><Super>v'"},
    };
    for (const auto &[path, command, binding] : expected) {
        EXPECT_EQ(gsettings("get", base + path, "command"), command);
        EXPECT_EQ(gsettings("get", base + path, "binding"), binding);
    }

    // Where gsettings lacks the schema nothing is changed.
    environment.insert("GSETTINGS_SCHEMA_DIR", home.path());
    environment.insert("XDG_DATA_DIRS", home.path());
    DesktopShortcuts withoutSchema(DesktopShortcuts::Desktop::Gnome, "orvanta", environment);
    withoutSchema.setBindings(Keybindings::defaultActivate(), Keybindings::defaultCancel(),
                              Keybindings::defaultPaste());
    EXPECT_FALSE(withoutSchema.install(&report));
}

TEST(KeyMechanism, PrefersWhatSeesTheMostKeys) {
    struct Case {
        bool x11, keyboardReadable, portalOffered;
        KeyMechanism chosen;
    };
    const Case cases[] = {
        {true, true, true, KeyMechanism::X11},
        {false, true, true, KeyMechanism::Evdev},
        {false, false, true, KeyMechanism::Portal},
        {false, false, false, KeyMechanism::DesktopShortcuts},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(chooseKeyMechanism(c.x11, c.keyboardReadable, c.portalOffered), c.chosen)
            << mechanismName(c.chosen).toStdString();
    }
}

// KDE Plasma: our desktop files and groups of our own in kglobalshortcutsrc, read back with
// kreadconfig5; the user's shortcuts stay as they were.
TEST(KdeShortcuts, WritesGroupsOfItsOwnBesideTheUsers) {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    QDir().mkpath(home.filePath("config"));
    QFile rc(home.filePath("config/kglobalshortcutsrc"));
    ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
    rc.write("[kwin]\nWindow Close=Alt+F4,Alt+F4,Close Window\n\n"
             "[org.kde.konsole.desktop]\n_launch=Ctrl+Alt+T,none,Konsole\n");
    rc.close();

    DesktopShortcuts shortcuts(DesktopShortcuts::Desktop::Kde, "orvanta", environment);
    shortcuts.setBindings(Keybindings::defaultActivate(), Keybindings::defaultCancel(),
                          Keybindings::defaultPaste());
    QString report;
    ASSERT_TRUE(shortcuts.install(&report)) << report.toStdString();
    const std::tuple<const char *, const char *, const char *> expected[] = {
        {"orvanta-toggle.desktop", "_launch", "Ctrl+Alt+Space,none,Talvo: Activate"},
        {"orvanta-cancel.desktop", "_launch", "Ctrl+Shift+Esc,none,Talvo: Cancel"},
        {"orvanta-paste-last.desktop", "_launch", "Ctrl+Meta+V,none,Talvo: Paste Last Transcript"},
        {"org.kde.konsole.desktop", "_launch", "Ctrl+Alt+T,none,Konsole"},
        {"kwin", "Window Close", "Alt+F4,Alt+F4,Close Window"},
    };
    for (const auto &[group, key, value] : expected) {
        QProcess read;
        read.setProcessEnvironment(environment);
        read.start("kreadconfig5",
                   {"--file", "kglobalshortcutsrc", "--group", group, "--key", key});
        EXPECT_TRUE(read.waitForFinished(10000));
        EXPECT_EQ(QString::fromUtf8(read.readAllStandardOutput()).trimmed(), value) << group;
    }
    QFile entry(home.filePath("data/applications/orvanta-toggle.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nExec=orvanta --toggle\n"));
}

} // namespace
