// Any stored "kbActivate", "kbCancel" or "kbPaste" value: what decodes must come back unchanged
// once saved.
#include "FuzzCheck.h"
#include "Shortcut.h"

#include <cstddef>
#include <cstdint>

using orvanta::Shortcut;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto shortcut = Shortcut::fromJson(
        QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    if (!shortcut)
        return 0;
    const QByteArray saved = shortcut->toJson();
    const auto reread = Shortcut::fromJson(saved);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(*reread == *shortcut);
    FUZZ_CHECK(reread->toJson() == saved);
    // The conflict rule must hold for whatever the store hands the hotkey monitor.
    FUZZ_CHECK(shortcut->clashesWith(*reread));
    return 0;
}
