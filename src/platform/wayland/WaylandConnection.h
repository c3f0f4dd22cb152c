#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>

#include <chrono>
#include <memory>
#include <optional>

struct wl_display;
struct wl_interface;
struct wl_registry;
struct wl_seat;

namespace orvanta::wayland {

// A global object the compositor announced.
struct WaylandGlobal {
    quint32 name = 0;
    QByteArray interface;
    quint32 version = 0;
};

// The application's own connection to the compositor, apart from the toolkit's, so that
// the clipboard and keystroke protocols work whichever platform plugin draws the windows.
// Events are dispatched from the main loop. Main thread only.
class WaylandConnection final : public QObject {
    Q_OBJECT

public:
    // Connects to the compositor that WAYLAND_DISPLAY (or `socket`, when given) names and
    // learns its globals; nothing when there is none.
    static std::unique_ptr<WaylandConnection> open(const QByteArray &socket = {});
    ~WaylandConnection() override;
    WaylandConnection(const WaylandConnection &) = delete;
    WaylandConnection &operator=(const WaylandConnection &) = delete;

    wl_display *display() const { return m_display; }
    // The first seat, or null when the compositor offers none.
    wl_seat *seat() const { return m_seat; }
    const QList<WaylandGlobal> &globals() const { return m_globals; }
    std::optional<WaylandGlobal> global(const char *interface) const;
    // Binds the global of `interface` at the lower of its version and `maxVersion`.
    void *bind(const wl_interface &interface, quint32 maxVersion) const;

    // Sends what is queued; false once the connection is broken.
    bool flush();
    // Waits until the compositor has handled every request sent so far.
    bool roundtrip();
    // Reads and dispatches events for at most `limit` (none waiting: returns at once when
    // `limit` is zero); false once the connection is broken.
    bool dispatch(std::chrono::milliseconds limit);
    bool isBroken() const { return m_broken; }

    // Registry listener entry points.
    static void onGlobalForListener(void *data, wl_registry *registry, quint32 name,
                                    const char *interface, quint32 version);
    static void onGlobalRemoveForListener(void *data, wl_registry *registry, quint32 name);

signals:
    void broken();

private:
    explicit WaylandConnection(wl_display *display);
    void dispatchReadable();
    void markBroken();

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    QList<WaylandGlobal> m_globals;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_broken = false;
};

} // namespace orvanta::wayland
