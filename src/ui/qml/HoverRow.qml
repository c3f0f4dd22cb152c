import QtQuick
import QtQuick.Layouts

// A list row that highlights under the pointer: symbol, title, and a tertiary shortcut text.
Rectangle {
    id: root
    property string symbol
    property string title
    property string shortcut
    property bool enabled: true
    signal clicked()

    Layout.fillWidth: true
    implicitHeight: 28
    radius: 6
    color: root.enabled && (area.containsMouse || area.pressed)
           ? Theme.withAlpha(Theme.accent, 0.15) : "transparent"
    opacity: root.enabled ? 1.0 : 0.4

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 8
        anchors.rightMargin: 8
        spacing: 6
        Item {
            Layout.preferredWidth: 18
            Layout.preferredHeight: 18
            SymbolIcon { anchors.centerIn: parent; name: root.symbol; colour: Theme.ovText; size: 14 }
        }
        Text { text: root.title; font.pixelSize: 13; color: Theme.ovText }
        Item { Layout.fillWidth: true }
        Text { text: root.shortcut; font.pixelSize: 13; color: Theme.ovTertiary }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        enabled: root.enabled
        onClicked: root.clicked()
    }
}
