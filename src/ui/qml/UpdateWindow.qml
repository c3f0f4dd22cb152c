import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Orvanta

// The answer to a check for updates the user asked for.
Window {
    id: window
    // "upToDate", "newer" or "failed"
    property string outcome: "upToDate"
    property string version
    property url link
    property string currentVersion

    title: "Software Update"
    flags: Qt.Dialog
    width: 360
    height: column.implicitHeight + 40
    color: Theme.ovPage

    ColumnLayout {
        id: column
        x: 20; y: 20
        width: parent.width - 40
        spacing: 12
        RowLayout {
            spacing: 10
            OrbIcon { size: 32 }
            Text {
                objectName: "headline"
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                font.pixelSize: Theme.textBubble
                font.weight: Font.DemiBold
                color: Theme.ovText
                text: window.outcome === "newer" ? "Talvo " + window.version + " is available."
                    : window.outcome === "failed" ? "Couldn't check for updates."
                    : "You're up to date."
            }
        }
        Text {
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            font.pixelSize: Theme.textBody
            color: Theme.ovSecondary
            text: window.outcome === "newer" ? "You have version " + window.currentVersion + "."
                : window.outcome === "failed" ? "The update feed could not be reached or read. Try again later."
                : "Talvo " + window.currentVersion + " is the newest version."
        }
        RowLayout {
            Layout.fillWidth: true
            Item { Layout.fillWidth: true }
            Button {
                visible: window.outcome === "newer"
                highlighted: true
                text: "Download\u2026"
                onClicked: { Qt.openUrlExternally(window.link); window.close() }
            }
            Button {
                highlighted: true
                text: "OK"
                onClicked: window.close()
            }
        }
    }
}
