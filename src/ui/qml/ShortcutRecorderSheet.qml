import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Orvanta

// The sheet that records a new shortcut. Its key events go to the recorder (which consumes
// them), so Esc and Return are recorded rather than acting on the sheet; a second Esc once
// Esc is recorded closes it.
Window {
    id: sheet
    required property var keybindings
    required property string action

    flags: Qt.Dialog
    modality: Qt.WindowModal
    title: "Press desired key combination"
    width: 420
    height: column.implicitHeight + 40
    minimumWidth: 420
    maximumWidth: 420
    color: Theme.ovPage

    onClosing: sheet.keybindings.cancelRecording()

    ColumnLayout {
        id: column
        x: 20
        y: 20
        width: sheet.width - 40
        spacing: 16

        ColumnLayout {
            spacing: 4
            Text {
                text: "Press desired key combination"
                font.pixelSize: Theme.textSheetTitle
                font.bold: true
                color: Theme.ovText
            }
            Text {
                objectName: "sheetSubtitle"
                text: "This shortcut will trigger \"" + sheet.keybindings.actionTitle + "\"."
                font.pixelSize: Theme.textBody
                color: Theme.ovSecondary
            }
        }

        Rectangle {
            objectName: "captureBox"
            Layout.fillWidth: true
            implicitHeight: 70
            radius: 10
            color: Theme.withAlpha(Theme.accent, 0.08)
            border.width: 1
            border.color: Theme.withAlpha(Theme.accent, 0.5)
            KeyCap {
                objectName: "capturedKey"
                anchors.centerIn: parent
                visible: sheet.keybindings.capturedDisplay !== ""
                label: sheet.keybindings.capturedDisplay
            }
            Text {
                anchors.centerIn: parent
                visible: sheet.keybindings.capturedDisplay === ""
                text: "Press keys\u2026"
                font.pixelSize: Theme.textControl
                color: Theme.ovSecondary
            }
        }

        Row {
            objectName: "conflictWarning"
            visible: sheet.keybindings.conflict
            spacing: 6
            SymbolIcon { name: "exclamationmark.circle"; colour: Theme.redText; size: 13; anchors.verticalCenter: parent.verticalCenter }
            Text {
                text: "This shortcut is already assigned to another action."
                font.pixelSize: Theme.textBody
                color: Theme.redText
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Text {
                Layout.fillWidth: true
                text: "Press Esc twice to close without saving."
                font.pixelSize: Theme.textSmall
                color: Theme.ovTertiary
                elide: Text.ElideRight
            }
            Button {
                objectName: "cancelButton"
                text: "Cancel"
                focusPolicy: Qt.NoFocus
                onClicked: sheet.keybindings.cancelRecording()
            }
            Button {
                objectName: "saveButton"
                text: "Save"
                focusPolicy: Qt.NoFocus
                enabled: sheet.keybindings.canSave
                highlighted: true
                onClicked: sheet.keybindings.save()
            }
        }
    }
}
