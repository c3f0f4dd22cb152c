// The portal key source against a stand-in shortcuts portal, with the real shortcut monitor
// behind the source.

#include "GlobalShortcutsKeySource.h"
#include "HotkeyManager.h"
#include "Keybindings.h"
#include "PortalStandIn.h"
#include "QtPrinters.h"

#include <QDBusArgument>
#include <QDBusMetaType>

using namespace orvanta;
using namespace orvanta::test;
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
    return QTest::qWaitFor(condition, 5000);
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
class StandInPortal : public PortalStandIn {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    using PortalStandIn::PortalStandIn;
    uint version() const { return 1; }

    uint sessionResponse = 0; // 2: a portal without a backend for the interface
    uint bindResponse = 0;    // what the user answers in the portal's dialog
    QStringList sessions;     // in the order created
    std::map<QString, std::unique_ptr<StandInSession>> sessionObjects;
    std::map<QString, QList<Bound>> bound; // by session
    int bindCalls = 0;

    void press(const QString &session, const QString &id) {
        for (const char *name : {"Activated", "Deactivated"})
            sendSignal(portalPath, "org.freedesktop.portal.GlobalShortcuts", name,
                       {QVariant::fromValue(QDBusObjectPath(session)), id, qulonglong(1234),
                        QVariantMap()});
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap &options, const QDBusMessage &message) {
        const QString session = sessionPath(message, options);
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
                 {{"trigger_description",
                   "Keys " + shortcut.properties.value("preferred_trigger").toString()}}});
        return respond(message, options, bindResponse,
                       bindResponse == 0 ? QVariantMap{{"shortcuts", QVariant::fromValue(reported)}}
                                         : QVariantMap());
    }
};

// The consumed combination's action, as the application tells it from its bindings.
KeybindAction actionOf(const Shortcut &shortcut) {
    return shortcut == Keybindings::defaultPaste()    ? KeybindAction::PasteLast
           : shortcut == Keybindings::defaultCancel() ? KeybindAction::Cancel
                                                      : KeybindAction::Activate;
}

class GlobalShortcutsKeySourceTest : public PortalTest<StandInPortal> {
protected:
    GlobalShortcutsKeySourceTest() {
        qDBusRegisterMetaType<Bound>();
        qDBusRegisterMetaType<QList<Bound>>();
    }
};

TEST_F(GlobalShortcutsKeySourceTest, BindsWhatMustBeConsumedAndActsOnItsActivations) {
    for (const bool ownRequestPaths : {false, true}) {
        SCOPED_TRACE(ownRequestPaths ? "request paths of the portal's choosing" : "");
        StandInPortal *portal = startPortal();
        onPortal([&] { return portal->ownRequestPaths = ownRequestPaths; });
        const auto sessions = [&] { return onPortal([&] { return portal->sessions; }); };
        const auto boundTo = [&](const QString &session) {
            return onPortal([&] { return portal->bound[session]; });
        };
        const auto ids = [&](const QString &session) {
            QStringList ids;
            for (const Bound &shortcut : boundTo(session))
                ids << shortcut.id;
            return ids;
        };
        const auto press = [&](const QString &id) {
            const QString session = sessions().last();
            onPortal([&] { return portal->press(session, id), true; });
        };
        GlobalShortcutsKeySource source(bus(), actionOf);
        HotkeyManager manager(source);
        bool recording = false;
        QStringList fired;
        manager.onStop = [&] { fired << "stop"; };
        manager.onCancel = [&] { fired << "cancel"; };
        manager.onPasteLast = [&] { fired << "paste"; };
        manager.isRecordingActive = [&] { return recording; };
        ASSERT_TRUE(manager.start());
        EXPECT_EQ(source.visibleModifiers(), 0u);

        // Idle with a double press for Activate: only Paste Last is the portal's, offered in
        // the portal's spelling; the keys the portal reports are what the user sees.
        ASSERT_TRUE(waitFor([&] { return source.isBound(); }));
        ASSERT_EQ(sessions().size(), 1);
        const QString idle = sessions().last();
        EXPECT_EQ(ids(idle), QStringList{"paste-last"});
        EXPECT_EQ(boundTo(idle).value(0).properties.value("preferred_trigger"), "CTRL+LOGO+v");
        EXPECT_EQ(source.triggers().value(KeybindAction::PasteLast), "Keys CTRL+LOGO+v");

        // Recording: Cancel joins, in a new session; the old one is closed and what it
        // reports is ignored.
        recording = true;
        manager.recordingStateChanged();
        ASSERT_TRUE(waitFor([&] { return sessions().size() == 2 && source.isBound(); }));
        EXPECT_TRUE(waitFor(
            [&] { return onPortal([&] { return portal->sessionObjects[idle]->closed; }); }));
        EXPECT_EQ(ids(sessions().last()), QStringList({"paste-last", "cancel"}));
        onPortal([&] { return portal->press(idle, "paste-last"), true; });
        press("cancel");
        press("paste-last");
        EXPECT_TRUE(waitFor([&] { return fired.size() == 2; }));

        // A combination for Activate is bound too.
        manager.setActivate(Shortcut::combo(2, {ModifierKey::Control, ModifierKey::Command}, "D"));
        ASSERT_TRUE(waitFor([&] { return sessions().size() == 3 && source.isBound(); }));
        EXPECT_EQ(ids(sessions().last()), QStringList({"paste-last", "cancel", "activate"}));
        press("activate");
        ASSERT_TRUE(waitFor([&] { return fired.size() == 3; }));
        EXPECT_EQ(fired, QStringList({"cancel", "paste", "stop"}));
        stopPortal();
    }
}

// A declined dialog is not shown again until the set changes; a portal that cannot make a
// session is not asked again at all, even by the permission poll's retries.
TEST_F(GlobalShortcutsKeySourceTest, AsksAgainOnlyWhatTheUserMayAnswerDifferently) {
    GlobalShortcutsKeySource absent(bus(), actionOf);
    EXPECT_FALSE(GlobalShortcutsKeySource::offered(bus()));
    EXPECT_FALSE(absent.start());
    for (const bool declined : {true, false}) {
        SCOPED_TRACE(declined ? "declined" : "no session");
        StandInPortal *portal = startPortal();
        onPortal([&] { return portal->sessionResponse = declined ? 0 : 2; });
        onPortal([&] { return portal->bindResponse = 1; });
        GlobalShortcutsKeySource source(bus(), actionOf);
        HotkeyManager manager(source);
        bool applied = false;
        QObject::connect(&source, &GlobalShortcutsKeySource::bindingsApplied,
                         [&] { applied = true; });
        ASSERT_TRUE(manager.start());
        ASSERT_TRUE(waitFor([&] { return applied; }));
        EXPECT_FALSE(source.isBound());
        EXPECT_TRUE(source.triggers().isEmpty());
        EXPECT_EQ(manager.start(), declined);
        QCoreApplication::processEvents();
        EXPECT_EQ(onPortal([&] { return portal->sessions.size(); }), 1);

        onPortal([&] { return portal->bindResponse = 0; });
        manager.setPasteLast(Shortcut::combo(9, {ModifierKey::Control, ModifierKey::Shift}, "V"));
        EXPECT_EQ(QTest::qWaitFor([&] { return source.isBound(); }, declined ? 5000 : 100),
                  declined);
        EXPECT_EQ(onPortal([&] { return portal->sessions.size(); }), declined ? 2 : 1);
        EXPECT_EQ(onPortal([&] { return portal->bindCalls; }), declined ? 2 : 0);
        stopPortal();
    }
}

} // namespace

#include "GlobalShortcutsKeySourceTest.moc"
