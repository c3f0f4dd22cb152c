// The portal key source against a stand-in shortcuts portal on a private session bus
// (dbus-daemon started by the test): the real interface names and signatures, the
// Request/Response pattern, and the real shortcut monitor behind the source.

#include "GlobalShortcutsKeySource.h"
#include "HotkeyManager.h"
#include "Keybindings.h"
#include "QtPrinters.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvanta;
using orvanta::wayland::GlobalShortcutsKeySource;

// One shortcut as BindShortcuts carries it, a(sa{sv}).
struct Bound {
    QString id;
    QVariantMap properties;
};

Q_DECLARE_METATYPE(Bound)

QDBusArgument &operator<<(QDBusArgument &argument, const Bound &shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Bound &shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace {

bool waitFor(const std::function<bool()> &condition) {
    const QDeadlineTimer deadline(5000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// The session object the portal makes for each CreateSession.
class StandInSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")

public:
    bool closed = false;

public slots:
    void Close() { closed = true; }
};

// org.freedesktop.portal.GlobalShortcuts as xdg-desktop-portal offers it to a client.
class StandInPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    explicit StandInPortal(QDBusConnection bus)
        : m_bus(bus) {}

    uint version() const { return 1; }

    uint sessionResponse = 0; // 2: a portal without a backend for the interface
    int sessionCalls = 0;
    uint bindResponse = 0;        // what the user answers in the portal's dialog
    bool ownRequestPaths = false; // answer on a path of the portal's choosing, as old portals do
    QStringList sessions;         // in the order created
    std::map<QString, std::unique_ptr<StandInSession>> sessionObjects;
    std::map<QString, QList<Bound>> bound; // by session
    int bindCalls = 0;

    void press(const QString &session, const QString &id) {
        QDBusMessage signal =
            QDBusMessage::createSignal("/org/freedesktop/portal/desktop",
                                       "org.freedesktop.portal.GlobalShortcuts", "Activated");
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(1234)
               << QVariantMap();
        m_bus.send(signal);
        signal =
            QDBusMessage::createSignal("/org/freedesktop/portal/desktop",
                                       "org.freedesktop.portal.GlobalShortcuts", "Deactivated");
        signal << QVariant::fromValue(QDBusObjectPath(session)) << id << qulonglong(1300)
               << QVariantMap();
        m_bus.send(signal);
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap &options, const QDBusMessage &message) {
        ++sessionCalls;
        const QString session = "/org/freedesktop/portal/desktop/session/" + sender(message) + "/" +
                                options.value("session_handle_token").toString();
        sessions.append(session);
        sessionObjects[session] = std::make_unique<StandInSession>();
        m_bus.registerObject(session, sessionObjects[session].get(),
                             QDBusConnection::ExportAllSlots);
        return respond(message, options, sessionResponse,
                       sessionResponse == 0 ? QVariantMap{{"session_handle", session}}
                                            : QVariantMap());
    }

    QDBusObjectPath BindShortcuts(const QDBusObjectPath &session, const QList<Bound> &list,
                                  const QString &, const QVariantMap &options,
                                  const QDBusMessage &message) {
        ++bindCalls;
        bound[session.path()] = list;
        QList<Bound> reported;
        for (const Bound &shortcut : list)
            reported.append(
                {shortcut.id,
                 {{"description", shortcut.properties.value("description")},
                  {"trigger_description",
                   "Keys " + shortcut.properties.value("preferred_trigger").toString()}}});
        return respond(message, options, bindResponse,
                       bindResponse == 0 ? QVariantMap{{"shortcuts", QVariant::fromValue(reported)}}
                                         : QVariantMap());
    }

private:
    static QString sender(const QDBusMessage &message) {
        return message.service().mid(1).replace('.', '_');
    }

    QDBusObjectPath respond(const QDBusMessage &message, const QVariantMap &options, uint response,
                            const QVariantMap &results) {
        const QString path = "/org/freedesktop/portal/desktop/request/" + sender(message) + "/" +
                             (ownRequestPaths ? QString("portal%1").arg(++m_requests)
                                              : options.value("handle_token").toString());
        // The answer follows the reply, as the portal's dialog takes its time (long enough,
        // with a path of the portal's choosing, for the client to subscribe to it).
        QTimer::singleShot(ownRequestPaths ? 200 : 0, this, [this, path, response, results] {
            QDBusMessage signal =
                QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
            signal << response << results;
            m_bus.send(signal);
        });
        return QDBusObjectPath(path);
    }

    QDBusConnection m_bus;
    int m_requests = 0;
};

class GlobalShortcutsKeySourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        qDBusRegisterMetaType<Bound>();
        qDBusRegisterMetaType<QList<Bound>>();
        // A bus without service activation: the machine's own portal must never answer here.
        QFile config(m_directory.filePath("bus.conf"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("<busconfig><type>session</type><listen>unix:dir=" +
                     QFile::encodeName(m_directory.path()) +
                     "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                     "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        config.close();
        m_daemon.start("dbus-daemon",
                       {"--config-file=" + config.fileName(), "--nofork", "--print-address"});
        ASSERT_TRUE(m_daemon.waitForStarted());
        ASSERT_TRUE(waitFor([this] { return m_daemon.canReadLine(); }));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    void TearDown() override {
        stopPortal();
        QDBusConnection::disconnectFromBus("client");
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

    QDBusConnection bus(const QString &name) {
        return QDBusConnection::connectToBus(m_address, name);
    }

    // The portal runs on a thread of its own, as it would in its own process: the source asks
    // it with blocking calls.
    StandInPortal *startPortal() {
        QDBusConnection connection = bus("portal");
        auto *portal = new StandInPortal(connection);
        portal->moveToThread(&m_portalThread);
        m_portalThread.start();
        EXPECT_TRUE(connection.registerObject("/org/freedesktop/portal/desktop", portal,
                                              QDBusConnection::ExportAllSlots |
                                                  QDBusConnection::ExportAllProperties));
        EXPECT_TRUE(connection.registerService("org.freedesktop.portal.Desktop"));
        m_portal = portal;
        return portal;
    }
    void stopPortal() {
        if (!m_portal)
            return;
        QDBusConnection::disconnectFromBus("portal");
        QMetaObject::invokeMethod(
            m_portal, [this] { delete m_portal; }, Qt::BlockingQueuedConnection);
        m_portal = nullptr;
        m_portalThread.quit();
        m_portalThread.wait();
    }
    // Runs `f` on the portal's thread and hands back its answer.
    template <typename F> auto onPortal(F f) {
        decltype(f()) result{};
        QMetaObject::invokeMethod(
            m_portal, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }

    QThread m_portalThread;
    StandInPortal *m_portal = nullptr;
    QTemporaryDir m_directory;
    QProcess m_daemon;
    QString m_address;
};

// The consumed combination's action, as the application tells it from its bindings.
GlobalShortcutsKeySource::ActionOf actionsOf(const Shortcut &cancel, const Shortcut &pasteLast) {
    return [cancel, pasteLast](const Shortcut &shortcut) {
        return shortcut == pasteLast ? KeybindAction::PasteLast
               : shortcut == cancel  ? KeybindAction::Cancel
                                     : KeybindAction::Activate;
    };
}

TEST_F(GlobalShortcutsKeySourceTest, BindsWhatMustBeConsumedAndActsOnItsActivations) {
    for (const bool ownRequestPaths : {false, true}) {
        SCOPED_TRACE(ownRequestPaths ? "request paths of the portal's choosing" : "");
        StandInPortal *portal = startPortal();
        onPortal([&] { return portal->ownRequestPaths = ownRequestPaths; });
        const auto sessions = [&] { return onPortal([&] { return portal->sessions; }); };
        const auto boundIds = [&](const QString &session) {
            return onPortal([&] {
                QStringList ids;
                for (const Bound &shortcut : portal->bound[session])
                    ids << shortcut.id;
                return ids;
            });
        };
        const auto press = [&](const QString &session, const QString &id) {
            onPortal([&] { return portal->press(session, id), true; });
        };
        GlobalShortcutsKeySource source(
            bus("client"), actionsOf(Keybindings::defaultCancel(), Keybindings::defaultPaste()));
        HotkeyManager manager(source);
        bool recording = false;
        QStringList fired;
        manager.onStart = [&] { fired << "start"; };
        manager.onStop = [&] { fired << "stop"; };
        manager.onCancel = [&] { fired << "cancel"; };
        manager.onPasteLast = [&] { fired << "paste"; };
        manager.isRecordingActive = [&] { return recording; };
        ASSERT_TRUE(manager.start());
        EXPECT_EQ(source.visibleModifiers(), 0u);

        // Idle with a double press for Activate: only Paste Last is the portal's.
        ASSERT_TRUE(waitFor([&] { return source.isBound(); }));
        ASSERT_EQ(sessions().size(), 1);
        const QString idle = sessions().last();
        const QVariantMap properties =
            onPortal([&] { return portal->bound[idle].value(0).properties; });
        EXPECT_EQ(boundIds(idle), QStringList{"paste-last"});
        EXPECT_EQ(properties.value("description"), "Paste Last Transcript");
        EXPECT_EQ(properties.value("preferred_trigger"), "CTRL+LOGO+v");
        EXPECT_EQ(source.triggers().value(KeybindAction::PasteLast), "Keys CTRL+LOGO+v");

        // Recording: Cancel joins, in a new session; the old one is closed.
        recording = true;
        manager.recordingStateChanged();
        ASSERT_TRUE(waitFor([&] { return sessions().size() == 2 && source.isBound(); }));
        const QString whileRecording = sessions().last();
        EXPECT_TRUE(waitFor(
            [&] { return onPortal([&] { return portal->sessionObjects[idle]->closed; }); }));
        EXPECT_EQ(boundIds(whileRecording), QStringList({"paste-last", "cancel"}));

        press(idle, "paste-last"); // a closed session's: ignored
        press(whileRecording, "cancel");
        press(whileRecording, "paste-last");
        EXPECT_TRUE(waitFor([&] { return fired.size() == 2; }));
        EXPECT_EQ(fired, QStringList({"cancel", "paste"}));

        // A combination for Activate is bound too; it stops a recording and starts one.
        manager.setActivate(Shortcut::combo(2, {ModifierKey::Control, ModifierKey::Command}, "D"));
        ASSERT_TRUE(waitFor([&] { return sessions().size() == 3 && source.isBound(); }));
        EXPECT_EQ(boundIds(sessions().last()), QStringList({"paste-last", "cancel", "activate"}));
        press(sessions().last(), "activate");
        ASSERT_TRUE(waitFor([&] { return fired.size() == 3; }));
        recording = false;
        manager.recordingStateChanged();
        ASSERT_TRUE(waitFor([&] { return sessions().size() == 4 && source.isBound(); }));
        press(sessions().last(), "activate");
        press(sessions().last(), "cancel"); // not bound while idle
        ASSERT_TRUE(waitFor([&] { return fired.size() == 4; }));
        QCoreApplication::processEvents();
        EXPECT_EQ(fired, QStringList({"cancel", "paste", "stop", "start"}));
        stopPortal();
        QDBusConnection::disconnectFromBus("client");
    }
}

TEST_F(GlobalShortcutsKeySourceTest, ADeclinedDialogIsNotShownAgainUntilTheSetChanges) {
    StandInPortal *portal = startPortal();
    onPortal([&] { return portal->bindResponse = 1; });
    GlobalShortcutsKeySource source(
        bus("client"), actionsOf(Keybindings::defaultCancel(), Keybindings::defaultPaste()));
    HotkeyManager manager(source);
    bool applied = false;
    QObject::connect(&source, &GlobalShortcutsKeySource::bindingsApplied, [&] { applied = true; });
    ASSERT_TRUE(manager.start());
    ASSERT_TRUE(waitFor([&] { return applied; }));
    EXPECT_FALSE(source.isBound());
    EXPECT_TRUE(source.triggers().isEmpty());
    // The permission poll asks again: the source still runs, so nothing is asked.
    EXPECT_TRUE(manager.isStarted());
    EXPECT_TRUE(manager.start());
    QCoreApplication::processEvents();
    EXPECT_EQ(onPortal([&] { return portal->bindCalls; }), 1);

    onPortal([&] { return portal->bindResponse = 0; });
    manager.setPasteLast(Shortcut::combo(9, {ModifierKey::Control, ModifierKey::Shift}, "V"));
    ASSERT_TRUE(waitFor([&] { return source.isBound(); }));
    EXPECT_EQ(onPortal([&] { return portal->bindCalls; }), 2);
}

TEST_F(GlobalShortcutsKeySourceTest, StopsForGoodWhenThePortalCannotMakeASession) {
    StandInPortal *portal = startPortal();
    onPortal([&] { return portal->sessionResponse = 2; });
    GlobalShortcutsKeySource source(
        bus("client"), actionsOf(Keybindings::defaultCancel(), Keybindings::defaultPaste()));
    HotkeyManager manager(source);
    bool unusable = false;
    QObject::connect(&source, &GlobalShortcutsKeySource::unusable, [&] { unusable = true; });
    ASSERT_TRUE(manager.start());
    ASSERT_TRUE(waitFor([&] { return unusable; }));
    EXPECT_FALSE(manager.isStarted());
    // The permission poll's retries ask the portal nothing more.
    EXPECT_FALSE(manager.start());
    manager.setPasteLast(Shortcut::combo(9, {ModifierKey::Control, ModifierKey::Shift}, "V"));
    QCoreApplication::processEvents();
    EXPECT_EQ(onPortal([&] { return portal->sessionCalls; }), 1);
    EXPECT_EQ(onPortal([&] { return portal->bindCalls; }), 0);
}

TEST_F(GlobalShortcutsKeySourceTest, DoesNotStartWithoutThePortal) {
    GlobalShortcutsKeySource source(
        bus("client"), actionsOf(Keybindings::defaultCancel(), Keybindings::defaultPaste()));
    EXPECT_FALSE(GlobalShortcutsKeySource::offered(bus("client")));
    EXPECT_FALSE(source.start());
    EXPECT_FALSE(source.isStarted());
}

} // namespace

#include "GlobalShortcutsKeySourceTest.moc"
