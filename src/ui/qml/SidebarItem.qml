import QtQuick
import QtQuick.Layouts

// One section in the sidebar; the whole row selects it.
Rectangle {
    id: root
    property string symbol
    property string label
    property bool selected: false
    signal clicked()

    Layout.fillWidth: true
    implicitHeight: row.implicitHeight + 14
    radius: 7
    color: selected ? Theme.accent : "transparent"

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        spacing: 8
        Item {
            Layout.preferredWidth: 18
            Layout.preferredHeight: 16
            SymbolIcon {
                anchors.centerIn: parent
                name: root.symbol
                colour: root.selected ? "white" : Theme.ovText
                size: 15
            }
        }
        Text {
            text: root.label
            font.pixelSize: 13
            font.weight: root.selected ? Font.DemiBold : Font.Normal
            color: root.selected ? "white" : Theme.ovText
        }
        Item { Layout.fillWidth: true }
    }
    MouseArea {
        anchors.fill: parent
        onClicked: root.clicked()
    }
}
