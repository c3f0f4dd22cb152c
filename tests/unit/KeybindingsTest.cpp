#include "Keybindings.h"
#include "PreferenceStore.h"
#include "QtPrinters.h"
#include "TempEnvironment.h"

#include <QSettings>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

const QByteArray activateJson =
    QString::fromUtf8(R"({"kind":"doubleTapModifier","modifier":"fn","mods":[],"display":"fn ×2"})")
        .toUtf8();
const QByteArray pasteJson =
    QString::fromUtf8(
        R"({"kind":"combo","keyCode":9,"mods":["control","command"],"display":"⌃⌘V"})")
        .toUtf8();

class KeybindingsTest : public ::testing::Test {
protected:
    void writeOnDisk(const QString &key, const QVariant &value) const {
        QSettings(file, QSettings::IniFormat).setValue(key, value);
    }
    QByteArray onDisk(const QString &key) const {
        return QSettings(file, QSettings::IniFormat).value(key).toByteArray();
    }

    TempFolder folder;
    QString file = folder.filePath("Orvanta.conf");
    PreferenceStore store{file};
};

TEST_F(KeybindingsTest, FreshStoreGivesTheDefaultsAndWritesNothing) {
    Keybindings bindings(store);
    EXPECT_EQ(bindings.activate().display, QString::fromUtf8("fn ×2"));
    EXPECT_EQ(bindings.cancel().display, "Esc");
    EXPECT_EQ(bindings.cancel().keyCode, 53);
    EXPECT_EQ(bindings.pasteLast().display, QString::fromUtf8("⌃⌘V"));
    EXPECT_TRUE(QSettings(file, QSettings::IniFormat).allKeys().isEmpty());
}

TEST(ShortcutCodingTest, DefaultsMatchTheirStoredFormByteForByte) {
    EXPECT_EQ(Keybindings::defaultActivate().toJson(), activateJson);
    EXPECT_EQ(Keybindings::defaultPaste().toJson(), pasteJson);
    EXPECT_EQ(Shortcut::fromJson(activateJson), Keybindings::defaultActivate());
    EXPECT_EQ(Shortcut::fromJson(pasteJson), Keybindings::defaultPaste());
    const Shortcut slash = Shortcut::combo(44, {ModifierKey::Command}, "/");
    EXPECT_TRUE(slash.toJson().contains(R"("display":"⌘\/")"));
    EXPECT_EQ(Shortcut::fromJson(slash.toJson()), slash);
    EXPECT_EQ(Shortcut::fromJson(
                  R"({"display":"x","mods":[],"keyCode":null,"modifier":null,"kind":"combo"})")
                  ->keyCode,
              std::nullopt);
}

TEST(ShortcutCodingTest, MalformedDocumentsAreRefused) {
    const QList<QByteArray> hostile{
        R"({"kind":"combo","keyCode":9,"display":"V"})",
        R"({"kind":"combo","keyCode":9,"mods":[]})",
        R"({"kind":"triple","mods":[],"display":"x"})",
        R"({"kind":"combo","keyCode":65536,"mods":[],"display":"x"})",
        R"({"kind":"combo","keyCode":-1,"mods":[],"display":"x"})",
        R"({"kind":"combo","keyCode":9.5,"mods":[],"display":"x"})",
        R"({"kind":"combo","keyCode":"9","mods":[],"display":"x"})",
        R"({"kind":"doubleTapModifier","modifier":"hyper","mods":[],"display":"x"})",
        R"({"kind":"combo","keyCode":9,"mods":["control","meta"],"display":"x"})",
        R"([])",
        "{\"kind\":\"combo\",\"mods\":[],\"display\":\"\xff\"}",
    };
    for (const QByteArray &json : hostile)
        EXPECT_FALSE(Shortcut::fromJson(json).has_value()) << json.toStdString();
}

TEST(ShortcutTest, CombinationModifiersAreNormalised) {
    const Shortcut paste =
        Shortcut::combo(9, {ModifierKey::Command, ModifierKey::Control, ModifierKey::Command}, "V");
    EXPECT_EQ(paste.mods, (QList<ModifierKey>{ModifierKey::Control, ModifierKey::Command}));
    EXPECT_EQ(paste.display, QString::fromUtf8("⌃⌘V"));
    EXPECT_EQ(Shortcut::combo(49, {ModifierKey::Fn, ModifierKey::Shift}, "Space").display,
              QString::fromUtf8("⇧fnSpace"));
    EXPECT_EQ(Shortcut::combo(49,
                              {ModifierKey::Command, ModifierKey::Shift, ModifierKey::Option,
                               ModifierKey::Control},
                              "Space")
                  .display,
              QString::fromUtf8("⌃⌥⇧⌘Space"));
    EXPECT_EQ(Shortcut::doubleTap(ModifierKey::Option).display, QString::fromUtf8("⌥ ×2"));
    EXPECT_EQ(modifiersPresent(0x800000 | 0x40000 | 0x1),
              (QList<ModifierKey>{ModifierKey::Fn, ModifierKey::Control}));
}

TEST(ShortcutTest, KeyLabels) {
    EXPECT_EQ(keyLabel(36, "\r"), "Return");
    EXPECT_EQ(keyLabel(49, " "), "Space");
    EXPECT_EQ(keyLabel(123, ""), QString::fromUtf8("←"));
    EXPECT_EQ(keyLabel(0, "a"), "A");
    EXPECT_EQ(keyLabel(10, ""), "Key10");
    EXPECT_EQ(keyLabel(50, " "), "Key50");
    EXPECT_EQ(keyLabel(27, QString::fromUtf8("ß")), "SS");
}

TEST_F(KeybindingsTest, EachBindingFallsBackOnItsOwn) {
    writeOnDisk("kbActivate",
                QByteArray(R"({"kind":"doubleTapModifier","modifier":"control","mods":[]})"));
    writeOnDisk("kbCancel",
                QByteArray(R"({"kind":"combo","keyCode":12,"mods":["option"],"display":"⌥Q"})"));
    writeOnDisk("kbPaste", QString("not data"));
    PreferenceStore other(file);
    Keybindings bindings(other);
    EXPECT_EQ(bindings.activate(), Keybindings::defaultActivate());
    EXPECT_EQ(bindings.cancel().keyCode, 12);
    EXPECT_EQ(bindings.pasteLast(), Keybindings::defaultPaste());
}

TEST_F(KeybindingsTest, AssignmentAndResetWriteEveryKey) {
    Keybindings bindings(store);
    QSignalSpy changed(&bindings, &Keybindings::changed);
    const Shortcut doubleControl = Shortcut::doubleTap(ModifierKey::Control);
    bindings.setActivate(doubleControl);
    EXPECT_EQ(Shortcut::fromJson(onDisk("kbActivate")), doubleControl);
    EXPECT_EQ(changed.count(), 1);

    bindings.resetToDefaults();
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(onDisk("kbActivate"), activateJson);
    EXPECT_EQ(Shortcut::fromJson(onDisk("kbCancel")), Keybindings::defaultCancel());
    EXPECT_EQ(onDisk("kbPaste"), pasteJson);
}

TEST_F(KeybindingsTest, ConflictsCompareKindKeyAndModifierSets) {
    Keybindings bindings(store);
    bindings.setPasteLast(Shortcut::combo(40, {ModifierKey::Shift, ModifierKey::Command}, "K"));
    Shortcut reordered = Shortcut::combo(40, {}, "K");
    reordered.mods = {ModifierKey::Command, ModifierKey::Shift};
    reordered.display = "other";
    EXPECT_TRUE(bindings.conflict(reordered, KeybindAction::Activate));
    EXPECT_FALSE(bindings.conflict(reordered, KeybindAction::PasteLast));
    EXPECT_FALSE(bindings.conflict(Shortcut::combo(40, {ModifierKey::Command}, "K"),
                                   KeybindAction::Activate));
    EXPECT_FALSE(
        bindings.conflict(Shortcut::combo(41, {ModifierKey::Shift, ModifierKey::Command}, "L"),
                          KeybindAction::Activate));

    EXPECT_FALSE(bindings.conflict(Shortcut::doubleTap(ModifierKey::Fn), KeybindAction::Activate));
    EXPECT_TRUE(bindings.conflict(Shortcut::doubleTap(ModifierKey::Fn), KeybindAction::Cancel));
    EXPECT_FALSE(bindings.conflict(Shortcut::doubleTap(ModifierKey::Shift), KeybindAction::Cancel));
    EXPECT_TRUE(bindings.conflict(Shortcut::combo(53, {}, "Esc"), KeybindAction::PasteLast));
}

} // namespace
