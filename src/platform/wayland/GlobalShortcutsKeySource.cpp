#include "GlobalShortcutsKeySource.h"

#include "DesktopTriggers.h"
#include "PortalRequest.h"
#include "WaylandLogging.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>

namespace orvanta::wayland {

namespace {

const QString portalInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

QString service() {
    return QString::fromLatin1(PortalRequest::service);
}

QString objectPath() {
    return QString::fromLatin1(PortalRequest::objectPath);
}

// One element of a(sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

} // namespace

} // namespace orvanta::wayland

Q_DECLARE_METATYPE(orvanta::wayland::PortalShortcut)

namespace orvanta::wayland {

namespace {

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QList<PortalShortcut> shortcutsOf(const QVariant &value) {
    QList<PortalShortcut> shortcuts;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> shortcuts;
    else
        shortcuts = value.value<QList<PortalShortcut>>();
    return shortcuts;
}

void registerTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        return true;
    }();
    Q_UNUSED(registered);
}

} // namespace

bool GlobalShortcutsKeySource::offered(const QDBusConnection &bus) {
    if (!bus.isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        service(), objectPath(), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << portalInterface << QStringLiteral("version");
    const QDBusReply<QDBusVariant> version = bus.call(get, QDBus::Block, 2000);
    return version.isValid() && version.value().variant().toUInt() >= 1;
}

QString GlobalShortcutsKeySource::shortcutId(KeybindAction action) {
    switch (action) {
    case KeybindAction::Activate:
        return QStringLiteral("activate");
    case KeybindAction::Cancel:
        return QStringLiteral("cancel");
    case KeybindAction::PasteLast:
        return QStringLiteral("paste-last");
    }
    return {};
}

GlobalShortcutsKeySource::GlobalShortcutsKeySource(QDBusConnection bus, ActionOf actionOf,
                                                   QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_actionOf(std::move(actionOf)) {
    registerTypes();
}

GlobalShortcutsKeySource::~GlobalShortcutsKeySource() {
    closeSession();
}

void GlobalShortcutsKeySource::setHandler(Handler handler) {
    m_handler = std::move(handler);
}

bool GlobalShortcutsKeySource::start() {
    if (m_started)
        return true;
    if (m_unusable || !offered(m_bus))
        return false;
    m_bus.connect(service(), objectPath(), portalInterface, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
    m_bus.connect(service(), objectPath(), portalInterface, QStringLiteral("ShortcutsChanged"),
                  this, SLOT(onShortcutsChanged(QDBusMessage)));
    m_started = true;
    rebind();
    return true;
}

void GlobalShortcutsKeySource::setConsumedShortcuts(const QList<Shortcut> &shortcuts) {
    QList<std::pair<KeybindAction, Shortcut>> wanted;
    for (const Shortcut &shortcut : shortcuts)
        wanted.append({m_actionOf(shortcut), shortcut});
    if (wanted == m_wanted)
        return;
    m_wanted = std::move(wanted);
    if (m_started)
        rebind();
}

void GlobalShortcutsKeySource::rebind() {
    if (m_busy) {
        m_dirty = true;
        return;
    }
    closeSession();
    if (m_wanted.isEmpty()) {
        emit bindingsApplied(false);
        return;
    }
    createSession();
}

void GlobalShortcutsKeySource::createSession() {
    m_busy = true;
    m_dirty = false;
    const QString token = PortalRequest::newToken();
    QDBusMessage call = QDBusMessage::createMethodCall(service(), objectPath(), portalInterface,
                                                       QStringLiteral("CreateSession"));
    call << QVariantMap{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("session_handle_token"), PortalRequest::newToken()}};
    PortalRequest::send(
        m_bus, call, token, this,
        [this](PortalRequest::Outcome outcome, const QVariantMap &results) {
            m_busy = false;
            m_session = results.value(QStringLiteral("session_handle")).toString();
            if (outcome != PortalRequest::Outcome::Success || m_session.isEmpty()) {
                qCInfo(lcGlobalShortcuts) << "No shortcuts session:" << int(outcome);
                m_session.clear();
                // Offered, but nothing behind it: not asked again.
                if (outcome != PortalRequest::Outcome::Cancelled) {
                    m_started = false;
                    m_unusable = true;
                    emit unusable();
                }
                emit bindingsApplied(false);
                return;
            }
            m_bus.connect(service(), m_session, sessionInterface, QStringLiteral("Closed"), this,
                          SLOT(onSessionClosed(QVariantMap)));
            if (m_dirty)
                rebind();
            else
                bind();
        });
}

void GlobalShortcutsKeySource::bind() {
    m_busy = true;
    QList<PortalShortcut> shortcuts;
    QMap<QString, Shortcut> byId;
    for (const auto &[action, shortcut] : m_wanted) {
        QVariantMap properties{{QStringLiteral("description"), title(action)}};
        if (const auto trigger = triggerText(shortcut, TriggerSyntax::Portal))
            properties.insert(QStringLiteral("preferred_trigger"), *trigger);
        shortcuts.append({shortcutId(action), properties});
        byId.insert(shortcutId(action), shortcut);
    }
    const QString token = PortalRequest::newToken();
    QDBusMessage call = QDBusMessage::createMethodCall(service(), objectPath(), portalInterface,
                                                       QStringLiteral("BindShortcuts"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts)
         << QString() << QVariantMap{{QStringLiteral("handle_token"), token}};
    const QString session = m_session;
    PortalRequest::send(
        m_bus, call, token, this,
        [this, byId, session](PortalRequest::Outcome outcome, const QVariantMap &results) {
            m_busy = false;
            if (session != m_session)
                return;
            m_bound = outcome == PortalRequest::Outcome::Success;
            m_boundById = m_bound ? byId : QMap<QString, Shortcut>();
            m_triggers.clear();
            if (m_bound)
                readTriggers(results.value(QStringLiteral("shortcuts")));
            else
                qCInfo(lcGlobalShortcuts)
                    << "The portal did not bind the shortcuts:" << int(outcome);
            if (m_dirty) {
                rebind();
                return;
            }
            emit bindingsApplied(m_bound);
        });
}

void GlobalShortcutsKeySource::closeSession() {
    m_bound = false;
    m_boundById.clear();
    if (m_session.isEmpty())
        return;
    m_bus.disconnect(service(), m_session, sessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onSessionClosed(QVariantMap)));
    m_bus.asyncCall(QDBusMessage::createMethodCall(service(), m_session, sessionInterface,
                                                   QStringLiteral("Close")));
    m_session.clear();
}

void GlobalShortcutsKeySource::readTriggers(const QVariant &shortcuts) {
    for (const PortalShortcut &shortcut : shortcutsOf(shortcuts)) {
        for (KeybindAction action : allKeybindActions) {
            if (shortcutId(action) == shortcut.id)
                m_triggers.insert(
                    action,
                    shortcut.properties.value(QStringLiteral("trigger_description")).toString());
        }
    }
}

// Activated(o session_handle, s shortcut_id, t timestamp, a{sv} options)
void GlobalShortcutsKeySource::onActivated(const QDBusMessage &message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const QString session = arguments[0].value<QDBusObjectPath>().path();
    const QString id = arguments[1].toString();
    if (session != m_session || !m_boundById.contains(id) || !m_handler)
        return;
    // The action's own combination, whatever keys the user gave it in the portal.
    const Shortcut shortcut = m_boundById.value(id);
    quint64 flags = 0;
    for (ModifierKey modifier : shortcut.mods)
        flags |= mask(modifier);
    m_handler(KeyEvent{KeyEvent::Type::KeyDown, shortcut.keyCode.value_or(0), flags});
}

// ShortcutsChanged(o session_handle, a(sa{sv}) shortcuts)
void GlobalShortcutsKeySource::onShortcutsChanged(const QDBusMessage &message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments[0].value<QDBusObjectPath>().path() != m_session)
        return;
    m_triggers.clear();
    readTriggers(arguments[1]);
    emit bindingsApplied(m_bound);
}

void GlobalShortcutsKeySource::onSessionClosed(const QVariantMap &) {
    qCInfo(lcGlobalShortcuts) << "The portal closed the shortcuts session";
    m_session.clear();
    m_bound = false;
    m_boundById.clear();
    m_started = false;
    emit bindingsApplied(false);
}

} // namespace orvanta::wayland
