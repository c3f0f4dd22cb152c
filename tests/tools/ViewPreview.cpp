// Renders the menu panel and the floating bar in each of their looks to PNG files, so the
// views can be looked at without a desktop session. The controller runs against the fake
// ports of the unit tests; nothing is recorded or sent.

#include "../ui/TestDoubles.h"
#include "../unit/FakeAppScene.h"
#include "AppState.h"
#include "History.h"
#include "HotkeyManager.h"
#include "Keybindings.h"
#include "KeybindingsModel.h"
#include "MenuActions.h"
#include "PreferenceStore.h"
#include "Settings.h"
#include "SettingsWindowController.h"
#include "Symbols.h"
#include "Vocabulary.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

using namespace orvanta;
using namespace orvanta::test;

extern void qml_register_types_Orvanta();

namespace {

void save(QQuickWindow *window, const QString &path);

// Repeaters' items hang in the item tree only.
QQuickItem *findItem(QQuickItem *item, const QString &name) {
    if (!item || item->objectName() == name)
        return item;
    for (QQuickItem *child : item->childItems()) {
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}

// Every section of the settings window, empty and filled, and the recorder sheet.
void settingsShots(QQmlEngine &engine, const QString &out) {
    FakeAppScene scene;
    scene.keySource.visible |= mask(ModifierKey::Fn);
    scene.app.applyKeybindings();
    TestMicTester micTester;
    TestAuth auth;
    auth.email = QStringLiteral("ada@example.com");
    SettingsWindowController controller(
        engine,
        SettingsWindowServices{scene.app,
                               scene.settings,
                               scene.vocabulary,
                               scene.history,
                               scene.keybindings,
                               auth,
                               scene.account,
                               scene.permissions,
                               scene.inserter,
                               micTester,
                               [] {
                                   return QList<std::pair<QString, QString>>{
                                       {QStringLiteral("usb"), QStringLiteral("USB Microphone")}};
                               },
                               [] {},
                               {}});
    scene.settings.setWordsDictated(1284);
    scene.permissions.inputAccess = false;
    controller.show();
    QQuickWindow *window = controller.window();
    window->resize(860, 1500);
    auto shot = [&](const QString &section, const QString &name) {
        window->setProperty("section", section);
        save(window, out + QStringLiteral("/settings-") + name + QStringLiteral(".png"));
    };
    shot(QStringLiteral("general"), QStringLiteral("general"));
    {
        // An open picker, its entry under the keyboard highlighted.
        window->resize(860, 680);
        QQuickItem *picker = findItem(window->contentItem(), QStringLiteral("modePicker"));
        picker->forceActiveFocus(Qt::TabFocusReason);
        QObject *popup = picker->property("popup").value<QObject *>();
        popup->setProperty("visible", true);
        save(window, out + QStringLiteral("/settings-general-picker.png"));
        popup->setProperty("visible", false);
    }
    window->resize(860, 680);
    for (const QString &section :
         {QStringLiteral("dictionary"), QStringLiteral("replacements"),
          QStringLiteral("instructions"), QStringLiteral("history"), QStringLiteral("account")})
        shot(section, section + QStringLiteral("-empty"));

    scene.vocabulary.addTerm(QStringLiteral("OpenRouter"));
    scene.vocabulary.addTerm(QStringLiteral("Acme"));
    Replacement rule = Replacement::create();
    rule.from = QStringLiteral("calendar link");
    rule.to = QStringLiteral("https://cal.example/ada");
    scene.vocabulary.setReplacements({rule, Replacement::create()});
    scene.vocabulary.setInstructions(QStringLiteral("Always use lowercase in Slack."));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    scene.history.add(QStringLiteral("Let's meet on Thursday at ten to go over the launch plan."),
                      DictationMode::Clean, now.addSecs(-2 * 3600));
    scene.history.add(QStringLiteral("Thanks for the quick turnaround!"), DictationMode::Email,
                      now.addSecs(-300));
    auth.set(true, QStringLiteral("free"), 2000, 2000);
    for (const QString &section :
         {QStringLiteral("dictionary"), QStringLiteral("replacements"),
          QStringLiteral("instructions"), QStringLiteral("history"), QStringLiteral("account")})
        shot(section, section);
    auth.set(true, QStringLiteral("pro"), 5120, 2000);
    shot(QStringLiteral("account"), QStringLiteral("account-pro"));

    scene.keySource.visible &= ~mask(ModifierKey::Fn);
    scene.app.applyKeybindings();
    micTester.start({});
    window->resize(860, 1500);
    shot(QStringLiteral("general"), QStringLiteral("general-no-fn"));
    micTester.stop();

    window->setProperty("section", QStringLiteral("general"));
    QTest::qWait(100);
    QObject *pencil = findItem(window->contentItem(), QStringLiteral("edit_pasteLast"));
    QMetaObject::invokeMethod(pencil, "clicked");
    auto *sheet = window->findChild<QQuickWindow *>();
    if (!sheet)
        qFatal("no recorder sheet");
    save(sheet, out + QStringLiteral("/recorder-empty.png"));
    QTest::keyClick(sheet, Qt::Key_Escape);
    save(sheet, out + QStringLiteral("/recorder-conflict.png"));
    controller.keybindingsModel().cancelRecording();
}

QQuickWindow *create(QQmlEngine &engine, const QString &file, const QVariantMap &properties) {
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/Orvanta/") + file));
    if (component.isError())
        qFatal("%s", qPrintable(component.errorString()));
    auto *window = qobject_cast<QQuickWindow *>(component.createWithInitialProperties(properties));
    if (!window)
        qFatal("%s", qPrintable(component.errorString()));
    return window;
}

void save(QQuickWindow *window, const QString &path) {
    window->show();
    QTest::qWait(300);
    // Wrapped text settles its height in a second layout pass, which the first grab runs.
    window->grabWindow();
    QTest::qWait(50);
    if (!window->grabWindow().save(path))
        qFatal("cannot write %s", qPrintable(path));
    qInfo("wrote %s", qPrintable(path));
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("where to write"));
    parser.process(application);
    const QString out = parser.positionalArguments().value(0, QStringLiteral("."));
    QDir().mkpath(out);

    qml_register_types_Orvanta();
    QQmlEngine engine;
    engine.addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
    FakeAppScene scene;
    TestAuth account;
    MenuActions actions;
    auto menu = [&](const QString &name, bool canFire = true) {
        QQuickWindow *window =
            create(engine, QStringLiteral("MenuPanel.qml"),
                   {{QStringLiteral("appState"), QVariant::fromValue(&scene.app)},
                    {QStringLiteral("auth"), QVariant::fromValue(&account)},
                    {QStringLiteral("actions"), QVariant::fromValue(&actions)},
                    {QStringLiteral("activateBindingCanFire"), canFire}});
        window->setFlags(Qt::Window | Qt::FramelessWindowHint);
        save(window, out + QStringLiteral("/menu-") + name + QStringLiteral(".png"));
        delete window;
    };
    menu(QStringLiteral("signed-out"));
    account.set(true, QStringLiteral("free"), 0, 1000);
    menu(QStringLiteral("signed-in"));
    {
        // The focus ring, as Tab leaves it on the start button.
        QQuickWindow *window =
            create(engine, QStringLiteral("MenuPanel.qml"),
                   {{QStringLiteral("appState"), QVariant::fromValue(&scene.app)},
                    {QStringLiteral("auth"), QVariant::fromValue(&account)},
                    {QStringLiteral("actions"), QVariant::fromValue(&actions)}});
        window->setFlags(Qt::Window | Qt::FramelessWindowHint);
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            qFatal("the menu was never shown");
        QQuickItem *button = findItem(window->contentItem(), QStringLiteral("primaryButton"));
        button->forceActiveFocus(Qt::TabFocusReason);
        save(window, out + QStringLiteral("/menu-focus.png"));
        delete window;
    }
    menu(QStringLiteral("fn-unavailable"), false);
    scene.permissions.inputAccess = false;
    scene.app.refreshPermissions();
    menu(QStringLiteral("no-input-access"));
    scene.permissions.inputAccess = true;
    scene.app.refreshPermissions();
    scene.account.signedIn = false;
    scene.app.startDictation();
    menu(QStringLiteral("error"));

    QQuickWindow *bar = create(engine, QStringLiteral("FloatingBar.qml"),
                               {{QStringLiteral("appState"), QVariant::fromValue(&scene.app)}});
    auto barShot = [&](const QString &name) {
        save(bar, out + QStringLiteral("/bar-") + name + QStringLiteral(".png"));
    };
    scene.scheduler.advance(std::chrono::seconds(5));
    bar->resize(120, 34);
    barShot(QStringLiteral("idle"));
    bar->setProperty("hovering", true);
    barShot(QStringLiteral("idle-hover"));
    bar->setProperty("hovering", false);
    bar->setProperty("composited", false);
    barShot(QStringLiteral("idle-no-compositor"));
    bar->setProperty("composited", true);
    scene.account.signedIn = true;
    scene.app.startDictation();
    scene.recorder.levelHandler(0.7f);
    bar->resize(210, 40);
    barShot(QStringLiteral("recording"));
    scene.app.stopAndTranscribe();
    bar->resize(150, 38);
    barShot(QStringLiteral("transcribing"));
    delete bar;
    settingsShots(engine, out);
    return 0;
}

#include "ViewPreview.moc"
