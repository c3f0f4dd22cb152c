import QtQuick
import QtQuick.Layouts

// One row of a settings card: symbol, title over subtitle, and the control at the right.
// The row is as high as its tallest part, so a subtitle that changes never moves the rows.
Item {
    id: root
    property string symbol
    property string title
    property string subtitle
    property color symbolColour: Theme.ovSecondary
    property color subtitleColour: Theme.ovSecondary
    property int verticalPadding: 10
    // A subtitle that must not wrap takes its full width first; the controls give way.
    property bool subtitleOnOneLine: false
    default property alias controls: controlRow.data

    Layout.fillWidth: true
    implicitHeight: Math.max(row.implicitHeight, Theme.controlHeight) + 2 * verticalPadding

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        spacing: 12
        Item {
            Layout.preferredWidth: Theme.symbolColumn
            Layout.preferredHeight: Theme.symbolColumn
            SymbolIcon { anchors.centerIn: parent; name: root.symbol; colour: root.symbolColour; size: 15 }
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.minimumWidth: root.subtitleOnOneLine ? implicitWidth : 0
            spacing: 2
            Text {
                Layout.fillWidth: true
                text: root.title
                font.pixelSize: Theme.textControl
                font.weight: Font.DemiBold
                color: Theme.ovText
                elide: Text.ElideRight
            }
            Text {
                text: root.subtitle
                visible: root.subtitle !== ""
                objectName: "rowSubtitle"
                font.pixelSize: Theme.textSmall
                color: root.subtitleColour
                wrapMode: Text.WordWrap
                Layout.fillWidth: true
                Layout.minimumWidth: root.subtitleOnOneLine ? implicitWidth : 0
            }
        }
        RowLayout {
            id: controlRow
            spacing: 8
        }
    }
}
