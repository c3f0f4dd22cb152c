#pragma once

#include "ClipboardPaste.h"
#include "WaylandProbe.h"

#include <memory>

namespace orvanta::wayland {

// Builds the paste of a Wayland session from what its compositor offers: the clipboard
// through data-control (or XWayland's), Ctrl+V (Ctrl+Shift+V in a terminal, as the
// compositor's IPC tells) typed through the compositor's keystroke protocol, the portal or
// a uinput keyboard. Without a way to type the text is left on the clipboard for the user
// to paste.
class WaylandTextInserter final {
public:
    // Nothing when the session is no Wayland one or the choice falls on another mechanism.
    // `choice` receives the decision either way.
    static std::unique_ptr<ClipboardPaste> forSession(TextInsertionChoice &choice,
                                                      const ClipboardPaste::Timing &timing);
};

} // namespace orvanta::wayland
