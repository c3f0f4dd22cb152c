#pragma once

#include "ClipboardAccess.h"

namespace orvanta::wayland {

// The clipboard of the application's own windows. On GNOME these are XWayland windows and
// the compositor hands their clipboard on to Wayland windows, which is the one way in where
// the compositor offers no data-control. Needs a QGuiApplication; main thread only.
class ToolkitClipboard final : public ClipboardAccess {
public:
    std::optional<Formats> read(std::chrono::milliseconds limit) override;
    bool put(const Formats &formats) override;
    bool holdsOwnOffer() const override;
};

} // namespace orvanta::wayland
