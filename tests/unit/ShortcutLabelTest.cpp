#include "ShortcutLabel.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace orvanta;

namespace {

TEST(ShortcutLabelTest, BindingsReadAsOnALinuxDesktop) {
    using enum ModifierKey;
    Shortcut foreignDisplay = Shortcut::combo(KeyCode::escape, {Control}, QStringLiteral("Esc"));
    foreignDisplay.display = QStringLiteral("something else");
    const struct {
        Shortcut shortcut;
        QString label;
    } cases[] = {
        {Shortcut::doubleTap(Control), QStringLiteral("Ctrl ×2")},
        {Shortcut::doubleTap(Fn), QStringLiteral("Fn ×2")},
        {Shortcut::combo(40, {Option, Control}, QStringLiteral("K")), QStringLiteral("Ctrl+Alt+K")},
        {Shortcut::combo(KeyCode::v, {Command}, QStringLiteral("V")), QStringLiteral("Super+V")},
        {Shortcut::combo(KeyCode::v, {Command, Control}, QStringLiteral("V")),
         QStringLiteral("Ctrl+Super+V")},
        {Shortcut::combo(KeyCode::leftArrow, {Fn, Command, Shift}, QStringLiteral("←")),
         QStringLiteral("Shift+Super+Fn+←")},
        {Shortcut::combo(KeyCode::escape, {}, QStringLiteral("Esc")), QStringLiteral("Esc")},
        // A stored display of another form: the key code still names the key.
        {foreignDisplay, QStringLiteral("Ctrl+Esc")},
    };
    for (const auto &[shortcut, label] : cases)
        EXPECT_EQ(desktopLabel(shortcut), label) << shortcut.toJson().constData();
}

} // namespace
