// The shortcuts portal's key source and RemoteDesktop portal's keyboard against stand-in portals.

#include "GlobalShortcutsKeySource.h"
#include "Keybindings.h"
#include "PortalStandIn.h"
#include "QtPrinters.h"
#include "RemoteDesktopPaste.h"

#include <QDBusArgument>
#include <QDBusMetaType>

#include <xkbcommon/xkbcommon-keysyms.h>

using namespace orvanta;
using namespace orvanta::test;
using orvanta::wayland::GlobalShortcutsKeySource;
using orvanta::wayland::RemoteDesktopPaste;

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

// A session the portal made, with the shortcuts bound in it.
class StandInSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")

public:
    using QObject::QObject;
    QString path;
    QList<Bound> bound;
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
    explicit StandInPortal(QDBusConnection bus)
        : PortalStandIn(std::move(bus)) {
        qDBusRegisterMetaType<Bound>();
        qDBusRegisterMetaType<QList<Bound>>();
    }
    uint version() const { return 1; }

    uint sessionResponse = 0;         // 2: a portal without a backend for the interface
    uint bindResponse = 0;            // what the user answers in the portal's dialog
    QList<StandInSession *> sessions; // in the order created
    int bindCalls = 0;

    void press(const StandInSession *session, const QString &id) {
        for (const char *name : {"Activated", "Deactivated"})
            sendSignal(portalPath, "org.freedesktop.portal.GlobalShortcuts", name,
                       {QVariant::fromValue(QDBusObjectPath(session->path)), id, qulonglong(1234),
                        QVariantMap()});
    }

public slots:
    QDBusObjectPath CreateSession(const QVariantMap &options, const QDBusMessage &message) {
        StandInSession *session = sessions.emplace_back(new StandInSession(this));
        session->path = sessionPath(message, options);
        m_bus.registerObject(session->path, session, QDBusConnection::ExportAllSlots);
        return respond(message, options, sessionResponse, {{"session_handle", session->path}});
    }

    QDBusObjectPath BindShortcuts(const QDBusObjectPath &session, const QList<Bound> &list,
                                  const QString &, const QVariantMap &options,
                                  const QDBusMessage &message) {
        ++bindCalls;
        for (StandInSession *made : sessions) {
            if (made->path == session.path())
                made->bound = list;
        }
        return respond(message, options, bindResponse, {});
    }
};

// The consumed combination's action, as the application tells it from its bindings.
KeybindAction actionOf(const Shortcut &shortcut) {
    return shortcut == Keybindings::defaultPaste()    ? KeybindAction::PasteLast
           : shortcut == Keybindings::defaultCancel() ? KeybindAction::Cancel
                                                      : KeybindAction::Activate;
}

using GlobalShortcutsKeySourceTest = PortalTest<StandInPortal>;

// Each set to consume is bound in a session of its own, in the portal's spelling, and an
// activation is reported as its combination.
TEST_F(GlobalShortcutsKeySourceTest, BindsEachSetInANewSessionAndReportsItsActivations) {
    const Shortcut paste = Keybindings::defaultPaste(), cancel = Keybindings::defaultCancel();
    const Shortcut activate = Shortcut::combo(2, {ModifierKey::Control, ModifierKey::Command}, "D");
    StandInPortal *portal = startPortal();
    const auto sessions = [&] { return onPortal([&] { return portal->sessions.size(); }); };
    const auto bound = [&] { return onPortal([&] { return portal->sessions.last()->bound; }); };
    const auto press = [&](int session, const QString &id) {
        onPortal([&] { return portal->press(portal->sessions[session], id), true; });
    };
    GlobalShortcutsKeySource source(bus(), actionOf);
    QList<std::pair<quint16, quint64>> reported;
    source.setHandler([&](const KeyEvent &event) {
        EXPECT_EQ(event.type, KeyEvent::Type::KeyDown);
        reported.append({event.keyCode, event.flags});
        return true;
    });
    source.setConsumedShortcuts({paste});
    ASSERT_TRUE(source.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.isBound(); }));
    ASSERT_EQ(sessions(), 1);
    ASSERT_EQ(bound().size(), 1);
    EXPECT_EQ(bound()[0].properties.value("preferred_trigger"), "CTRL+LOGO+v");

    // The old session is closed and what it reports is ignored.
    source.setConsumedShortcuts({paste, cancel, activate});
    ASSERT_TRUE(QTest::qWaitFor([&] { return sessions() == 2 && source.isBound(); }));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return onPortal([&] { return portal->sessions[0]->closed; }); }));
    QStringList ids;
    for (const Bound &shortcut : bound())
        ids << shortcut.id;
    EXPECT_EQ(ids, QStringList({"paste-last", "cancel", "activate"}));
    press(0, "paste-last");
    for (const char *id : {"cancel", "activate"})
        press(1, id);
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.size() >= 2; }));
    EXPECT_EQ(reported, (QList<std::pair<quint16, quint64>>{
                            {KeyCode::escape, 0},
                            {2, mask(ModifierKey::Control) | mask(ModifierKey::Command)}}));
}

// A declined dialog is not shown again until the set changes; a portal that cannot make a
// session is not asked again at all, however often the source is started again.
TEST_F(GlobalShortcutsKeySourceTest, AsksAgainOnlyWhatTheUserMayAnswerDifferently) {
    for (const bool declined : {true, false}) {
        SCOPED_TRACE(declined ? "declined" : "no session");
        StandInPortal *portal = startPortal();
        onPortal([&] {
            // The dialog is answered on a path of the portal's choosing, as old portals do.
            portal->ownRequestPaths = declined;
            portal->sessionResponse = declined ? 0 : 2;
            return portal->bindResponse = 1;
        });
        GlobalShortcutsKeySource source(bus(), actionOf);
        bool applied = false;
        QObject::connect(&source, &GlobalShortcutsKeySource::bindingsApplied,
                         [&] { applied = true; });
        source.setConsumedShortcuts({Keybindings::defaultPaste()});
        ASSERT_TRUE(source.start());
        ASSERT_TRUE(QTest::qWaitFor([&] { return applied; }));
        EXPECT_FALSE(source.isBound());
        EXPECT_EQ(source.start(), declined);
        QCoreApplication::processEvents();
        EXPECT_EQ(onPortal([&] { return portal->sessions.size(); }), 1);

        onPortal([&] { return portal->bindResponse = 0; });
        source.setConsumedShortcuts({Keybindings::defaultCancel()});
        EXPECT_EQ(QTest::qWaitFor([&] { return source.isBound(); }, declined ? 5000 : 100),
                  declined);
        EXPECT_EQ(onPortal([&] { return portal->sessions.size(); }), declined ? 2 : 1);
        EXPECT_EQ(onPortal([&] { return portal->bindCalls; }), declined ? 2 : 0);
        stopPortal();
    }
}

using RemoteDesktopPasteTest = PortalTest<RemoteDesktopStandIn>;

// The keystroke waits for the user's consent; a session the desktop closed is asked for
// again, one the user refused not again in the same run.
TEST_F(RemoteDesktopPasteTest, TypesWithConsentAndAsksAgainOnlyForAClosedSession) {
    RemoteDesktopStandIn *portal = startPortal();
    const auto paste = RemoteDesktopPaste::create(bus());
    ASSERT_TRUE(paste) << "the portal was not found";
    const auto reaches = [&](RemoteDesktopPaste::State state) {
        return QTest::qWaitFor([&] { return paste->state() == state; });
    };
    const auto keys = [&] { return onPortal([&] { return portal->keys; }); };
    EXPECT_FALSE(paste->send(false)) << "typed before the user agreed";
    ASSERT_TRUE(reaches(RemoteDesktopPaste::State::Ready));

    ASSERT_TRUE(paste->send(false));
    const QList<QPair<int, uint>> expected = {
        {XKB_KEY_Control_L, 1}, {XKB_KEY_v, 1}, {XKB_KEY_v, 0}, {XKB_KEY_Control_L, 0}};
    ASSERT_TRUE(QTest::qWaitFor([&] { return keys().size() >= expected.size(); }));
    EXPECT_EQ(keys(), expected);

    onPortal([&] { return portal->closeSession(), portal->startAnswer = 1; });
    ASSERT_TRUE(reaches(RemoteDesktopPaste::State::Idle));
    EXPECT_FALSE(paste->send(false));
    ASSERT_TRUE(reaches(RemoteDesktopPaste::State::Refused));
    EXPECT_FALSE(paste->send(false));
    QTest::qWait(100);
    EXPECT_EQ(onPortal([&] { return portal->sessionsCreated; }), 2);
}

} // namespace

#include "PortalClientsTest.moc"
