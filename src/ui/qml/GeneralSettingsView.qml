import QtQuick
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
    // The General page is as wide as the window; the other sections keep a reading width.
    maxContentWidth: Number.POSITIVE_INFINITY

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
                font.pixelSize: Theme.textSmall
                color: Theme.ovSecondary
            }
        }
    }

    Rectangle {
        objectName: "hintCard"
        Layout.fillWidth: true
        implicitHeight: hintRow.implicitHeight + 28
        radius: Theme.radiusCard
        color: Theme.accent
        RowLayout {
            id: hintRow
            anchors.fill: parent
            anchors.margins: 14
            spacing: 6
            visible: root.appState.activateBindingCanFire
            Text { text: "Press"; color: Theme.withAlpha(Theme.accentText, 0.9); font.pixelSize: Theme.textControl; font.weight: Font.Medium }
            KeyCap { objectName: "activateHintKey"; label: root.appState.activateKeyLabel; dark: true }
            Text { text: root.appState.activateIsDoublePress ? "twice to start, once to stop." : "to start, once more to stop."; color: Theme.withAlpha(Theme.accentText, 0.9); font.pixelSize: Theme.textControl; font.weight: Font.Medium }
            Item { Layout.fillWidth: true }
        }
        Text {
            objectName: "hintUnavailable"
            anchors.fill: parent
            anchors.margins: 14
            visible: !root.appState.activateBindingCanFire
            text: root.fnUnavailableText
            color: Theme.withAlpha(Theme.accentText, 0.9)
            font.pixelSize: Theme.textControl
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
                    { key: "accessibility", title: "Accessibility", subtitle: typeof keySources !== "undefined" ? keySources.inputAccessText : "Required for the keyboard shortcuts and pasting text at your cursor." }
                ]
                ColumnLayout {
                    id: permission
                    required property var modelData
                    required property int index
                    readonly property bool granted: modelData.key === "microphone"
                        ? root.appState.microphoneGranted : root.appState.accessibilityGranted
                    Layout.fillWidth: true
                    spacing: 0
                    Divider { visible: permission.index > 0 }
                    SettingsRow {
                        objectName: "permission_" + permission.modelData.key
                        symbol: permission.granted ? "checkmark.seal.fill" : "exclamationmark.triangle.fill"
                        symbolColour: permission.granted ? Theme.green : Theme.orange
                        title: permission.modelData.title
                        subtitle: permission.modelData.subtitle
                        Text {
                            visible: permission.granted
                            text: "Granted"
                            font.pixelSize: Theme.textSmall
                            color: Theme.greenText
                        }
                        Button {
                            objectName: "grant_" + permission.modelData.key
                            visible: !permission.granted
                            text: "Grant\u2026"
                            small: true
                            Accessible.name: "Grant " + permission.modelData.title
                            onClicked: permission.modelData.key === "microphone"
                                       ? root.general.grantMicrophone() : root.general.grantInputAccess()
                        }
                    }
                }
            }
        }
    }

    SectionHeading {
        text: "SETTINGS"
        tertiary: true
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
                subtitleOnOneLine: true
                subtitle: root.micTester.isTesting ? "Listening\u2026 speak and watch the level."
                                                   : "Audio input device."
                LevelMeter {
                    visible: root.micTester.isTesting
                    level: root.micTester.level
                    Layout.preferredWidth: 60
                }
                SettingsPicker {
                    objectName: "microphonePicker"
                    Accessible.name: "Microphone"
                    Layout.preferredWidth: 180
                    Layout.minimumWidth: 110
                    entries: root.general.microphoneEntries
                    selectedIndex: root.general.microphoneIndex
                    onChosen: (index) => root.general.selectMicrophone(index)
                }
                Button {
                    objectName: "testButton"
                    text: root.micTester.isTesting ? "Stop" : "Test"
                    small: true
                    // As wide for "Stop" as for "Test", so the row keeps its layout.
                    Layout.preferredWidth: 52
                    Accessible.name: root.micTester.isTesting ? "Stop microphone test" : "Test microphone"
                    onClicked: {
                        const device = root.settings.micUID
                        if (root.micTester.isTesting)
                            root.micTester.stop()
                        else
                            root.micTester.start(device)
                    }
                }
            }
            Divider {}
            SettingsRow {
                symbol: "cpu"
                title: "Transcription Model"
                subtitle: "An OpenRouter model that supports audio input."
                SettingsPicker {
                    objectName: "modelPicker"
                    Accessible.name: "Transcription Model"
                    Layout.preferredWidth: 240
                    entries: root.general.modelEntries
                    selectedIndex: root.general.modelIndex
                    onChosen: (index) => root.general.selectModel(index)
                }
            }
            Divider {}
            SettingsRow {
                symbol: "globe"
                title: "Language"
                subtitle: "Spoken language. Auto-Detect recommended."
                SettingsPicker {
                    objectName: "languagePicker"
                    Accessible.name: "Language"
                    Layout.preferredWidth: 160
                    entries: root.general.languageEntries
                    selectedIndex: root.general.languageIndex
                    onChosen: (index) => root.general.selectLanguage(index)
                }
            }
            Divider {}
            SettingsRow {
                symbol: "wand.and.stars"
                title: "Output Style"
                subtitle: "How your speech is turned into text."
                SettingsPicker {
                    objectName: "modePicker"
                    Accessible.name: "Output Style"
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
                    Divider {}
                    SettingsRow {
                        symbol: toggle.modelData.symbol
                        title: toggle.modelData.title
                        subtitle: toggle.modelData.subtitle
                        Switch {
                            objectName: "switch_" + toggle.modelData.key
                            Accessible.name: toggle.modelData.title
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
