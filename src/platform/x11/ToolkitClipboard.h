#pragma once

#include "ClipboardAccess.h"

namespace orvanta::x11 {

// The clipboard of the application's own windows: the X clipboard on an X11 session, and on
// GNOME's Wayland session that of XWayland, which the compositor hands on to Wayland windows
// (the one way in where the compositor offers no data-control). Needs a QGuiApplication;
// main thread only.
class ToolkitClipboard final : public ClipboardAccess {
public:
    std::optional<Formats> read(std::chrono::milliseconds limit) override;
    bool put(const Formats &formats) override;
    // The toolkit may still believe it owns a clipboard the X server gave to another
    // window: the offer must also still be what the last put offered.
    bool holdsOwnOffer() override;

private:
    Formats m_offered;
};

} // namespace orvanta::x11
