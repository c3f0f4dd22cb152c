#include "RemoteDesktopPaste.h"

#include "PortalRequest.h"
#include "WaylandLogging.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>

#include <xkbcommon/xkbcommon-keysyms.h>

namespace orvanta::wayland {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr uint keyboardDevice = 1;
constexpr int availabilityWaitMs = 500;

// A call of the RemoteDesktop portal whose answer comes as a Request's Response.
void askPortal(const QDBusConnection &bus, const QString &method, QVariantList arguments,
               QVariantMap options, QObject *context, PortalRequest::Done done) {
    const QString token = PortalRequest::newToken();
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call =
        QDBusMessage::createMethodCall(portalService, portalPath, remoteDesktop, method);
    call.setArguments(arguments << options);
    PortalRequest::send(bus, call, token, context, std::move(done));
}

} // namespace

std::unique_ptr<RemoteDesktopPaste> RemoteDesktopPaste::create(const QDBusConnection &bus) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << remoteDesktop << QStringLiteral("AvailableDeviceTypes");
    const QDBusMessage reply = bus.call(get, QDBus::BlockWithGui, availabilityWaitMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCDebug(lcWayland) << "no RemoteDesktop portal:" << reply.errorMessage();
        return nullptr;
    }
    const uint types = reply.arguments().first().value<QDBusVariant>().variant().toUInt();
    if (!(types & keyboardDevice)) {
        qCInfo(lcWayland) << "the RemoteDesktop portal offers no keyboard";
        return nullptr;
    }
    return std::unique_ptr<RemoteDesktopPaste>(new RemoteDesktopPaste(bus));
}

RemoteDesktopPaste::RemoteDesktopPaste(const QDBusConnection &bus)
    : m_bus(bus) {}

void RemoteDesktopPaste::setState(State state) {
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void RemoteDesktopPaste::start() {
    if (m_state != State::Idle)
        return;
    setState(State::Starting);
    QVariantMap options{{QStringLiteral("session_handle_token"), PortalRequest::newToken()}};
    askPortal(m_bus, QStringLiteral("CreateSession"), {}, options, this,
              [this](PortalRequest::Outcome outcome, const QVariantMap &results) {
                  m_session = results.value(QStringLiteral("session_handle")).toString();
                  if (outcome != PortalRequest::Outcome::Success || m_session.isEmpty()) {
                      setState(State::Idle);
                      return;
                  }
                  m_bus.connect(portalService, m_session,
                                QStringLiteral("org.freedesktop.portal.Session"),
                                QStringLiteral("Closed"), this, SLOT(onSessionClosed()));
                  selectDevices();
              });
}

void RemoteDesktopPaste::selectDevices() {
    askPortal(m_bus, QStringLiteral("SelectDevices"),
              {QVariant::fromValue(QDBusObjectPath(m_session))},
              {{QStringLiteral("types"), keyboardDevice}}, this,
              [this](PortalRequest::Outcome outcome, const QVariantMap &) {
                  if (outcome != PortalRequest::Outcome::Success) {
                      setState(State::Idle);
                      return;
                  }
                  startSession();
              });
}

void RemoteDesktopPaste::startSession() {
    askPortal(m_bus, QStringLiteral("Start"),
              {QVariant::fromValue(QDBusObjectPath(m_session)), QString()}, {}, this,
              [this](PortalRequest::Outcome outcome, const QVariantMap &results) {
                  const uint devices = results.value(QStringLiteral("devices")).toUInt();
                  if (outcome == PortalRequest::Outcome::Success && (devices & keyboardDevice)) {
                      qCInfo(lcWayland) << "the desktop lets Talvo type the paste keystroke";
                      setState(State::Ready);
                      return;
                  }
                  // The user said no (or granted no keyboard): not asked again in this run.
                  qCWarning(lcWayland) << "the desktop does not let Talvo type; texts stay on the "
                                          "clipboard";
                  setState(outcome == PortalRequest::Outcome::Cancelled ? State::Refused
                                                                        : State::Idle);
              });
}

void RemoteDesktopPaste::onSessionClosed() {
    qCInfo(lcWayland) << "the desktop closed the keyboard session";
    m_session.clear();
    setState(State::Idle);
}

void RemoteDesktopPaste::key(int keysym, bool pressed) {
    QDBusMessage notify = QDBusMessage::createMethodCall(portalService, portalPath, remoteDesktop,
                                                         QStringLiteral("NotifyKeyboardKeysym"));
    notify << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << keysym
           << uint(pressed ? 1 : 0);
    m_bus.asyncCall(notify);
}

bool RemoteDesktopPaste::send(bool withShift) {
    if (m_state != State::Ready) {
        start();
        return false;
    }
    key(XKB_KEY_Control_L, true);
    if (withShift)
        key(XKB_KEY_Shift_L, true);
    key(XKB_KEY_v, true);
    key(XKB_KEY_v, false);
    if (withShift)
        key(XKB_KEY_Shift_L, false);
    key(XKB_KEY_Control_L, false);
    return true;
}

} // namespace orvanta::wayland
