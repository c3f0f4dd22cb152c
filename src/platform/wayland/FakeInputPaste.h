#pragma once

#include "PasteKeystroke.h"

#include <memory>

struct org_kde_kwin_fake_input;
struct wl_keyboard;

namespace orvanta::wayland {

class WaylandConnection;

// Types the paste keystroke through KWin's fake input protocol. The keys go through the
// seat's own keyboard map, so V is looked up in the map the compositor announces.
class FakeInputPaste final : public PasteKeystroke {
public:
    // Nothing when the compositor offers no fake input to this application (KWin offers it
    // to applications whose desktop entry asks for it).
    static std::unique_ptr<FakeInputPaste> create(WaylandConnection &connection);
    ~FakeInputPaste() override;
    FakeInputPaste(const FakeInputPaste &) = delete;
    FakeInputPaste &operator=(const FakeInputPaste &) = delete;

    bool send(bool withShift) override;

    // Listener entry point: the seat's keyboard map.
    static void onKeymap(void *data, wl_keyboard *keyboard, unsigned format, int fd, unsigned size);

private:
    FakeInputPaste(WaylandConnection &connection, org_kde_kwin_fake_input *input);
    void key(unsigned evdevCode, bool pressed);

    WaylandConnection &m_connection;
    org_kde_kwin_fake_input *m_input = nullptr;
    wl_keyboard *m_keyboard = nullptr;
    unsigned m_keyV; // the Linux key code that types V in the seat's map
};

} // namespace orvanta::wayland
