import QtQuick
import QtQuick.Layouts

// One section in the sidebar; the whole row selects it. The sidebar is one stop in the Tab
// order that focuses the selected row; the arrow keys move between the rows (SettingsView
// handles them).
Rectangle {
    id: root
    property string symbol
    property string label
    property bool selected: false
    signal clicked()

    Layout.fillWidth: true
    implicitHeight: row.implicitHeight + 14
    radius: Theme.radiusSidebarItem
    color: selected ? Theme.accent : area.containsMouse ? Theme.subtleHover : "transparent"

    Accessible.role: Accessible.PageTab
    Accessible.name: label
    Accessible.selected: selected
    Accessible.onPressAction: root.clicked()
    Keys.onSpacePressed: root.clicked()
    Keys.onReturnPressed: root.clicked()
    Keys.onEnterPressed: root.clicked()

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 10
        anchors.rightMargin: 10
        spacing: 8
        Item {
            Layout.preferredWidth: Theme.symbolColumn
            Layout.preferredHeight: 16
            SymbolIcon {
                anchors.centerIn: parent
                name: root.symbol
                colour: root.selected ? Theme.accentText : Theme.ovText
                size: 15
            }
        }
        Text {
            text: root.label
            font.pixelSize: Theme.textControl
            font.weight: root.selected ? Font.DemiBold : Font.Normal
            color: root.selected ? Theme.accentText : Theme.ovText
            Accessible.ignored: true
        }
        Item { Layout.fillWidth: true }
    }
    FocusRing {
        visible: root.activeFocus
        ringRadius: root.radius
    }
    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: root.clicked()
    }
}
