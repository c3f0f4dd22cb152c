#include "FakeInputPaste.h"

#include "WaylandConnection.h"
#include "WaylandLogging.h"

#include "fake-input-client-protocol.h"

#include <wayland-client.h>

namespace orvanta::wayland {

namespace {

// Linux input event codes of the modifiers.
constexpr unsigned keyLeftControl = 29;
constexpr unsigned keyLeftShift = 42;

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
    , m_keymap(connection) {}

FakeInputPaste::~FakeInputPaste() {
    org_kde_kwin_fake_input_destroy(m_input);
    m_connection.flush();
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
    key(m_keymap.keyV(), true);
    key(m_keymap.keyV(), false);
    if (withShift)
        key(keyLeftShift, false);
    key(keyLeftControl, false);
    return m_connection.flush();
}

} // namespace orvanta::wayland
