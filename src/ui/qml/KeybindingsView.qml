import QtQuick
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

    SectionHeading { text: "KEYBINDINGS" }

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
                    Divider { visible: binding.index > 0 }
                    SettingsRow {
                        objectName: "binding_" + binding.modelData.action
                        verticalPadding: 12
                        symbol: binding.modelData.icon
                        title: binding.modelData.title
                        subtitle: binding.unavailable ? root.fnUnavailableText : binding.modelData.description
                        subtitleColour: binding.unavailable ? Theme.orange : Theme.ovSecondary
                        KeyCap { objectName: "bindingKey"; label: binding.modelData.label }
                        IconButton {
                            objectName: "edit_" + binding.modelData.action
                            symbol: "pencil"
                            tip: "Change the " + binding.modelData.title + " shortcut"
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
        text: "Reset to Defaults"
        font.pixelSize: Theme.textBody
        onClicked: root.keybindings.resetToDefaults()
    }
}
