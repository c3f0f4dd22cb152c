import QtQuick

// The small capitals heading above a card ("SETTINGS", "KEYBINDINGS", …).
Text {
    property bool tertiary: false
    font.pixelSize: Theme.textSmall
    font.weight: Font.DemiBold
    font.letterSpacing: 0.5
    color: tertiary ? Theme.ovTertiary : Theme.ovSecondary
    Accessible.role: Accessible.Heading
    Accessible.name: text
}
