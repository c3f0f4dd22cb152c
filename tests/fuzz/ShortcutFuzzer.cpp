// Any stored "kbActivate", "kbCancel" or "kbPaste" value.
#include "FuzzHarness.h"
#include "Shortcut.h"

using orvanta::Shortcut;

FUZZ_TARGET(QByteArray, input) {
    const auto shortcut =
        checkRoundTrip(input, Shortcut::fromJson, [](const Shortcut &s) { return s.toJson(); });
    // The conflict rule must hold for whatever the store hands the hotkey monitor.
    if (shortcut)
        FUZZ_CHECK(shortcut->clashesWith(*shortcut));
}
