// Until the desktop application is wired, orvanta shows what it loaded from the user's
// preferences, bindings and history.

#include "DictationMode.h"
#include "History.h"
#include "Keybindings.h"
#include "LoginItem.h"
#include "PreferenceStore.h"
#include "Settings.h"
#include "Vocabulary.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

using namespace orvanta;

namespace {

void printPreferences(QTextStream &out, const Settings &settings, const Vocabulary &vocabulary) {
    out << "Preferences\n";
    out << "  model:                 " << settings.model() << '\n';
    out << "  language:              " << settings.language() << '\n';
    out << "  dictation mode:        " << label(settings.dictationMode()) << '\n';
    out << "  floating bar:          " << (settings.showFloatingBar() ? "on" : "off") << '\n';
    out << "  mute background audio: " << (settings.muteBackgroundAudio() ? "on" : "off") << '\n';
    out << "  privacy mode:          " << (settings.privacyMode() ? "on" : "off") << '\n';
    out << "  microphone:            " << settings.micUID() << '\n';
    out << "  open at login:         " << (settings.openAtLogin() ? "on" : "off") << '\n';
    out << "  words dictated:        " << settings.wordsDictated() << '\n';
    out << "  dictionary terms:      " << vocabulary.terms().size() << '\n';
    out << "  replacement rules:     " << vocabulary.replacements().size() << '\n';
}

void printBindings(QTextStream &out, const Keybindings &bindings) {
    out << "Shortcuts\n";
    for (KeybindAction action : allKeybindActions)
        out << "  " << title(action) << ": " << bindings.binding(action).display << '\n';
}

void printHistory(QTextStream &out, const History &history) {
    const QList<HistoryItem> items = history.items();
    out << "History (" << items.size() << " entries, " << history.fileName() << ")\n";
    for (const HistoryItem &item : items.mid(0, 10)) {
        out << "  " << item.dateTime().toLocalTime().toString(Qt::ISODate) << "  [" << item.mode
            << "] " << item.text.left(60).replace(u'\n', u' ') << '\n';
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvanta"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANTA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Talvo — dictation at your cursor."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    const auto store = PreferenceStore::openDefault();
    LoginItem loginItem;
    Settings settings(*store, loginItem);
    Vocabulary vocabulary(*store);
    Keybindings bindings(*store);
    History history(History::defaultDirectory());

    QTextStream out(stdout);
    out << "Talvo " << QCoreApplication::applicationVersion() << " (" << store->fileName()
        << ")\n\n";
    printPreferences(out, settings, vocabulary);
    out << '\n';
    printBindings(out, bindings);
    out << '\n';
    printHistory(out, history);
    return 0;
}
