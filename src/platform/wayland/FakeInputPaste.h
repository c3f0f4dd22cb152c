#pragma once

#include "PasteKeystroke.h"
#include "SeatKeymap.h"

#include <memory>

struct org_kde_kwin_fake_input;

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

private:
    FakeInputPaste(WaylandConnection &connection, org_kde_kwin_fake_input *input);
    void key(unsigned evdevCode, bool pressed);

    WaylandConnection &m_connection;
    org_kde_kwin_fake_input *m_input = nullptr;
    SeatKeymap m_keymap;
};

} // namespace orvanta::wayland
