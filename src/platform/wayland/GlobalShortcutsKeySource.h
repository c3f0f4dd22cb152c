#pragma once

#include "KeySource.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>

#include <functional>
#include <optional>

namespace orvanta::wayland {

// The desktop's shortcuts portal (org.freedesktop.portal.GlobalShortcuts): the combinations
// to consume are bound in a session of ours, under one id per action, and the portal tells
// when one is pressed; the portal's own dialog is where the user changes the keys. It sees
// nothing else: no modifier alone, no other key. A changed set is bound in a new session,
// since a session takes its shortcuts once.
class GlobalShortcutsKeySource final : public QObject, public KeySource {
    Q_OBJECT

public:
    // Which action a consumed combination belongs to.
    using ActionOf = std::function<KeybindAction(const Shortcut &)>;

    // Whether the portal on `bus` offers global shortcuts (asks it, briefly blocking).
    static bool offered(const QDBusConnection &bus);
    // The id a binding goes by in the portal.
    static QString shortcutId(KeybindAction action);

    GlobalShortcutsKeySource(QDBusConnection bus, ActionOf actionOf, QObject *parent = nullptr);
    ~GlobalShortcutsKeySource() override;

    void setHandler(Handler handler) override;
    // True when the portal offers the interface; the session follows asynchronously. A user
    // who declines the portal's dialog is not asked again until the set changes.
    bool start() override;
    bool isStarted() const override { return m_started; }
    quint64 visibleModifiers() const override { return 0; }
    void setConsumedShortcuts(const QList<Shortcut> &shortcuts) override;

    // The keys the portal reports for each bound action (its trigger description).
    QMap<KeybindAction, QString> triggers() const { return m_triggers; }
    // Whether the bound set is in place in an open session.
    bool isBound() const { return m_bound; }

signals:
    // A session took the set (or refused it); triggers() holds what the portal reported.
    void bindingsApplied(bool bound);
    // The portal offers the interface but could not make a session: the source stops for good.
    void unusable();

private slots:
    void onActivated(const QDBusMessage &message);
    void onShortcutsChanged(const QDBusMessage &message);
    void onSessionClosed(const QVariantMap &details);

private:
    void rebind();
    void createSession();
    void bind();
    void closeSession();
    void readTriggers(const QVariant &shortcuts);

    QDBusConnection m_bus;
    ActionOf m_actionOf;
    Handler m_handler;
    bool m_started = false;
    bool m_unusable = false;
    bool m_bound = false;
    bool m_busy = false;  // a CreateSession or BindShortcuts is under way
    bool m_dirty = false; // the set changed while busy
    QString m_session;
    QList<std::pair<KeybindAction, Shortcut>> m_wanted;
    QMap<QString, Shortcut> m_boundById;
    QMap<KeybindAction, QString> m_triggers;
};

} // namespace orvanta::wayland
