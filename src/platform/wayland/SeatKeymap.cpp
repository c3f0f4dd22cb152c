#include "SeatKeymap.h"

#include "WaylandConnection.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

namespace orvanta::wayland {

namespace {

void ignoreEnter(void *, wl_keyboard *, unsigned, wl_surface *, wl_array *) {}
void ignoreLeave(void *, wl_keyboard *, unsigned, wl_surface *) {}
void ignoreKey(void *, wl_keyboard *, unsigned, unsigned, unsigned, unsigned) {}
void ignoreModifiers(void *, wl_keyboard *, unsigned, unsigned, unsigned, unsigned, unsigned) {}
void ignoreRepeat(void *, wl_keyboard *, int, int) {}

constexpr wl_keyboard_listener keyboardListener = {
    &SeatKeymap::onKeymap, &ignoreEnter, &ignoreLeave, &ignoreKey, &ignoreModifiers, &ignoreRepeat,
};

} // namespace

SeatKeymap::SeatKeymap(WaylandConnection &connection) {
    if (connection.seat()) {
        m_keyboard = wl_seat_get_keyboard(connection.seat());
        wl_keyboard_add_listener(m_keyboard, &keyboardListener, this);
    }
}

SeatKeymap::~SeatKeymap() {
    if (m_keyboard)
        wl_keyboard_destroy(m_keyboard);
}

std::optional<unsigned> SeatKeymap::linuxKeyCode(const QByteArray &keymapText, unsigned keysym) {
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!context)
        return std::nullopt;
    // Compositors send the text with its terminating zero, which the parser refuses.
    const size_t length = qstrnlen(keymapText.constData(), size_t(keymapText.size()));
    xkb_keymap *keymap =
        xkb_keymap_new_from_buffer(context, keymapText.constData(), length,
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    std::optional<unsigned> found;
    for (xkb_keycode_t code = keymap ? xkb_keymap_min_keycode(keymap) : 1;
         keymap && !found && code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t *symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &symbols);
        for (int i = 0; i < count && !found; ++i) {
            if (symbols[i] == keysym && code >= xkbKeycodeOffset)
                found = code - xkbKeycodeOffset;
        }
    }
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return found;
}

void SeatKeymap::onKeymap(void *data, wl_keyboard *, unsigned format, int fd, unsigned size) {
    auto *self = static_cast<SeatKeymap *>(data);
    void *text = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1
                     ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0)
                     : MAP_FAILED;
    ::close(fd);
    if (text == MAP_FAILED)
        return;
    const QByteArray keymap =
        QByteArray::fromRawData(static_cast<const char *>(text), qsizetype(size));
    self->m_keyV = linuxKeyCode(keymap, XKB_KEY_v).value_or(keyVOnUsLayout);
    munmap(text, size);
}

} // namespace orvanta::wayland
