#include "ShortcutRecorder.h"
#include "Keybindings.h"
#include "PreferenceStore.h"
#include "QtPrinters.h"
#include "RecorderKeyTranslator.h"
#include "TempEnvironment.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

class ShortcutRecorderTest : public ::testing::Test {
protected:
    // Feeds a window's press (or release) through the translation, as the sheet does.
    static void press(ShortcutRecorder &recorder, int key, Qt::KeyboardModifiers mods = {},
                      bool isPress = true) {
        const auto event = isPress ? RecorderKeyTranslator::press(key, mods)
                                   : RecorderKeyTranslator::release(key, mods);
        if (event)
            recorder.handle(event->event, event->characters);
    }

    TempFolder folder;
    PreferenceStore store{folder.filePath("Orvanta.conf")};
    Keybindings bindings{store};
};

// A lone modifier records its double press once up; a key, the combination held, canonical.
TEST_F(ShortcutRecorderTest, KeysAndModifiersBecomeTheCapturedShortcut) {
    const Qt::KeyboardModifiers none, shift = Qt::ShiftModifier, alt = Qt::AltModifier,
                                      meta = Qt::MetaModifier;
    using Event = std::tuple<bool, int, Qt::KeyboardModifiers>; // a press or a release
    const auto down = [](int key, Qt::KeyboardModifiers mods) { return Event{true, key, mods}; };
    const auto up = [](int key, Qt::KeyboardModifiers mods) { return Event{false, key, mods}; };
    const int altKey = Qt::Key_Alt, superKey = Qt::Key_Super_L;
    const std::pair<std::vector<Event>, QString> cases[] = {
        // The platform may report a modifier's press with or without its own bit.
        {{down(Qt::Key_Shift, none)}, ""},
        {{down(Qt::Key_Shift, none), up(Qt::Key_Shift, shift)}, "⇧ ×2"},
        {{down(Qt::Key_Meta, meta), down(Qt::Key_K, meta), up(Qt::Key_Meta, meta)}, "⌘K"},
        {{down(altKey, none), down(superKey, alt), up(altKey, alt | meta)}, ""}, // ⌘ still held
        {{down(altKey, none), down(superKey, alt), up(altKey, alt | meta), up(superKey, meta)},
         "⌘ ×2"}, // the one that went down last
        {{down(Qt::Key_Exclam, shift | Qt::ControlModifier | alt)}, "⌃⌥⇧1"},
        {{down(Qt::Key_Escape, none)}, "Esc"}, // recorded, it closes nothing
        {{down(Qt::Key_Left, meta)}, "⌘←"},
        {{down(Qt::Key_VolumeUp, none)}, ""},
    };
    for (const auto &[events, display] : cases) {
        ShortcutRecorder recorder(bindings, KeybindAction::Activate);
        for (const auto &[isPress, key, mods] : events)
            press(recorder, key, mods, isPress);
        EXPECT_EQ(recorder.captured().value_or(Shortcut()).display, display)
            << std::get<1>(events.back());
        EXPECT_EQ(recorder.canSave(), !display.isEmpty() && display != "Esc") << "Esc cancels";
    }
}

// US keyboard positions: a shifted symbol shares its unshifted key, whose characters it carries.
TEST(RecorderKeyTranslatorTest, EachKeyHasItsOwnCodeAndShiftedSymbolsShareTheirKeys) {
    using Translator = RecorderKeyTranslator;
    const QString unshifted = "abcdefghijklmnopqrstuvwxyz1234567890-=[]\\;',./`";
    const QString shifted = "ABCDEFGHIJKLMNOPQRSTUVWXYZ!@#$%^&*()_+{}|:\"<>?~";
    QList<int> keys{Qt::Key_Return, Qt::Key_Tab,    Qt::Key_Space, Qt::Key_Backspace,
                    Qt::Key_Escape, Qt::Key_Enter,  Qt::Key_Home,  Qt::Key_PageUp,
                    Qt::Key_Delete, Qt::Key_Insert, Qt::Key_Left,  Qt::Key_Up};
    for (int key = Qt::Key_F1; key <= Qt::Key_F12; ++key)
        keys.append(key);
    QSet<quint16> codes;
    for (qsizetype i = 0; i < unshifted.size(); ++i) {
        const auto code = Translator::keyCodeFor(unshifted[i].toUpper().unicode());
        ASSERT_TRUE(code.has_value()) << unshifted[i].toLatin1();
        EXPECT_EQ(Translator::baseCharacters(*code), unshifted[i]);
        EXPECT_EQ(Translator::keyCodeFor(shifted[i].unicode()), code) << shifted[i].toLatin1();
        codes.insert(*code);
    }
    for (int key : keys) {
        const auto code = Translator::keyCodeFor(key);
        ASSERT_TRUE(code.has_value()) << key;
        EXPECT_EQ(Translator::baseCharacters(*code), "") << key;
        codes.insert(*code);
    }
    EXPECT_EQ(codes.size(), unshifted.size() + keys.size()) << "no two keys share a code";
    // The codes the bindings share that no other case here shows.
    EXPECT_EQ(Translator::keyCodeFor(Qt::Key_Tab), KeyCode::tab);
    EXPECT_EQ(Translator::keyCodeFor(Qt::Key_Backspace), KeyCode::deleteKey);
    EXPECT_FALSE(Translator::press(Qt::Key_VolumeUp, {})) << "a key without a code";
    EXPECT_FALSE(Translator::release(Qt::Key_A, {})) << "only modifiers release";
}

// The conflict rule is Keybindings' (StoresTest); here each capture is checked, stored on Save.
TEST_F(ShortcutRecorderTest, EachCaptureIsCheckedForConflictsAndStoredOnlyOnSave) {
    ShortcutRecorder recorder(bindings, KeybindAction::Cancel);
    EXPECT_FALSE(recorder.save(bindings)) << "nothing captured";
    press(recorder, Qt::Key_V, Qt::ControlModifier | Qt::MetaModifier);
    EXPECT_TRUE(recorder.conflict()) << "Paste Last's";
    press(recorder, Qt::Key_Escape);
    EXPECT_FALSE(recorder.conflict()) << "its own binding is no conflict";
    press(recorder, Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(bindings.cancel(), Keybindings::defaultCancel());
    ASSERT_TRUE(recorder.save(bindings));
    EXPECT_EQ(Keybindings(store).cancel().display, QString::fromUtf8("⌃⌥Space")) << "written";
}

} // namespace
