#include "WaylandConnection.h"

#include "WaylandLogging.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <poll.h>

namespace orvanta::wayland {

namespace {

constexpr wl_registry_listener registryListener = {
    &WaylandConnection::onGlobalForListener,
    &WaylandConnection::onGlobalRemoveForListener,
};

} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::open(const QByteArray &socket) {
    wl_display *display = wl_display_connect(socket.isEmpty() ? nullptr : socket.constData());
    if (!display) {
        qCDebug(lcWayland) << "no Wayland compositor to connect to";
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    // Two round trips: the globals, then the seat's first answers.
    if (!connection->roundtrip() || !connection->roundtrip()) {
        qCWarning(lcWayland) << "the Wayland compositor did not answer";
        return nullptr;
    }
    return connection;
}

WaylandConnection::WaylandConnection(wl_display *display)
    : m_display(display) {
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &registryListener, this);
    m_notifier =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this,
            &WaylandConnection::dispatchReadable);
}

WaylandConnection::~WaylandConnection() {
    m_notifier.reset();
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    wl_display_disconnect(m_display);
}

std::optional<WaylandGlobal> WaylandConnection::global(const char *interface) const {
    for (const WaylandGlobal &global : m_globals) {
        if (global.interface == interface)
            return global;
    }
    return std::nullopt;
}

void *WaylandConnection::bind(const wl_interface &interface, quint32 maxVersion) const {
    const std::optional<WaylandGlobal> found = global(interface.name);
    if (!found)
        return nullptr;
    return wl_registry_bind(m_registry, found->name, &interface,
                            std::min(found->version, maxVersion));
}

bool WaylandConnection::flush() {
    if (m_broken)
        return false;
    while (wl_display_flush(m_display) < 0) {
        if (errno != EAGAIN) {
            markBroken();
            return false;
        }
        pollfd writable{wl_display_get_fd(m_display), POLLOUT, 0};
        if (poll(&writable, 1, 1000) <= 0) {
            markBroken();
            return false;
        }
    }
    return true;
}

bool WaylandConnection::roundtrip() {
    if (m_broken || wl_display_roundtrip(m_display) < 0) {
        markBroken();
        return false;
    }
    return true;
}

bool WaylandConnection::dispatch(std::chrono::milliseconds limit) {
    if (m_broken)
        return false;
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0) {
            markBroken();
            return false;
        }
    }
    if (!flush()) {
        wl_display_cancel_read(m_display);
        return false;
    }
    pollfd readable{wl_display_get_fd(m_display), POLLIN, 0};
    const int ready = poll(&readable, 1, int(limit.count()));
    if (ready <= 0) {
        wl_display_cancel_read(m_display);
        return ready == 0 || errno == EINTR;
    }
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0) {
        markBroken();
        return false;
    }
    return true;
}

void WaylandConnection::dispatchReadable() {
    dispatch(std::chrono::milliseconds(0));
}

void WaylandConnection::markBroken() {
    if (m_broken)
        return;
    m_broken = true;
    m_notifier->setEnabled(false);
    qCWarning(lcWayland) << "lost the connection to the Wayland compositor:"
                         << std::strerror(wl_display_get_error(m_display));
    emit broken();
}

void WaylandConnection::onGlobalForListener(void *data, wl_registry *, quint32 name,
                                            const char *interface, quint32 version) {
    auto *self = static_cast<WaylandConnection *>(data);
    self->m_globals.append({name, QByteArray(interface), version});
    if (!self->m_seat && std::strcmp(interface, wl_seat_interface.name) == 0) {
        self->m_seat =
            static_cast<wl_seat *>(wl_registry_bind(self->m_registry, name, &wl_seat_interface, 1));
    }
}

void WaylandConnection::onGlobalRemoveForListener(void *data, wl_registry *, quint32 name) {
    auto *self = static_cast<WaylandConnection *>(data);
    self->m_globals.removeIf([name](const WaylandGlobal &global) { return global.name == name; });
}

} // namespace orvanta::wayland
