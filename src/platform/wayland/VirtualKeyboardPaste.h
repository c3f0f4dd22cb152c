#pragma once

#include "PasteKeystroke.h"

#include <memory>

struct xkb_context;
struct xkb_keymap;
struct zwp_virtual_keyboard_v1;

namespace orvanta::wayland {

class WaylandConnection;

// Types the paste keystroke through the virtual keyboard protocol. The keyboard carries a
// keymap of its own, so Ctrl+V means the same whatever layout the user types with.
class VirtualKeyboardPaste final : public PasteKeystroke {
public:
    // Nothing when the compositor offers no virtual keyboard or refuses this client one.
    static std::unique_ptr<VirtualKeyboardPaste> create(WaylandConnection &connection);
    ~VirtualKeyboardPaste() override;
    VirtualKeyboardPaste(const VirtualKeyboardPaste &) = delete;
    VirtualKeyboardPaste &operator=(const VirtualKeyboardPaste &) = delete;

    bool send(bool withShift) override;

private:
    VirtualKeyboardPaste(WaylandConnection &connection, zwp_virtual_keyboard_v1 *keyboard,
                         xkb_context *context, xkb_keymap *keymap);
    bool uploadKeymap();
    void key(unsigned evdevCode, bool pressed);
    void modifiers(unsigned depressed);

    WaylandConnection &m_connection;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    xkb_context *m_context = nullptr;
    xkb_keymap *m_keymap = nullptr;
    unsigned m_controlMask = 0;
    unsigned m_shiftMask = 0;
};

} // namespace orvanta::wayland
