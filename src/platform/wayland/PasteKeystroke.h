#pragma once

namespace orvanta::wayland {

// Types the paste keystroke into the focused window; one implementation per protocol.
class PasteKeystroke {
public:
    virtual ~PasteKeystroke() = default;
    // Ctrl+V, or Ctrl+Shift+V; false when the keystroke could not be sent.
    virtual bool send(bool withShift) = 0;
};

} // namespace orvanta::wayland
