#pragma once

#include <QWindow>

namespace orvanta::x11 {

// Whether this session lets the application watch global keys (XInput 2.2) and type the
// paste keystroke (XTEST). False without an X display.
bool inputAccessAvailable();

// Whether a compositing manager runs, so transparent window areas show what lies behind.
bool compositorRunning();

// Asks the window manager to keep `window` on every workspace and above other windows.
void keepOnAllWorkspaces(QWindow &window);

} // namespace orvanta::x11
