import QtQuick
import QtQuick.Layouts
import QtQuick.Window

// The page frame of a section: a scrolling column with the title, an optional subtitle and
// trailing controls at the top, and the section's content below. The page scrolls to keep
// the control with the keyboard focus in view.
Rectangle {
    id: root
    property string title
    property string subtitle
    property int spacing: 18
    property int titleSize: Theme.textPageTitle
    property real maxContentWidth: Theme.pageMaxWidth
    default property alias content: body.data
    property alias trailing: trailingBox.data
    property alias flickable: flick

    color: Theme.ovPage

    // Scrolls just far enough that `item` (inside the page) is fully visible.
    function reveal(item) {
        let ancestor = item
        while (ancestor && ancestor !== column)
            ancestor = ancestor.parent
        if (!ancestor)
            return
        const margin = 12
        const top = item.mapToItem(flick.contentItem, 0, 0).y - margin
        const bottom = top + item.height + 2 * margin
        if (top < flick.contentY)
            flick.contentY = Math.max(0, top)
        else if (bottom > flick.contentY + flick.height)
            flick.contentY = Math.min(Math.max(0, flick.contentHeight - flick.height), bottom - flick.height)
    }
    Connections {
        target: root.Window.window
        function onActiveFocusItemChanged() { root.reveal(root.Window.window.activeFocusItem) }
    }

    Flickable {
        id: flick
        objectName: "pageFlickable"
        anchors.fill: parent
        contentWidth: width
        contentHeight: column.implicitHeight + 34 + 28
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

        ColumnLayout {
            id: column
            x: 28
            y: 34
            width: Math.min(root.maxContentWidth, flick.width - 56)
            spacing: root.spacing

            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                ColumnLayout {
                    Layout.alignment: Qt.AlignTop
                    Layout.fillWidth: true
                    spacing: 4
                    Text {
                        objectName: "sectionTitle"
                        text: root.title
                        font.pixelSize: root.titleSize
                        font.bold: true
                        color: Theme.ovText
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                    }
                    Text {
                        objectName: "sectionSubtitle"
                        text: root.subtitle
                        visible: root.subtitle !== ""
                        font.pixelSize: Theme.textControl
                        color: Theme.ovSecondary
                        wrapMode: Text.WordWrap
                        Layout.fillWidth: true
                    }
                }
                Row {
                    id: trailingBox
                    Layout.alignment: Qt.AlignTop
                    spacing: 8
                }
            }
            ColumnLayout {
                id: body
                Layout.fillWidth: true
                spacing: root.spacing
            }
        }
    }
}
