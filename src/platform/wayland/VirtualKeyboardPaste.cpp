#include "VirtualKeyboardPaste.h"

#include "WaylandConnection.h"
#include "WaylandLogging.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <QElapsedTimer>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace orvanta::wayland {

namespace {

// Linux input event codes of the keys the keystroke uses.
constexpr unsigned keyLeftControl = 29;
constexpr unsigned keyLeftShift = 42;
constexpr unsigned keyV = 47;

quint32 milliseconds() {
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return quint32(clock.elapsed());
}

} // namespace

std::unique_ptr<VirtualKeyboardPaste> VirtualKeyboardPaste::create(WaylandConnection &connection) {
    if (!connection.seat())
        return nullptr;
    auto *manager = static_cast<zwp_virtual_keyboard_manager_v1 *>(
        connection.bind(zwp_virtual_keyboard_manager_v1_interface, 1));
    if (!manager)
        return nullptr;
    zwp_virtual_keyboard_v1 *keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, connection.seat());
    // The manager is not needed once the keyboard exists; it has no destructor request.
    wl_proxy_destroy(reinterpret_cast<wl_proxy *>(manager));

    // A US keymap: V is where the keystroke's key code says, whatever the user's layout.
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
    xkb_keymap *keymap =
        context ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
    std::unique_ptr<VirtualKeyboardPaste> paste(
        new VirtualKeyboardPaste(connection, keyboard, context, keymap));
    // A compositor that refuses the keyboard ends the whole connection with an error.
    if (!keymap || !paste->uploadKeymap() || !connection.roundtrip()) {
        qCWarning(lcWayland) << "the compositor refused a virtual keyboard";
        return nullptr;
    }
    return paste;
}

VirtualKeyboardPaste::VirtualKeyboardPaste(WaylandConnection &connection,
                                           zwp_virtual_keyboard_v1 *keyboard, xkb_context *context,
                                           xkb_keymap *keymap)
    : m_connection(connection)
    , m_keyboard(keyboard)
    , m_context(context)
    , m_keymap(keymap) {
    if (m_keymap) {
        m_controlMask = 1u << xkb_keymap_mod_get_index(m_keymap, XKB_MOD_NAME_CTRL);
        m_shiftMask = 1u << xkb_keymap_mod_get_index(m_keymap, XKB_MOD_NAME_SHIFT);
    }
}

VirtualKeyboardPaste::~VirtualKeyboardPaste() {
    if (!m_connection.isBroken())
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    else
        wl_proxy_destroy(reinterpret_cast<wl_proxy *>(m_keyboard));
    m_connection.flush();
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

bool VirtualKeyboardPaste::uploadKeymap() {
    char *text = xkb_keymap_get_as_string(m_keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text)
        return false;
    const size_t size = std::strlen(text) + 1;
    const int fd = memfd_create("orvanta-keymap", MFD_CLOEXEC);
    bool written = fd >= 0 && ::write(fd, text, size) == ssize_t(size);
    std::free(text);
    if (written)
        zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       quint32(size));
    if (fd >= 0)
        ::close(fd);
    return written && m_connection.flush();
}

void VirtualKeyboardPaste::key(unsigned evdevCode, bool pressed) {
    zwp_virtual_keyboard_v1_key(m_keyboard, milliseconds(), evdevCode,
                                pressed ? WL_KEYBOARD_KEY_STATE_PRESSED
                                        : WL_KEYBOARD_KEY_STATE_RELEASED);
}

void VirtualKeyboardPaste::modifiers(unsigned depressed) {
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, depressed, 0, 0, 0);
}

bool VirtualKeyboardPaste::send(bool withShift) {
    if (m_connection.isBroken())
        return false;
    const unsigned held = m_controlMask | (withShift ? m_shiftMask : 0);
    key(keyLeftControl, true);
    modifiers(m_controlMask);
    if (withShift) {
        key(keyLeftShift, true);
        modifiers(held);
    }
    key(keyV, true);
    key(keyV, false);
    if (withShift) {
        key(keyLeftShift, false);
        modifiers(m_controlMask);
    }
    key(keyLeftControl, false);
    modifiers(0);
    return m_connection.flush();
}

} // namespace orvanta::wayland
