#pragma once

#include <QString>

namespace orvanta {

// Whether a window's application id or class names a terminal emulator; terminals paste
// with Ctrl+Shift+V. Compared without regard to case.
bool isTerminalApp(const QString &appIdOrClass);

} // namespace orvanta
