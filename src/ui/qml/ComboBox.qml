import QtQuick
import QtQuick.Templates as T

// The picker: a white field with a chevron and a list popup whose highlighted entry is white
// text on the accent colour.
T.ComboBox {
    id: control
    implicitWidth: 160
    implicitHeight: Theme.controlHeight - 2
    leftPadding: 9
    rightPadding: 26
    font.pixelSize: Theme.textBody
    focusPolicy: Qt.StrongFocus

    Accessible.role: Accessible.ComboBox
    Accessible.description: displayText

    delegate: T.ItemDelegate {
        id: entry
        required property int index
        required property var modelData
        objectName: "pickerEntry"
        width: ListView.view ? ListView.view.width : implicitWidth
        implicitHeight: Theme.controlHeight - 4
        leftPadding: 9
        rightPadding: 9
        highlighted: control.highlightedIndex === index
        text: control.textRole ? modelData[control.textRole] : modelData
        Accessible.role: Accessible.ListItem
        Accessible.name: text
        Accessible.selected: control.currentIndex === index
        contentItem: Text {
            objectName: "pickerEntryText"
            text: entry.text
            font: control.font
            elide: Text.ElideRight
            verticalAlignment: Text.AlignVCenter
            color: entry.highlighted ? Theme.accentText : Theme.ovText
        }
        background: Rectangle {
            objectName: "pickerEntryBackground"
            radius: Theme.radiusKey
            color: entry.highlighted ? Theme.accent : "transparent"
        }
    }

    indicator: SymbolIcon {
        x: control.width - width - 8
        y: (control.height - height) / 2
        name: "chevron.up.down"
        size: 11
        colour: control.enabled ? Theme.ovSecondary : Theme.controlDisabledText
    }

    contentItem: Text {
        text: control.displayText
        font: control.font
        color: control.enabled ? Theme.ovText : Theme.controlDisabledText
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Rectangle {
        radius: Theme.radiusControl
        color: !control.enabled ? Theme.controlDisabledFill
             : control.down ? Theme.controlPressed
             : control.hovered ? Theme.controlHover : Theme.controlFill
        border.width: 1
        border.color: Theme.controlBorder
        FocusRing { visible: control.visualFocus }
    }

    popup: T.Popup {
        y: control.height + 2
        width: Math.max(control.width, list.contentItem ? list.implicitWidth : 0)
        implicitHeight: Math.min(list.contentHeight + topPadding + bottomPadding, 320)
        padding: 4
        contentItem: ListView {
            id: list
            clip: true
            implicitHeight: contentHeight
            model: control.delegateModel
            currentIndex: control.highlightedIndex
            boundsBehavior: Flickable.StopAtBounds
        }
        background: Rectangle {
            radius: Theme.radiusMenuCard
            color: Theme.ovCard
            border.width: 1
            border.color: Theme.controlBorder
        }
    }
}
