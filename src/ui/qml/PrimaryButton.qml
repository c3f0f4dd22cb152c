import QtQuick
import QtQuick.Layouts

// A full-width prominent button with an optional symbol.
Rectangle {
    id: root
    property string title
    property string symbol
    property bool enabled: true
    signal clicked()

    Layout.fillWidth: true
    implicitHeight: row.implicitHeight + 18
    radius: 9
    color: Theme.accent
    opacity: !root.enabled ? 0.4 : (area.pressed ? 0.8 : 1.0)

    Row {
        id: row
        anchors.centerIn: parent
        spacing: 6
        SymbolIcon {
            name: root.symbol
            colour: "white"
            size: 13
            visible: root.symbol !== ""
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            text: root.title
            color: "white"
            font.pixelSize: 13
            font.weight: Font.DemiBold
            anchors.verticalCenter: parent.verticalCenter
        }
    }
    MouseArea {
        id: area
        anchors.fill: parent
        enabled: root.enabled
        onClicked: root.clicked()
    }
}
