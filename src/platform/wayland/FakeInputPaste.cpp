#include "FakeInputPaste.h"

#include "WaylandConnection.h"
#include "WaylandLogging.h"

#include "fake-input-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <optional>

#include <sys/mman.h>
#include <unistd.h>

namespace orvanta::wayland {

namespace {

// Linux input event codes; V is where the US map has it until the seat's map says otherwise.
constexpr unsigned keyLeftControl = 29;
constexpr unsigned keyLeftShift = 42;
constexpr unsigned keyVOnUsLayout = 47;
// xkbcommon numbers keys as the X server does: the Linux code plus 8.
constexpr unsigned xkbKeycodeOffset = 8;

// The Linux key code of the first key whose first level types `keysym`, if any.
std::optional<unsigned> keyCodeTyping(xkb_keymap *keymap, xkb_keysym_t keysym) {
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap);
         code <= xkb_keymap_max_keycode(keymap); ++code) {
        const xkb_keysym_t *symbols = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &symbols);
        for (int i = 0; i < count; ++i) {
            if (symbols[i] == keysym && code >= xkbKeycodeOffset)
                return code - xkbKeycodeOffset;
        }
    }
    return std::nullopt;
}

void ignoreEnter(void *, wl_keyboard *, unsigned, wl_surface *, wl_array *) {}
void ignoreLeave(void *, wl_keyboard *, unsigned, wl_surface *) {}
void ignoreKey(void *, wl_keyboard *, unsigned, unsigned, unsigned, unsigned) {}
void ignoreModifiers(void *, wl_keyboard *, unsigned, unsigned, unsigned, unsigned, unsigned) {}
void ignoreRepeat(void *, wl_keyboard *, int, int) {}

constexpr wl_keyboard_listener keyboardListener = {
    &FakeInputPaste::onKeymap, &ignoreEnter,  &ignoreLeave, &ignoreKey,
    &ignoreModifiers,          &ignoreRepeat,
};

} // namespace

std::unique_ptr<FakeInputPaste> FakeInputPaste::create(WaylandConnection &connection) {
    auto *input = static_cast<org_kde_kwin_fake_input *>(
        connection.bind(org_kde_kwin_fake_input_interface, 4));
    if (!input)
        return nullptr;
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy *>(input)) < 4) {
        qCInfo(lcWayland) << "the compositor's fake input cannot type keys";
        org_kde_kwin_fake_input_destroy(input);
        return nullptr;
    }
    org_kde_kwin_fake_input_authenticate(input, "Talvo", "Pastes the dictated text");
    std::unique_ptr<FakeInputPaste> paste(new FakeInputPaste(connection, input));
    if (!connection.roundtrip())
        return nullptr;
    return paste;
}

FakeInputPaste::FakeInputPaste(WaylandConnection &connection, org_kde_kwin_fake_input *input)
    : m_connection(connection)
    , m_input(input)
    , m_keyV(keyVOnUsLayout) {
    if (connection.seat()) {
        m_keyboard = wl_seat_get_keyboard(connection.seat());
        wl_keyboard_add_listener(m_keyboard, &keyboardListener, this);
    }
}

FakeInputPaste::~FakeInputPaste() {
    if (m_keyboard)
        wl_keyboard_destroy(m_keyboard);
    org_kde_kwin_fake_input_destroy(m_input);
    m_connection.flush();
}

void FakeInputPaste::onKeymap(void *data, wl_keyboard *, unsigned format, int fd, unsigned size) {
    auto *self = static_cast<FakeInputPaste *>(data);
    void *text = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1
                     ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0)
                     : MAP_FAILED;
    ::close(fd);
    if (text == MAP_FAILED)
        return;
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    xkb_keymap *keymap =
        context ? xkb_keymap_new_from_string(context, static_cast<const char *>(text),
                                             XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS)
                : nullptr;
    munmap(text, size);
    if (keymap) {
        self->m_keyV = keyCodeTyping(keymap, XKB_KEY_v).value_or(keyVOnUsLayout);
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
}

void FakeInputPaste::key(unsigned evdevCode, bool pressed) {
    org_kde_kwin_fake_input_keyboard_key(m_input, evdevCode,
                                         pressed ? WL_KEYBOARD_KEY_STATE_PRESSED
                                                 : WL_KEYBOARD_KEY_STATE_RELEASED);
}

bool FakeInputPaste::send(bool withShift) {
    if (m_connection.isBroken())
        return false;
    key(keyLeftControl, true);
    if (withShift)
        key(keyLeftShift, true);
    key(m_keyV, true);
    key(m_keyV, false);
    if (withShift)
        key(keyLeftShift, false);
    key(keyLeftControl, false);
    return m_connection.flush();
}

} // namespace orvanta::wayland
