#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace orvanta::wayland {

// The application id of the focused window, asked of the compositor over its own IPC
// where it has one (sway's i3-compatible socket, Hyprland's socket). Wayland gives
// clients no way to learn this otherwise.
class FocusedApp final {
public:
    // Nothing when the session's compositor does not say.
    static std::optional<QString> appId();

    // The focused window's application id in a sway GET_TREE answer (its app_id, or the
    // X11 class of an XWayland window).
    static std::optional<QString> fromSwayTree(const QByteArray &json);
    // The window class in a Hyprland "j/activewindow" answer.
    static std::optional<QString> fromHyprlandActiveWindow(const QByteArray &json);
};

} // namespace orvanta::wayland
