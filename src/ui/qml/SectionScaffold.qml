import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// The page frame of a section: a scrolling column with the title, an optional subtitle and
// trailing controls at the top, and the section's content below.
Rectangle {
    id: root
    property string title
    property string subtitle
    property int spacing: 18
    property int titleSize: 24
    default property alias content: body.data
    property alias trailing: trailingBox.data
    property alias flickable: flick

    color: Theme.ovPage

    Flickable {
        id: flick
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
            width: Math.min(680, flick.width - 56)
            spacing: root.spacing

            RowLayout {
                Layout.fillWidth: true
                spacing: 12
                ColumnLayout {
                    Layout.alignment: Qt.AlignTop
                    spacing: 4
                    Text {
                        objectName: "sectionTitle"
                        text: root.title
                        font.pixelSize: root.titleSize
                        font.bold: true
                        color: Theme.ovText
                    }
                    Text {
                        objectName: "sectionSubtitle"
                        text: root.subtitle
                        visible: root.subtitle !== ""
                        font.pixelSize: 13
                        color: Theme.ovSecondary
                        wrapMode: Text.WordWrap
                        Layout.fillWidth: true
                    }
                }
                Item { Layout.fillWidth: true }
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
