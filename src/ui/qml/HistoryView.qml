import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvanta

// The History section: the stored transcripts, newest first, to paste, copy or delete.
SectionScaffold {
    id: root
    required property var history

    title: "History"
    subtitle: "Your recent dictations. Nothing is stored while Privacy Mode is on."
    trailing: Button {
        objectName: "clearAll"
        visible: root.history.count > 0
        text: "Clear all"
        font.pixelSize: 11
        implicitHeight: 24
        palette.buttonText: "#ff3b30"
        onClicked: root.history.clear()
    }

    Card {
        objectName: "historyEmpty"
        visible: root.history.count === 0
        Layout.fillWidth: true
        implicitHeight: emptyColumn.implicitHeight + 112
        ColumnLayout {
            id: emptyColumn
            anchors.centerIn: parent
            spacing: 10
            Rectangle {
                Layout.alignment: Qt.AlignHCenter
                width: 52; height: 52; radius: 26
                color: Qt.rgba(0, 0, 0, 0.04)
                SymbolIcon { anchors.centerIn: parent; name: "clock"; colour: Theme.ovSecondary; size: 24 }
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: "No history yet"
                font.pixelSize: 15
                font.weight: Font.DemiBold
                color: Theme.ovText
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: "Press Fn twice to start dictating; your transcripts collect here."
                font.pixelSize: 12
                color: Theme.ovSecondary
            }
        }
    }

    Repeater {
        model: root.history
        Column {
            id: entry
            required property string itemId
            required property string text
            required property string mode
            required property string relativeTime
            objectName: "historyEntry"
            Layout.fillWidth: true
            spacing: 8

            RowLayout {
                width: entry.width
                spacing: 10
                Text { objectName: "entryTime"; text: entry.relativeTime; font.pixelSize: 11; color: Theme.ovSecondary }
                Rectangle {
                    implicitWidth: modeText.implicitWidth + 12
                    implicitHeight: modeText.implicitHeight + 4
                    radius: height / 2
                    color: Theme.withAlpha(Theme.accent, 0.12)
                    Text {
                        id: modeText
                        anchors.centerIn: parent
                        text: entry.mode
                        font.pixelSize: 10
                        font.weight: Font.DemiBold
                        color: Theme.accent
                    }
                }
                Item { Layout.fillWidth: true }
                Repeater {
                    model: [
                        { key: "paste", symbol: "arrow.down.doc", tip: "Paste at cursor" },
                        { key: "copy", symbol: "doc.on.doc", tip: "Copy" },
                        { key: "delete", symbol: "trash", tip: "Delete" }
                    ]
                    ToolButton {
                        id: entryButton
                        required property var modelData
                        objectName: "entry_" + modelData.key
                        implicitWidth: 24
                        implicitHeight: 24
                        ToolTip.visible: hovered
                        ToolTip.text: entryButton.modelData.tip
                        contentItem: Item {
                            SymbolIcon { anchors.centerIn: parent; name: entryButton.modelData.symbol; colour: Theme.ovSecondary; size: 12 }
                        }
                        onClicked: {
                            if (entryButton.modelData.key === "paste")
                                root.history.paste(entry.itemId)
                            else if (entryButton.modelData.key === "copy")
                                root.history.copy(entry.itemId)
                            else
                                root.history.remove(entry.itemId)
                        }
                    }
                }
            }
            TextEdit {
                objectName: "entryText"
                width: entry.width
                leftPadding: 18
                rightPadding: 18
                topPadding: 14
                bottomPadding: 14
                text: entry.text
                readOnly: true
                selectByMouse: true
                wrapMode: TextEdit.Wrap
                font.pixelSize: 14
                color: "white"
                selectionColor: Theme.accent
                Rectangle {
                    anchors.fill: parent
                    z: -1
                    radius: 18
                    color: Qt.rgba(0.09, 0.09, 0.11, 1)
                }
            }
        }
    }
}
