// Renders the menu panel, the floating bar and the settings window in each of their looks to
// PNG files, so the views can be looked at without a desktop session. The controller runs
// against the fake ports of the unit tests; nothing is recorded or sent.

#include "../ui/TestDoubles.h"
#include "../unit/FakeAppScene.h"
#include "KeybindingsModel.h"
#include "MenuActions.h"
#include "SettingsWindowController.h"

#include <QApplication>
#include <QDir>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QTest>

using namespace orvanta;
using namespace orvanta::test;

namespace {

QString out;

void save(QQuickWindow *window, const QString &name) {
    window->show();
    QTest::qWait(300);
    // Wrapped text settles its height in a second layout pass, which the first grab runs.
    window->grabWindow();
    QTest::qWait(50);
    const QString path = out + "/" + name + ".png";
    if (!window->grabWindow().save(path))
        qFatal("cannot write %s", qPrintable(path));
    qInfo("wrote %s", qPrintable(path));
}

std::unique_ptr<QQuickWindow> create(QQmlEngine &engine, const QString &file,
                                     const QVariantMap &properties) {
    QQmlComponent component(&engine, QUrl("qrc:/Orvanta/" + file));
    auto *window = qobject_cast<QQuickWindow *>(component.createWithInitialProperties(properties));
    if (!window)
        qFatal("%s", qPrintable(component.errorString()));
    return std::unique_ptr<QQuickWindow>(window);
}

void menuAndBarShots(QQmlEngine &engine) {
    FakeAppScene scene;
    TestAuth auth;
    MenuActions actions;
    auto menu = [&](const QString &name, bool canFire = true, const char *focused = nullptr) {
        auto window = create(engine, "MenuPanel.qml",
                             {{"appState", QVariant::fromValue(&scene.app)},
                              {"auth", QVariant::fromValue(&auth)},
                              {"actions", QVariant::fromValue(&actions)},
                              {"activateBindingCanFire", canFire}});
        window->setFlags(Qt::Window | Qt::FramelessWindowHint);
        if (focused) {
            // The focus ring, as Tab leaves it.
            window->show();
            if (!QTest::qWaitForWindowExposed(window.get()))
                qFatal("the menu was never shown");
            findItem(window->contentItem(), focused)->forceActiveFocus(Qt::TabFocusReason);
        }
        save(window.get(), "menu-" + name);
    };
    menu("signed-out");
    auth.set(true, "free", 0, 1000);
    menu("signed-in");
    menu("focus", true, "primaryButton");
    menu("fn-unavailable", false);
    scene.permissions.inputAccess = false;
    scene.app.refreshPermissions();
    menu("no-input-access");
    scene.permissions.inputAccess = true;
    scene.app.refreshPermissions();
    scene.account.signedIn = false;
    scene.app.startDictation();
    menu("error");

    auto bar = create(engine, "FloatingBar.qml", {{"appState", QVariant::fromValue(&scene.app)}});
    scene.scheduler.advance(std::chrono::seconds(5));
    bar->resize(120, 34);
    save(bar.get(), "bar-idle");
    bar->setProperty("hovering", true);
    save(bar.get(), "bar-idle-hover");
    bar->setProperty("hovering", false);
    bar->setProperty("composited", false);
    save(bar.get(), "bar-idle-no-compositor");
    bar->setProperty("composited", true);
    scene.account.signedIn = true;
    scene.app.startDictation();
    scene.recorder.levelHandler(0.7f);
    bar->resize(210, 40);
    save(bar.get(), "bar-recording");
    scene.app.stopAndTranscribe();
    bar->resize(150, 38);
    save(bar.get(), "bar-transcribing");
}

// Every section of the settings window, empty and filled, and the recorder sheet.
void settingsShots(QQmlEngine &engine) {
    FakeAppScene scene;
    scene.keySource.visible |= mask(ModifierKey::Fn);
    scene.app.applyKeybindings();
    TestMicTester micTester;
    TestAuth auth;
    auth.email = "ada@example.com";
    auto listDevices = [] { return QList<std::pair<QString, QString>>{{"usb", "USB Microphone"}}; };
    auto openManagePage = [] {};
    SettingsWindowController controller(
        engine,
        SettingsWindowServices{scene.app, scene.settings, scene.vocabulary, scene.history,
                               scene.keybindings, auth, scene.account, scene.permissions,
                               scene.inserter, micTester, listDevices, openManagePage, nullptr});
    scene.settings.setWordsDictated(1284);
    scene.permissions.inputAccess = false;
    controller.show();
    QQuickWindow *window = controller.window();
    auto shot = [&](const QString &section, const QString &name, int height = 680) {
        window->resize(860, height);
        window->setProperty("section", section);
        save(window, "settings-" + name);
    };
    shot("general", "general", 1500);
    {
        // An open picker, its entry under the keyboard highlighted.
        window->resize(860, 680);
        QQuickItem *picker = findItem(window->contentItem(), "modePicker");
        picker->forceActiveFocus(Qt::TabFocusReason);
        QObject *popup = picker->property("popup").value<QObject *>();
        popup->setProperty("visible", true);
        save(window, "settings-general-picker");
        popup->setProperty("visible", false);
    }
    const QStringList lists{"dictionary", "replacements", "instructions", "history", "account"};
    for (const QString &section : lists)
        shot(section, section + "-empty");

    scene.vocabulary.addTerm("OpenRouter");
    scene.vocabulary.addTerm("Acme");
    Replacement rule = Replacement::create();
    rule.from = "calendar link";
    rule.to = "https://cal.example/ada";
    scene.vocabulary.setReplacements({rule, Replacement::create()});
    scene.vocabulary.setInstructions("Always use lowercase in Slack.");
    const QDateTime now = QDateTime::currentDateTimeUtc();
    scene.history.add("Let's meet on Thursday at ten to go over the launch plan.",
                      DictationMode::Clean, now.addSecs(-2 * 3600));
    scene.history.add("Thanks for the quick turnaround!", DictationMode::Email, now.addSecs(-300));
    auth.set(true, "free", 2000, 2000);
    for (const QString &section : lists)
        shot(section, section);
    auth.set(true, "pro", 5120, 2000);
    shot("account", "account-pro");

    scene.keySource.visible &= ~mask(ModifierKey::Fn);
    scene.app.applyKeybindings();
    micTester.start({});
    shot("general", "general-no-fn", 1500);
    micTester.stop();

    window->setProperty("section", "general");
    QTest::qWait(100);
    QMetaObject::invokeMethod(findItem(window->contentItem(), "edit_pasteLast"), "clicked");
    auto *sheet = window->findChild<QQuickWindow *>();
    if (!sheet)
        qFatal("no recorder sheet");
    save(sheet, "recorder-empty");
    QTest::keyClick(sheet, Qt::Key_Escape);
    save(sheet, "recorder-conflict");
    controller.keybindingsModel().cancelRecording();
}

} // namespace

// Usage: orvanta_view_preview [folder] (default: the current folder)
int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    out = application.arguments().value(1, ".");
    QDir().mkpath(out);
    ViewEngine engine;
    menuAndBarShots(engine);
    settingsShots(engine);
    return 0;
}
