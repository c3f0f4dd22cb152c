#include "DesktopShortcuts.h"

#include "DesktopTriggers.h"
#include "WaylandLogging.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace orvanta::wayland {

namespace {

const QString gnomeSchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString gnomeListKey = QStringLiteral("custom-keybindings");

QString argumentFor(KeybindAction action) {
    switch (action) {
    case KeybindAction::Activate:
        return QStringLiteral("--toggle");
    case KeybindAction::Cancel:
        return QStringLiteral("--cancel");
    case KeybindAction::PasteLast:
        return QStringLiteral("--paste-last");
    }
    return {};
}

// The name of our entries: in GNOME's list of custom shortcuts and KDE's desktop files.
QString entryName(const DesktopShortcuts::Binding &binding) {
    return QStringLiteral("orvanta") + binding.argument.mid(1);
}

QString gnomePath(const DesktopShortcuts::Binding &binding) {
    return QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/") +
           entryName(binding) + u'/';
}

QString shellQuoted(const QString &word) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./=+-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    return u'\'' + QString(word).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

// GVariant text of a string list, as gsettings prints and reads it.
QStringList parseStringList(const QString &text) {
    static const QRegularExpression item(QStringLiteral("'((?:[^'\\\\]|\\\\.)*)'"));
    QStringList items;
    for (auto match = item.globalMatch(text); match.hasNext();)
        items.append(match.next().captured(1));
    return items;
}

QString gvariantString(const QString &text) {
    return u'\'' +
           QString(text)
               .replace(u'\\', QStringLiteral("\\\\"))
               .replace(u'\'', QStringLiteral("\\'")) +
           u'\'';
}

QString gvariantList(const QStringList &items) {
    QStringList quoted;
    for (const QString &item : items)
        quoted.append(gvariantString(item));
    return u'[' + quoted.join(QStringLiteral(", ")) + u']';
}

// A sway trigger in a form two spellings of the same keys share: lower case, sorted parts.
QString swayKeyOf(const QString &trigger) {
    QStringList parts = trigger.toLower().split(u'+');
    for (QString &part : parts) {
        if (part == u"control")
            part = QStringLiteral("ctrl");
    }
    std::sort(parts.begin(), parts.end());
    return parts.join(u'+');
}

// The trigger of every bindsym line of a sway configuration.
QStringList swayTriggers(const QString &config) {
    QStringList triggers;
    for (const QString &line : config.split(u'\n')) {
        QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty() || words.takeFirst() != u"bindsym")
            continue;
        while (!words.isEmpty() && words.first().startsWith(QLatin1String("--")))
            words.removeFirst();
        if (!words.isEmpty())
            triggers.append(swayKeyOf(words.first()));
    }
    return triggers;
}

} // namespace

Shortcut DesktopShortcuts::doubleTapStandIn() {
    return Shortcut::combo(KeyCode::space, {ModifierKey::Control, ModifierKey::Option},
                           QStringLiteral("Space"));
}

DesktopShortcuts::Desktop DesktopShortcuts::detect(const QProcessEnvironment &environment) {
    const QStringList desktops =
        environment.value(QStringLiteral("XDG_CURRENT_DESKTOP")).toLower().split(u':');
    if (desktops.contains(u"gnome"))
        return Desktop::Gnome;
    if (desktops.contains(u"kde"))
        return Desktop::Kde;
    if (desktops.contains(u"sway") || environment.contains(QStringLiteral("SWAYSOCK")))
        return Desktop::Sway;
    if (desktops.contains(u"hyprland") ||
        environment.contains(QStringLiteral("HYPRLAND_INSTANCE_SIGNATURE")))
        return Desktop::Hyprland;
    return Desktop::Other;
}

QString DesktopShortcuts::name(Desktop desktop) {
    switch (desktop) {
    case Desktop::Gnome:
        return QStringLiteral("GNOME");
    case Desktop::Kde:
        return QStringLiteral("KDE Plasma");
    case Desktop::Sway:
        return QStringLiteral("sway");
    case Desktop::Hyprland:
        return QStringLiteral("Hyprland");
    case Desktop::Other:
        return QStringLiteral("this desktop");
    }
    return {};
}

DesktopShortcuts::DesktopShortcuts(Desktop desktop, QString program,
                                   QProcessEnvironment environment)
    : m_desktop(desktop)
    , m_program(std::move(program))
    , m_environment(std::move(environment)) {}

void DesktopShortcuts::setBindings(const Shortcut &activate, const Shortcut &cancel,
                                   const Shortcut &pasteLast) {
    m_bindings.clear();
    const std::pair<KeybindAction, Shortcut> bound[] = {{KeybindAction::Activate, activate},
                                                        {KeybindAction::Cancel, cancel},
                                                        {KeybindAction::PasteLast, pasteLast}};
    for (const auto &[action, shortcut] : bound) {
        Binding binding{action, argumentFor(action), shortcut, {}};
        const auto usedText = [&binding] {
            return triggerText(binding.shortcut, TriggerSyntax::Kde).value_or(QString());
        };
        if (shortcut.kind == Shortcut::Kind::DoubleTapModifier) {
            binding.shortcut = doubleTapStandIn();
            binding.substitution =
                QStringLiteral("a double press (%1) cannot be a desktop shortcut; %2 instead")
                    .arg(shortcut.display, usedText());
        } else if (std::all_of(shortcut.mods.begin(), shortcut.mods.end(),
                               [](ModifierKey key) { return key == ModifierKey::Fn; })) {
            // A key on its own would be taken from every application at every moment.
            binding.shortcut =
                Shortcut::combo(shortcut.keyCode.value_or(0),
                                {ModifierKey::Control, ModifierKey::Shift}, shortcut.display);
            binding.substitution =
                QStringLiteral("%1 alone would be taken from every application; %2 instead")
                    .arg(shortcut.display, usedText());
        }
        m_bindings.append(binding);
    }
}

QString DesktopShortcuts::command(const Binding &binding) const {
    return shellQuoted(m_program) + u' ' + binding.argument;
}

QString DesktopShortcuts::label(const Binding &binding) const {
    return triggerText(binding.shortcut, TriggerSyntax::Kde)
        .value_or(QStringLiteral("(no desktop name for %1)").arg(binding.shortcut.display));
}

QString DesktopShortcuts::instructions() const {
    QString text =
        QStringLiteral("Talvo's shortcuts as desktop shortcuts on %1:\n").arg(name(m_desktop));
    for (const Binding &binding : m_bindings) {
        text += QStringLiteral("  %1  %2  runs: %3\n")
                    .arg(title(binding.action).leftJustified(22), label(binding).leftJustified(18),
                         command(binding));
        if (!binding.substitution.isEmpty())
            text += QStringLiteral("      (%1)\n").arg(binding.substitution);
    }
    text += u'\n';
    const auto lines = [this](TriggerSyntax syntax, const QString &pattern) {
        QString block;
        for (const Binding &binding : m_bindings) {
            if (const auto trigger = triggerText(binding.shortcut, syntax))
                block += pattern.arg(*trigger, command(binding)) + u'\n';
        }
        return block;
    };
    switch (m_desktop) {
    case Desktop::Gnome:
        text += QStringLiteral("Add them with `orvanta --shortcuts --install`, or run:\n");
        for (const Binding &binding : m_bindings) {
            const QString schema =
                gnomeSchema + QStringLiteral(".custom-keybinding:") + gnomePath(binding);
            text +=
                QStringLiteral("  gsettings set %1 name %2\n")
                    .arg(schema, shellQuoted(QStringLiteral("Talvo: ") + title(binding.action)));
            text += QStringLiteral("  gsettings set %1 command %2\n")
                        .arg(schema, shellQuoted(command(binding)));
            text += QStringLiteral("  gsettings set %1 binding %2\n")
                        .arg(schema, shellQuoted(triggerText(binding.shortcut, TriggerSyntax::Gtk)
                                                     .value_or(QString())));
        }
        text += QStringLiteral("and add the paths to the list `gsettings get %1 %2`.\n")
                    .arg(gnomeSchema, gnomeListKey);
        break;
    case Desktop::Kde:
        text +=
            QStringLiteral("Add them with `orvanta --shortcuts --install`, or in System Settings › "
                           "Shortcuts › Add Command, one per line above.\n");
        break;
    case Desktop::Sway:
        text += QStringLiteral("Add these lines to ~/.config/sway/config "
                               "(`orvanta --shortcuts --install` applies them to the running "
                               "session only):\n");
        text += lines(TriggerSyntax::Sway, QStringLiteral("  bindsym %1 exec %2"));
        break;
    case Desktop::Hyprland:
        text += QStringLiteral("Add these lines to ~/.config/hypr/hyprland.conf:\n");
        text += lines(TriggerSyntax::Hyprland, QStringLiteral("  bind = %1, exec, %2"));
        break;
    case Desktop::Other:
        text += QStringLiteral("Bind them in the desktop's keyboard settings. sway:\n");
        text += lines(TriggerSyntax::Sway, QStringLiteral("  bindsym %1 exec %2"));
        text += QStringLiteral("Hyprland:\n");
        text += lines(TriggerSyntax::Hyprland, QStringLiteral("  bind = %1, exec, %2"));
        break;
    }
    return text;
}

bool DesktopShortcuts::install(QString *report) const {
    switch (m_desktop) {
    case Desktop::Gnome:
        return installGnome(report);
    case Desktop::Kde:
        return installKde(report);
    case Desktop::Sway:
        return installSway(report);
    case Desktop::Hyprland:
    case Desktop::Other:
        break;
    }
    *report = QStringLiteral("Nothing was changed: on %1 add the lines of `orvanta --shortcuts` "
                             "yourself.\n")
                  .arg(name(m_desktop));
    return false;
}

bool DesktopShortcuts::run(const QString &program, const QStringList &arguments, QString *output,
                           QString *error) const {
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.start(program, arguments);
    if (!process.waitForStarted(5000)) {
        *error = QStringLiteral("%1 cannot run: %2").arg(program, process.errorString());
        return false;
    }
    process.waitForFinished(15000);
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("%1 %2 failed: %3")
                     .arg(program, arguments.value(0),
                          QString::fromUtf8(process.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

// Our entries go into the list of custom shortcuts beside the user's, which stay as they are.
bool DesktopShortcuts::installGnome(QString *report) const {
    const QString gsettings = QStringLiteral("gsettings");
    QString listed, error;
    if (!run(gsettings, {QStringLiteral("get"), gnomeSchema, gnomeListKey}, &listed, &error)) {
        *report = QStringLiteral("Nothing was changed: %1\n").arg(error);
        return false;
    }
    QStringList paths = parseStringList(listed);
    QString changes;
    for (const Binding &binding : m_bindings) {
        const auto trigger = triggerText(binding.shortcut, TriggerSyntax::Gtk);
        if (!trigger) {
            changes += QStringLiteral("%1: skipped, %2 has no desktop name\n")
                           .arg(title(binding.action), binding.shortcut.display);
            continue;
        }
        const QString path = gnomePath(binding);
        const bool known = paths.contains(path);
        const QString schema = gnomeSchema + QStringLiteral(".custom-keybinding:") + path;
        const std::pair<QString, QString> values[] = {
            {QStringLiteral("name"), QStringLiteral("Talvo: ") + title(binding.action)},
            {QStringLiteral("command"), command(binding)},
            {QStringLiteral("binding"), *trigger}};
        for (const auto &[key, value] : values) {
            if (!run(gsettings, {QStringLiteral("set"), schema, key, gvariantString(value)},
                     nullptr, &error)) {
                *report = changes + QStringLiteral("Stopped: %1\n").arg(error);
                return false;
            }
        }
        if (!known)
            paths.append(path);
        changes += QStringLiteral("%1: %2 runs %3 (%4)\n")
                       .arg(title(binding.action), label(binding), command(binding),
                            known ? QStringLiteral("updated") : QStringLiteral("added"));
    }
    if (!run(gsettings, {QStringLiteral("set"), gnomeSchema, gnomeListKey, gvariantList(paths)},
             nullptr, &error)) {
        *report = changes + QStringLiteral("Stopped: %1\n").arg(error);
        return false;
    }
    qsizetype ours = 0;
    for (const QString &path : paths)
        ours += std::any_of(m_bindings.begin(), m_bindings.end(),
                            [&path](const Binding &binding) { return gnomePath(binding) == path; });
    *report = changes + QStringLiteral("Your other %1 custom shortcut(s) were left as they were.\n")
                            .arg(paths.size() - ours);
    return true;
}

// One desktop file per action, and its shortcut in KGlobalAccel's file, in groups of our own.
bool DesktopShortcuts::installKde(QString *report) const {
    const QString tool = QStandardPaths::findExecutable(
        QStringLiteral("kwriteconfig5"),
        m_environment.value(QStringLiteral("PATH")).split(u':', Qt::SkipEmptyParts));
    if (tool.isEmpty()) {
        *report = QStringLiteral("Nothing was changed: kwriteconfig5 is not installed; add the "
                                 "shortcuts in System Settings › Shortcuts.\n");
        return false;
    }
    // Where the desktop the tools run for looks for them.
    const QString dataHome = m_environment.value(QStringLiteral("XDG_DATA_HOME"),
                                                 m_environment.value(QStringLiteral("HOME")) +
                                                     QStringLiteral("/.local/share"));
    const QString applications = dataHome + QStringLiteral("/applications");
    QDir().mkpath(applications);
    QString changes, error;
    for (const Binding &binding : m_bindings) {
        const auto trigger = triggerText(binding.shortcut, TriggerSyntax::Kde);
        if (!trigger)
            continue;
        const QString file = entryName(binding) + QStringLiteral(".desktop");
        const QString name = QStringLiteral("Talvo: ") + title(binding.action);
        QSaveFile entry(QDir(applications).filePath(file));
        if (!entry.open(QIODevice::WriteOnly)) {
            *report = changes + QStringLiteral("Stopped: cannot write %1\n").arg(entry.fileName());
            return false;
        }
        entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1\nExec=%2\n"
                                   "NoDisplay=true\nX-KDE-GlobalAccel-CommandShortcut=true\n")
                        .arg(name, command(binding))
                        .toUtf8());
        if (!entry.commit()) {
            *report = changes + QStringLiteral("Stopped: cannot write %1\n").arg(entry.fileName());
            return false;
        }
        const QStringList common{QStringLiteral("--file"), QStringLiteral("kglobalshortcutsrc"),
                                 QStringLiteral("--group"), file, QStringLiteral("--key")};
        if (!run(tool, common + QStringList{QStringLiteral("_k_friendly_name"), name}, nullptr,
                 &error) ||
            !run(tool,
                 common + QStringList{QStringLiteral("_launch"),
                                      *trigger + QStringLiteral(",none,") + name},
                 nullptr, &error)) {
            *report = changes + QStringLiteral("Stopped: %1\n").arg(error);
            return false;
        }
        changes +=
            QStringLiteral("%1: %2 runs %3 (%4 and kglobalshortcutsrc [%5])\n")
                .arg(title(binding.action), *trigger, command(binding), entry.fileName(), file);
    }
    *report = changes + QStringLiteral("They take effect when you log in again.\n");
    return true;
}

// The running session only: its configuration file is the user's to edit.
bool DesktopShortcuts::installSway(QString *report) const {
    const QString swaymsg = QStringLiteral("swaymsg");
    QString config, error;
    if (!run(swaymsg, {QStringLiteral("-t"), QStringLiteral("get_config"), QStringLiteral("-r")},
             &config, &error)) {
        *report = QStringLiteral("Nothing was changed: %1\n").arg(error);
        return false;
    }
    const QStringList taken = swayTriggers(QJsonDocument::fromJson(config.toUtf8())
                                               .object()
                                               .value(QStringLiteral("config"))
                                               .toString());
    QString changes;
    bool applied = false;
    for (const Binding &binding : m_bindings) {
        const auto trigger = triggerText(binding.shortcut, TriggerSyntax::Sway);
        if (!trigger)
            continue;
        if (taken.contains(swayKeyOf(*trigger))) {
            changes += QStringLiteral("%1: %2 is bound in your configuration already; left as it "
                                      "is\n")
                           .arg(title(binding.action), *trigger);
            continue;
        }
        if (!run(swaymsg,
                 {QStringLiteral("bindsym"), *trigger, QStringLiteral("exec"), command(binding)},
                 nullptr, &error)) {
            *report = changes + QStringLiteral("Stopped: %1\n").arg(error);
            return false;
        }
        applied = true;
        changes += QStringLiteral("%1: %2 runs %3 (until sway restarts)\n")
                       .arg(title(binding.action), *trigger, command(binding));
    }
    *report =
        changes + QStringLiteral("Add the lines of `orvanta --shortcuts` to ~/.config/sway/config "
                                 "to keep them.\n");
    return applied;
}

} // namespace orvanta::wayland
