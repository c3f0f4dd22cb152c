#pragma once

#include <QByteArray>

#include <optional>

struct wl_keyboard;

namespace orvanta::wayland {

class WaylandConnection;

// Where V is in the keyboard map the seat announces. Keys typed through the seat's own map
// (KWin's fake input, a uinput keyboard) are key positions: they type V only on the key the
// user's layout has V on.
class SeatKeymap final {
public:
    // Linux input event codes; xkbcommon numbers keys as the X server does, 8 higher.
    static constexpr unsigned keyVOnUsLayout = 47;
    static constexpr unsigned xkbKeycodeOffset = 8;

    // Listens on the connection's seat; the map arrives with the next roundtrip.
    explicit SeatKeymap(WaylandConnection &connection);
    ~SeatKeymap();
    SeatKeymap(const SeatKeymap &) = delete;
    SeatKeymap &operator=(const SeatKeymap &) = delete;

    // The Linux key code that types V; where the US layout has it until the map says.
    unsigned keyV() const { return m_keyV; }

    // The Linux key code of the first key whose first level types `keysym` in an XKB
    // keymap text; nothing when no key does or the text is no keymap.
    static std::optional<unsigned> linuxKeyCode(const QByteArray &keymapText, unsigned keysym);

    // Listener entry point: the seat's keyboard map.
    static void onKeymap(void *data, wl_keyboard *keyboard, unsigned format, int fd, unsigned size);

private:
    wl_keyboard *m_keyboard = nullptr;
    unsigned m_keyV = keyVOnUsLayout;
};

} // namespace orvanta::wayland
