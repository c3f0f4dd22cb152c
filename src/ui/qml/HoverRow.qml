import QtQuick
import QtQuick.Layouts
import QtQuick.Templates as T

// A menu row that highlights under the pointer or the keyboard focus: symbol, title, and the
// shortcut that also works while the menu has the focus.
T.Button {
    id: control
    property string symbol
    property string shortcut

    Layout.fillWidth: true
    implicitHeight: 28
    leftPadding: 8
    rightPadding: 8
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.MenuItem
    Accessible.name: text
    Accessible.description: shortcut
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    contentItem: RowLayout {
        spacing: 6
        opacity: control.enabled ? 1.0 : 0.4
        Item {
            Layout.preferredWidth: Theme.symbolColumn
            Layout.preferredHeight: Theme.symbolColumn
            SymbolIcon { anchors.centerIn: parent; name: control.symbol; colour: Theme.ovText; size: 14 }
        }
        Text { text: control.text; font.pixelSize: Theme.textControl; color: Theme.ovText }
        Item { Layout.fillWidth: true }
        Text { text: control.shortcut; font.pixelSize: Theme.textControl; color: Theme.ovTertiary }
    }
    background: Rectangle {
        radius: Theme.radiusRow
        color: control.enabled && (control.hovered || control.down || control.visualFocus)
               ? Theme.rowHover : "transparent"
        border.width: control.visualFocus ? 1 : 0
        border.color: Theme.focusRing
    }
}
