#pragma once

// The controller with its ports faked, real stores and the real shortcut monitor.

#include "AppState.h"
#include "FakePorts.h"
#include "History.h"
#include "HotkeyManager.h"
#include "Keybindings.h"
#include "PreferenceStore.h"
#include "Settings.h"
#include "TempEnvironment.h"
#include "Vocabulary.h"

#include <memory>

namespace orvanta::test {

struct FakeAppScene {
    TempFolder folder;
    PreferenceStore store{folder.filePath(QStringLiteral("prefs.conf"))};
    FakeLoginItem loginItem;
    Settings settings{store, loginItem};
    Vocabulary vocabulary{store};
    History history{folder.filePath(QStringLiteral("data"))};
    Keybindings keybindings{store};
    FakeKeySource keySource; // sees no fn, like X11
    HotkeyManager hotkeys{keySource};
    Journal journal;
    FakeRecorder recorder{journal};
    FakeTranscriber transcriber{journal};
    FakeAccount account{journal};
    FakeTextInserter inserter{journal};
    FakeSpeakers speakers{journal};
    FakePermissions permissions{journal};
    FakeFloatingBar bar{journal};
    FakeScheduler scheduler;
    std::unique_ptr<AppState> appPtr = std::make_unique<AppState>(
        AppStateServices{recorder, transcriber, account, inserter, speakers, permissions, speakers,
                         bar, scheduler, settings, vocabulary, history, &hotkeys, &keybindings});
    // Valid until a test destroys the controller through appPtr.
    AppState &app = *appPtr;
};

} // namespace orvanta::test
