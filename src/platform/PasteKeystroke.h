#pragma once

namespace orvanta {

// Types the paste keystroke into the focused window; one implementation per protocol.
class PasteKeystroke {
public:
    virtual ~PasteKeystroke() = default;
    // Ctrl+V, or Ctrl+Shift+V; false when the keystroke could not be sent.
    virtual bool send(bool withShift) = 0;
    // Whether the user still holds a modifier that would change what the keystroke means;
    // the paste waits a while for it to be let go. False where the session cannot tell.
    virtual bool modifierHeld() { return false; }
};

} // namespace orvanta
