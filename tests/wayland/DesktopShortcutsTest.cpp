// Desktop shortcuts as each desktop's tools read them, sway's as it runs them, and their spelling.

#include "DesktopShortcuts.h"
#include "DesktopTriggers.h"
#include "Keybindings.h"
#include "QtPrinters.h"
#include "TempEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <array>

using namespace orvanta;
using orvanta::test::TempFolder;
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

// What a desktop's own tool, run in `environment`, prints.
QString run(const QProcessEnvironment &environment, const QString &program,
            const QStringList &arguments) {
    return QString::fromUtf8(test::runProgram(program, arguments, {}, environment).output)
        .trimmed();
}

TEST(DesktopTriggers, SpellsCombinationsTheWayEachDesktopReadsThem) {
    const struct {
        Shortcut shortcut;
        std::array<const char *, 5> spelled; // as TriggerSyntax orders the desktops
    } cases[] = {
        {shiftCommandK,
         {"<Shift><Super>k", "Shift+Meta+K", "Shift+Mod4+k", "SHIFT SUPER, k", "SHIFT+LOGO+k"}},
        {controlOptionLeft,
         {"<Control><Alt>Left", "Ctrl+Alt+Left", "Ctrl+Alt+Left", "CTRL ALT, Left",
          "CTRL+ALT+Left"}},
        {commandComma, {"<Super>comma", "Meta+,", "Mod4+comma", "SUPER, comma", "LOGO+comma"}},
        {Keybindings::defaultCancel(), {"Escape", "Esc", "Escape", ", Escape", "Escape"}},
    };
    for (const auto &c : cases) {
        for (int syntax = 0; syntax < int(c.spelled.size()); ++syntax)
            EXPECT_EQ(triggerText(c.shortcut, TriggerSyntax(syntax)),
                      QString::fromUtf8(c.spelled[syntax]))
                << c.shortcut.display.toStdString() << ' ' << syntax;
    }
    EXPECT_FALSE(triggerText(Keybindings::defaultActivate(), TriggerSyntax::Gtk));
}

// GNOME, through gsettings with its keyfile backend in a private folder: ours are added beside
// the user's own, and installing again after Activate was rebound changes them in place.
TEST(GnomeShortcuts, AddsOursBesideTheUsersOwnAndUpdatesThemInPlace) {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("GSETTINGS_BACKEND", "keyfile");
    environment.insert("XDG_CONFIG_HOME", home.path());
    const QString schema = "org.gnome.settings-daemon.plugins.media-keys";
    // A key of the schema, or of the custom shortcut at `path`.
    const auto gsettings = [&](const QString &verb, const QString &path, const QString &key,
                               const QStringList &value = {}) {
        const QString where = path.isEmpty() ? schema : schema + ".custom-keybinding:" + path;
        return run(environment, "gsettings", QStringList{verb, where, key} + value);
    };
    const QString base = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
    const QString users = base + "custom0/";
    gsettings("set", {}, "custom-keybindings", {"['" + users + "']"});
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
    EXPECT_EQ(gsettings("get", base + "orvanta-toggle/", "command"),
              "'/opt/talvo/bin/orvanta --toggle'");
    EXPECT_EQ(gsettings("get", base + "orvanta-toggle/", "binding"), "'<Shift><Super>k'");
}

// KDE Plasma: our desktop files and groups of our own in kglobalshortcutsrc, read back with
// kreadconfig5; the user's shortcuts stay as they were.
TEST(KdeShortcuts, WritesGroupsOfItsOwnBesideTheUsers) {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    TempFolder::write(home.filePath("config/kglobalshortcutsrc"),
                      "[org.kde.konsole.desktop]\n_launch=Ctrl+Alt+T,none,Konsole\n");

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
    };
    for (const auto &[group, key, value] : expected) {
        EXPECT_EQ(run(environment, "kreadconfig5",
                      {"--file", "kglobalshortcutsrc", "--group", group, "--key", key}),
                  value);
    }
    EXPECT_TRUE(TempFolder::read(home.filePath("data/applications/orvanta-toggle.desktop"))
                    .contains("\nExec=orvanta --toggle\n"));
}

// sway (under with-sway.sh): bindings installed through swaymsg run the command when wtype presses
// them; a binding of the user's own on the same keys stays.
TEST(SwayShortcuts, InstalledBindingsRunTheCommandAndTheUsersOwnStays) {
    if (qEnvironmentVariableIsEmpty("SWAYSOCK"))
        GTEST_SKIP() << "no sway";
    // Stands in for orvanta: records the command line the binding runs.
    const QDir runtime(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    const QString recorder = runtime.filePath("orvanta"), ran = runtime.filePath("ran");
    TempFolder::write(recorder, "#!/bin/sh\necho \"orvanta $*\" >> \"$XDG_RUNTIME_DIR/ran\"\n");
    QFile::setPermissions(recorder,
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    // Presses the keys (wtype lets go of them as it ends); waits until something more ran.
    const auto press = [&](const QStringList &modifiers, const QString &key) {
        const QByteArray before = TempFolder::read(ran);
        QStringList arguments;
        for (const QString &modifier : modifiers)
            arguments << "-M" << modifier;
        EXPECT_EQ(QProcess::execute("wtype", arguments << "-k" << key), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return TempFolder::read(ran) != before; }));
        return QString::fromUtf8(TempFolder::read(ran).mid(before.size())).trimmed();
    };

    DesktopShortcuts shortcuts(DesktopShortcuts::Desktop::Sway, recorder);
    shortcuts.setBindings(Keybindings::defaultActivate(), Keybindings::defaultCancel(),
                          Keybindings::defaultPaste());
    QString report;
    ASSERT_TRUE(shortcuts.install(&report)) << report.toStdString();
    EXPECT_EQ(press({"ctrl", "alt"}, "space"), "orvanta --toggle");
    EXPECT_EQ(press({"ctrl", "shift"}, "Escape"), "orvanta --cancel");
    EXPECT_EQ(press({"ctrl", "logo"}, "v"), "user-binding");
}

} // namespace
