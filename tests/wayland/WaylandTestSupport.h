#pragma once

#include "PasteKeystroke.h"
#include "WaylandConnection.h"
#include "X11TestSupport.h"

#include <memory>

namespace orvanta::test {

// The keyboard of a user at the compositor, on a connection of its own. A headless
// compositor has none, and a window without keyboard focus can own no clipboard.
class WaylandUserKeyboard {
public:
    WaylandUserKeyboard();
    ~WaylandUserKeyboard();
    bool isOpen() const { return m_keystroke != nullptr; }
    // Types Ctrl+V, as a user pasting.
    bool typePaste();

private:
    std::unique_ptr<wayland::WaylandConnection> m_connection;
    std::unique_ptr<PasteKeystroke> m_keystroke;
};

// The user types into the target and copies its text, HTML and image there (a window may
// take the clipboard only in answer to the user's input); true once another client sees it.
bool userCopiesInTarget(WaylandUserKeyboard &keyboard, TargetApp &target);

} // namespace orvanta::test
