import QtQuick

// A keyboard key label; `dark` draws it for a dark background.
Rectangle {
    id: root
    property string label
    property bool dark: false
    readonly property color ink: dark ? "white" : Theme.primary
    implicitWidth: text.implicitWidth + 12
    implicitHeight: text.implicitHeight + 4
    radius: 4
    color: Theme.withAlpha(ink, dark ? 0.18 : 0.08)
    border.width: 1
    border.color: Theme.withAlpha(ink, dark ? 0.3 : 0.15)

    Text {
        id: text
        anchors.centerIn: parent
        text: root.label
        font.pixelSize: Theme.textSmall
        font.weight: Font.DemiBold
        color: root.dark ? "white" : Theme.ovText
    }
}
