#pragma once

#include "Ports.h"

namespace orvanta {

// Mutes the default output for a recording and unmutes it afterwards, only when this
// application was the one that muted it. Failures are logged, never reported.
class SystemAudio final : public SystemAudioPort {
public:
    void muteIfNeeded() override;
    void unmuteIfNeeded() override;

    bool didMute() const { return m_didMute; }

private:
    // An output whose state cannot be read counts as audible.
    static bool currentlyMuted();
    static void setMuted(bool muted);

    bool m_didMute = false;
};

} // namespace orvanta
