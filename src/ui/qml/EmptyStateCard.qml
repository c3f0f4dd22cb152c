import QtQuick
import QtQuick.Layouts

// The card a list shows while it is empty: a symbol on a faint circle, a title and a
// centred explanation.
Card {
    id: root
    property string symbol
    property int symbolSize: 24
    property string title
    property string message
    property int verticalSpace: 56

    Layout.fillWidth: true
    implicitHeight: column.implicitHeight + 2 * verticalSpace
    Accessible.role: Accessible.Grouping
    Accessible.name: title

    ColumnLayout {
        id: column
        anchors.centerIn: parent
        width: Math.min(implicitWidth, root.width - 28)
        spacing: 10
        Rectangle {
            Layout.alignment: Qt.AlignHCenter
            implicitWidth: 52
            implicitHeight: 52
            radius: 26
            color: Theme.withAlpha(Theme.primary, 0.04)
            SymbolIcon { anchors.centerIn: parent; name: root.symbol; colour: Theme.ovSecondary; size: root.symbolSize }
        }
        Text {
            objectName: "emptyTitle"
            Layout.alignment: Qt.AlignHCenter
            text: root.title
            font.pixelSize: Theme.textEmptyTitle
            font.weight: Font.DemiBold
            color: Theme.ovText
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.maximumWidth: root.width - 28
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: root.message
            visible: text !== ""
            font.pixelSize: Theme.textBody
            color: Theme.ovSecondary
        }
    }
}
