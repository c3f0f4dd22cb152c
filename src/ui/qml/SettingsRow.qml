import QtQuick
import QtQuick.Layouts

// One row of a settings card: symbol, title over subtitle, and the control at the right.
Item {
    id: root
    property string symbol
    property string title
    property string subtitle
    property color symbolColour: Theme.ovSecondary
    property color subtitleColour: Theme.ovSecondary
    property int verticalPadding: 10
    default property alias controls: controlRow.data

    Layout.fillWidth: true
    implicitHeight: Math.max(row.implicitHeight, 28) + 2 * verticalPadding

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        spacing: 12
        Item {
            Layout.preferredWidth: 18
            Layout.preferredHeight: 18
            SymbolIcon { anchors.centerIn: parent; name: root.symbol; colour: root.symbolColour; size: 15 }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                text: root.title
                font.pixelSize: 13
                font.weight: Font.DemiBold
                color: Theme.ovText
            }
            Text {
                text: root.subtitle
                visible: root.subtitle !== ""
                objectName: "rowSubtitle"
                font.pixelSize: 11
                color: root.subtitleColour
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
            }
        }
        RowLayout {
            id: controlRow
            spacing: 8
        }
    }
}
