import QtQuick

// A keyboard key label.
Rectangle {
    id: root
    property string label
    implicitWidth: text.implicitWidth + 12
    implicitHeight: text.implicitHeight + 4
    radius: 4
    color: Theme.withAlpha(Theme.primary, 0.08)
    border.width: 1
    border.color: Theme.withAlpha(Theme.primary, 0.15)

    Text {
        id: text
        anchors.centerIn: parent
        text: root.label
        font.pixelSize: 11
        font.weight: Font.DemiBold
        color: Theme.ovText
    }
}
