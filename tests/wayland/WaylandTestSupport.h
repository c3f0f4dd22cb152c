#pragma once

#include "PasteKeystroke.h"
#include "WaylandConnection.h"
#include "X11TestSupport.h"

#include <memory>

namespace orvanta::test {

// A user's keyboard (a headless compositor has none, and an unfocused window owns no clipboard)
// on a connection of its own, made before the windows it types into, to be in place for them.
struct WaylandUserKeyboard {
    WaylandUserKeyboard();
    bool isOpen() const { return keystroke != nullptr; }

    std::unique_ptr<wayland::WaylandConnection> connection;
    std::unique_ptr<PasteKeystroke> keystroke;
};

// The user types Ctrl+V into the target and copies its text, HTML and image there (a window
// may take the clipboard only in answer to the user's input); true once another client sees it.
bool userCopiesInTarget(WaylandUserKeyboard &keyboard, TargetApp &target);

} // namespace orvanta::test
