// Renders the menu panel and the floating bar in each of their looks to PNG files, so the
// views can be looked at without a desktop session. The controller runs against the fake
// ports of the unit tests; nothing is recorded or sent.

#include "../unit/FakePorts.h"
#include "AppState.h"
#include "History.h"
#include "MenuActions.h"
#include "PreferenceStore.h"
#include "Settings.h"
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

class PreviewAccount : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isSignedIn READ isSignedIn NOTIFY changed)
public:
    bool isSignedIn() const { return signedIn; }
    void setSignedIn(bool on) {
        signedIn = on;
        emit changed();
    }
    bool signedIn = false;
signals:
    void changed();
};

struct Scene {
    Journal journal;
    FakeRecorder recorder{journal};
    FakeTranscriber transcriber{journal};
    FakeAccount account{journal};
    FakeTextInserter inserter{journal};
    FakeSystemAudio systemAudio{journal};
    FakePermissions permissions{journal};
    FakeSounds sounds{journal};
    FakeFloatingBar bar{journal};
    FakeScheduler scheduler;
    QTemporaryDir dir;
    PreferenceStore store{dir.filePath(QStringLiteral("prefs.conf"))};
    FakeLoginItem loginItem;
    Settings settings{store, loginItem};
    Vocabulary vocabulary{store};
    History history{dir.filePath(QStringLiteral("data"))};
    AppState app{AppStateServices{recorder, transcriber, account, inserter, systemAudio,
                                  permissions, sounds, bar, scheduler, settings, vocabulary,
                                  history}};
};

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
    Scene scene;
    PreviewAccount account;
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
    account.setSignedIn(true);
    menu(QStringLiteral("signed-in"));
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
        bar->resize(bar->property("pillRect").isValid() ? bar->size() : bar->size());
        save(bar, out + QStringLiteral("/bar-") + name + QStringLiteral(".png"));
    };
    scene.scheduler.advance(std::chrono::seconds(5));
    bar->resize(120, 34);
    barShot(QStringLiteral("idle"));
    bar->setProperty("hovering", true);
    barShot(QStringLiteral("idle-hover"));
    bar->setProperty("hovering", false);
    scene.account.signedIn = true;
    scene.app.startDictation();
    scene.recorder.levelHandler(0.7f);
    bar->resize(210, 40);
    barShot(QStringLiteral("recording"));
    scene.app.stopAndTranscribe();
    bar->resize(150, 38);
    barShot(QStringLiteral("transcribing"));
    delete bar;
    return 0;
}

#include "ViewPreview.moc"
