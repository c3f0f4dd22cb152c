import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvanta

// The General section: greeting, counter, hint, permissions, the main preferences and the
// keyboard shortcuts.
SectionScaffold {
    id: root
    required property var appState
    required property var settings
    required property var general
    required property var micTester
    required property var keybindings

    readonly property string fnUnavailableText:
        "Fn isn't available on this desktop \u2014 choose an Activate shortcut in Settings."

    title: general.greeting
    spacing: 20

    Component.onCompleted: general.pageShown()
    Component.onDestruction: micTester.stop()

    Rectangle {
        objectName: "wordsCounter"
        implicitWidth: counterRow.implicitWidth + 20
        implicitHeight: counterRow.implicitHeight + 8
        radius: height / 2
        color: Theme.withAlpha(Theme.ovSecondary, 0.12)
        Row {
            id: counterRow
            anchors.centerIn: parent
            spacing: 6
            SymbolIcon { name: "text.quote"; colour: Theme.ovSecondary; size: 11; anchors.verticalCenter: parent.verticalCenter }
            Text {
                objectName: "wordsText"
                text: root.general.wordsText
                font.pixelSize: 11
                color: Theme.ovSecondary
            }
        }
    }

    Rectangle {
        objectName: "hintCard"
        Layout.fillWidth: true
        implicitHeight: hintRow.implicitHeight + 28
        radius: 12
        color: Theme.accent
        RowLayout {
            id: hintRow
            anchors.fill: parent
            anchors.margins: 14
            spacing: 6
            visible: root.appState.activateBindingCanFire
            Text { text: "Press"; color: Qt.rgba(1, 1, 1, 0.9); font.pixelSize: 13; font.weight: Font.Medium }
            KeyCap { label: "Fn"; dark: true }
            Text { text: "twice to start, once to stop."; color: Qt.rgba(1, 1, 1, 0.9); font.pixelSize: 13; font.weight: Font.Medium }
            Item { Layout.fillWidth: true }
        }
        Text {
            objectName: "hintUnavailable"
            anchors.fill: parent
            anchors.margins: 14
            visible: !root.appState.activateBindingCanFire
            text: root.fnUnavailableText
            color: Qt.rgba(1, 1, 1, 0.9)
            font.pixelSize: 13
            font.weight: Font.Medium
            wrapMode: Text.WordWrap
            verticalAlignment: Text.AlignVCenter
        }
    }

    Card {
        Layout.fillWidth: true
        implicitHeight: permissionColumn.implicitHeight
        ColumnLayout {
            id: permissionColumn
            width: parent.width
            spacing: 0
            Repeater {
                model: [
                    { key: "microphone", title: "Microphone", subtitle: "Required to record audio for dictation." },
                    { key: "accessibility", title: "Accessibility", subtitle: typeof keySources !== "undefined" ? keySources.inputAccessText : "Required for the double-Fn shortcut and pasting text at your cursor." }
                ]
                ColumnLayout {
                    id: permission
                    required property var modelData
                    required property int index
                    readonly property bool granted: modelData.key === "microphone"
                        ? root.appState.microphoneGranted : root.appState.accessibilityGranted
                    Layout.fillWidth: true
                    spacing: 0
                    Rectangle { Layout.fillWidth: true; height: 1; color: Theme.ovBorder; visible: permission.index > 0 }
                    SettingsRow {
                        objectName: "permission_" + permission.modelData.key
                        symbol: permission.granted ? "checkmark.seal.fill" : "exclamationmark.triangle.fill"
                        symbolColour: permission.granted ? "#34c759" : "#ff9500"
                        title: permission.modelData.title
                        subtitle: permission.modelData.subtitle
                        Text {
                            visible: permission.granted
                            text: "Granted"
                            font.pixelSize: 11
                            color: "#34c759"
                        }
                        Button {
                            objectName: "grant_" + permission.modelData.key
                            visible: !permission.granted
                            text: "Grant\u2026"
                            font.pixelSize: 11
                            implicitHeight: 24
                            onClicked: permission.modelData.key === "microphone"
                                       ? root.general.grantMicrophone() : root.general.grantInputAccess()
                        }
                    }
                }
            }
        }
    }

    Text {
        text: "SETTINGS"
        font.pixelSize: 11
        font.weight: Font.DemiBold
        font.letterSpacing: 0.5
        color: Theme.ovTertiary
    }

    Card {
        Layout.fillWidth: true
        implicitHeight: settingsColumn.implicitHeight
        ColumnLayout {
            id: settingsColumn
            width: parent.width
            spacing: 0

            SettingsRow {
                symbol: "mic"
                title: "Microphone"
                subtitle: root.micTester.isTesting ? "Listening\u2026 speak and watch the level."
                                                   : "Audio input device."
                LevelMeter {
                    visible: root.micTester.isTesting
                    level: root.micTester.level
                    Layout.preferredWidth: 60
                }
                SettingsPicker {
                    objectName: "microphonePicker"
                    Layout.preferredWidth: 180
                    entries: root.general.microphoneEntries
                    selectedIndex: root.general.microphoneIndex
                    onChosen: (index) => root.general.selectMicrophone(index)
                }
                Button {
                    objectName: "testButton"
                    text: root.micTester.isTesting ? "Stop" : "Test"
                    font.pixelSize: 11
                    implicitHeight: 24
                    onClicked: {
                        const device = root.settings.micUID
                        if (root.micTester.isTesting)
                            root.micTester.stop()
                        else
                            root.micTester.start(device)
                    }
                }
            }
            Rectangle { Layout.fillWidth: true; height: 1; color: Theme.ovBorder }
            SettingsRow {
                symbol: "cpu"
                title: "Transcription Model"
                subtitle: "An OpenRouter model that supports audio input."
                SettingsPicker {
                    objectName: "modelPicker"
                    Layout.preferredWidth: 240
                    entries: root.general.modelEntries
                    selectedIndex: root.general.modelIndex
                    onChosen: (index) => root.general.selectModel(index)
                }
            }
            Rectangle { Layout.fillWidth: true; height: 1; color: Theme.ovBorder }
            SettingsRow {
                symbol: "globe"
                title: "Language"
                subtitle: "Spoken language. Auto-Detect recommended."
                SettingsPicker {
                    objectName: "languagePicker"
                    Layout.preferredWidth: 160
                    entries: root.general.languageEntries
                    selectedIndex: root.general.languageIndex
                    onChosen: (index) => root.general.selectLanguage(index)
                }
            }
            Rectangle { Layout.fillWidth: true; height: 1; color: Theme.ovBorder }
            SettingsRow {
                symbol: "wand.and.stars"
                title: "Output Style"
                subtitle: "How your speech is turned into text."
                SettingsPicker {
                    objectName: "modePicker"
                    Layout.preferredWidth: 160
                    entries: root.general.modeEntries
                    selectedIndex: root.general.modeIndex
                    onChosen: (index) => root.general.selectMode(index)
                }
            }
            Repeater {
                model: [
                    { key: "showFloatingBar", symbol: "menubar.rectangle", title: "Show Floating Bar",
                      subtitle: "Always-visible bar at the bottom of your screen; click it to dictate." },
                    { key: "muteBackgroundAudio", symbol: "speaker.slash", title: "Mute Background Audio",
                      subtitle: "Mutes system audio while dictating so music/calls don't leak into the mic." },
                    { key: "openAtLogin", symbol: "power", title: "Open at Login",
                      subtitle: "Start Talvo automatically when you log in." },
                    { key: "privacyMode", symbol: "hand.raised", title: "Privacy Mode",
                      subtitle: "When on, transcripts aren't saved to history." }
                ]
                ColumnLayout {
                    id: toggle
                    required property var modelData
                    Layout.fillWidth: true
                    spacing: 0
                    Rectangle { Layout.fillWidth: true; height: 1; color: Theme.ovBorder }
                    SettingsRow {
                        symbol: toggle.modelData.symbol
                        title: toggle.modelData.title
                        subtitle: toggle.modelData.subtitle
                        Switch {
                            objectName: "switch_" + toggle.modelData.key
                            palette.dark: Theme.accent
                            checked: root.settings[toggle.modelData.key]
                            onToggled: {
                                root.settings[toggle.modelData.key] = checked
                                checked = Qt.binding(() => root.settings[toggle.modelData.key])
                            }
                        }
                    }
                }
            }
        }
    }

    KeybindingsView {
        Layout.fillWidth: true
        keybindings: root.keybindings
        activateBindingCanFire: root.appState.activateBindingCanFire
        fnUnavailableText: root.fnUnavailableText
    }
}
