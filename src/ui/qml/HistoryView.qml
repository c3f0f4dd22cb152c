import QtQuick
import QtQuick.Layouts
import Orvanta

// The History section: the stored transcripts, newest first, to paste, copy or delete.
SectionScaffold {
    id: root
    required property var history
    required property var appState

    title: "History"
    subtitle: "Your recent dictations. Nothing is stored while Privacy Mode is on."
    trailing: Button {
        objectName: "clearAll"
        visible: root.history.count > 0
        text: "Clear all"
        small: true
        destructive: true
        onClicked: root.history.clear()
    }

    EmptyStateCard {
        objectName: "historyEmpty"
        visible: root.history.count === 0
        symbol: "clock"
        title: "No history yet"
        message: "Press " + root.appState.activateKeyLabel + (root.appState.activateIsDoublePress ? " twice" : "") + " to start dictating; your transcripts collect here."
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
            // The header and its bubble are spaced like every other child of the page.
            spacing: 18

            RowLayout {
                width: entry.width
                spacing: 10
                Text { objectName: "entryTime"; text: entry.relativeTime; font.pixelSize: Theme.textSmall; color: Theme.ovSecondary }
                Rectangle {
                    implicitWidth: modeText.implicitWidth + 12
                    implicitHeight: modeText.implicitHeight + 4
                    radius: height / 2
                    color: Theme.withAlpha(Theme.accent, 0.12)
                    Text {
                        id: modeText
                        anchors.centerIn: parent
                        text: entry.mode
                        font.pixelSize: Theme.textTiny
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
                    IconButton {
                        id: entryButton
                        required property var modelData
                        objectName: "entry_" + modelData.key
                        symbol: modelData.symbol
                        tip: modelData.tip
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
                font.pixelSize: Theme.textBubble
                color: "white"
                selectionColor: Theme.accent
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                Rectangle {
                    anchors.fill: parent
                    z: -1
                    radius: Theme.radiusBubble
                    color: Theme.bubble
                }
            }
        }
    }
}
