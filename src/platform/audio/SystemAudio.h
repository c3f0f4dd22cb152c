#pragma once

#include "Ports.h"

#include <QString>

namespace orvanta {

// Mutes the default output for a recording and unmutes it afterwards, only when this
// application was the one that muted it. The muted output is remembered by name, so it is
// the one unmuted even when the default output changed meanwhile, and in a small state
// file, so a start after a crash unmutes it. Failures are logged, never reported.
class SystemAudio final : public SystemAudioPort {
public:
    // The state file under $XDG_STATE_HOME (~/.local/state) /Orvanta.
    SystemAudio();
    explicit SystemAudio(QString stateFile);

    void muteIfNeeded() override;
    void unmuteIfNeeded() override;

    bool didMute() const { return !m_mutedSink.isEmpty(); }
    QString stateFile() const { return m_stateFile; }
    // At start-up: unmutes the output an earlier run muted and could not restore (it crashed
    // or was killed), unless the user has unmuted it since.
    void restoreAfterEarlierRun();

private:
    void forgetMutedSink();

    QString m_stateFile;
    QString m_mutedSink;
};

} // namespace orvanta
