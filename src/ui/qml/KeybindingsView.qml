import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvanta

// The keyboard shortcuts: one row per action with its binding, a pencil that opens the
// recorder sheet, and "Reset to Defaults".
ColumnLayout {
    id: root
    required property var keybindings
    property bool activateBindingCanFire: true
    property string fnUnavailableText
    property var sheet: null

    spacing: 8

    function openRecorder(action) {
        if (root.sheet)
            return
        root.sheet = sheetComponent.createObject(root, {
            keybindings: root.keybindings,
            action: action,
            transientParent: root.Window.window
        })
        root.sheet.show()
        root.sheet.requestActivate()
        root.keybindings.beginRecording(action, root.sheet)
    }

    Connections {
        target: root.keybindings
        function onRecordingFinished() {
            if (root.sheet) {
                const sheet = root.sheet
                root.sheet = null
                sheet.close()
                sheet.destroy()
            }
        }
    }
    Component.onDestruction: if (root.sheet) root.keybindings.cancelRecording()

    Component {
        id: sheetComponent
        ShortcutRecorderSheet {}
    }

    Text {
        text: "KEYBINDINGS"
        font.pixelSize: 11
        font.weight: Font.DemiBold
        font.letterSpacing: 0.5
        color: Theme.ovSecondary
    }

    Card {
        Layout.fillWidth: true
        implicitHeight: rows.implicitHeight
        ColumnLayout {
            id: rows
            width: parent.width
            spacing: 0
            Repeater {
                model: root.keybindings.rows
                ColumnLayout {
                    id: binding
                    required property var modelData
                    required property int index
                    readonly property bool unavailable: modelData.action === "activate"
                                                        && !root.activateBindingCanFire
                    Layout.fillWidth: true
                    spacing: 0
                    Rectangle { Layout.fillWidth: true; height: 1; color: Theme.ovBorder; visible: binding.index > 0 }
                    SettingsRow {
                        objectName: "binding_" + binding.modelData.action
                        verticalPadding: 12
                        symbol: binding.modelData.icon
                        title: binding.modelData.title
                        subtitle: binding.unavailable ? root.fnUnavailableText : binding.modelData.description
                        subtitleColour: binding.unavailable ? "#ff9500" : Theme.ovSecondary
                        KeyCap { objectName: "bindingKey"; label: binding.modelData.display }
                        ToolButton {
                            objectName: "edit_" + binding.modelData.action
                            implicitWidth: 24
                            implicitHeight: 24
                            contentItem: Item {
                                SymbolIcon { anchors.centerIn: parent; name: "pencil"; colour: Theme.ovSecondary; size: 12 }
                            }
                            onClicked: root.openRecorder(binding.modelData.action)
                        }
                    }
                }
            }
        }
    }

    Text {
        objectName: "keybindingsNote"
        Layout.fillWidth: true
        visible: text !== ""
        text: typeof keySources !== "undefined" ? keySources.keybindingsNote : ""
        font.pixelSize: 11
        color: Theme.ovSecondary
        wrapMode: Text.Wrap
    }

    Button {
        objectName: "resetDefaults"
        flat: true
        padding: 0
        background: null
        contentItem: Text {
            text: "Reset to Defaults"
            font.pixelSize: 12
            color: Theme.accent
        }
        onClicked: root.keybindings.resetToDefaults()
    }
}
