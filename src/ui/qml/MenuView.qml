import QtQuick
import QtQuick.Layouts
import Orvanta

// The panel under the tray icon: status, what is missing, start/stop, and the footer rows.
Rectangle {
    id: root
    required property var appState
    property var auth: null
    property var updater: null
    required property var actions
    property bool activateBindingCanFire: true

    readonly property string statusName: appState.statusName
    readonly property bool signedIn: auth !== null && auth.isSignedIn
    readonly property var pill: ViewRules.statusPill(statusName)
    readonly property var button: ViewRules.primaryButton(statusName)
    readonly property string card: ViewRules.contentCard(signedIn, appState.accessibilityGranted,
                                                         activateBindingCanFire)

    width: 320
    implicitHeight: column.implicitHeight
    height: implicitHeight
    color: Theme.ovPage

    ColumnLayout {
        id: column
        width: parent.width
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 14
            Layout.bottomMargin: 10
            spacing: 8
            OrbIcon { size: 20 }
            Text { text: "Talvo"; font.pixelSize: 14; font.weight: Font.DemiBold; color: Theme.ovText }
            Item { Layout.fillWidth: true }
            Row {
                objectName: "statusPill"
                spacing: 5
                Rectangle {
                    width: 7; height: 7; radius: 3.5
                    color: Theme.statusColour(root.pill.colour)
                    anchors.verticalCenter: parent.verticalCenter
                }
                Text {
                    text: root.pill.label
                    font.pixelSize: 11
                    font.weight: Font.Medium
                    color: Theme.ovSecondary
                }
            }
        }
        Rectangle { Layout.fillWidth: true; height: 1; color: Theme.ovBorder }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: 14
            spacing: 0

            Rectangle {
                objectName: "card"
                Layout.fillWidth: true
                implicitHeight: cardContent.implicitHeight + 20
                radius: 8
                color: root.card === "inputAccessWarning" ? Qt.rgba(1, 0.584, 0, 0.10)
                                                          : Theme.withAlpha(Theme.primary, 0.05)
                Loader {
                    id: cardContent
                    x: 10; y: 10
                    width: parent.width - 20
                    sourceComponent: {
                        switch (root.card) {
                        case "signIn": return signInCard
                        case "inputAccessWarning": return warningCard
                        case "hint": return hintCard
                        default: return unavailableCard
                        }
                    }
                }
            }

            Text {
                objectName: "errorText"
                Layout.fillWidth: true
                Layout.topMargin: 8
                visible: root.signedIn && root.statusName === "error"
                text: root.appState.errorMessage
                wrapMode: Text.Wrap
                font.pixelSize: 11
                color: "#ff3b30"
            }

            PrimaryButton {
                objectName: "primaryButton"
                Layout.topMargin: 12
                title: root.signedIn ? root.button.title : "Sign In"
                symbol: root.signedIn ? root.button.symbol : "person.crop.circle.badge.checkmark"
                enabled: root.signedIn ? root.button.enabled : true
                onClicked: {
                    if (!root.signedIn) {
                        root.actions.signIn()
                        return
                    }
                    const action = ViewRules.primaryAction(root.appState.statusName)
                    if (action === "stop")
                        root.appState.stopAndTranscribe()
                    else if (action === "start")
                        root.appState.startDictation()
                }
            }
        }

        Rectangle { Layout.fillWidth: true; height: 1; color: Theme.ovBorder }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: 6
            spacing: 0
            HoverRow {
                symbol: "gearshape"; title: "Settings\u2026"; shortcut: "\u2318,"
                onClicked: root.actions.openSettings()
            }
            HoverRow {
                objectName: "updatesRow"
                symbol: "arrow.down.circle"; title: "Check for Updates\u2026"
                enabled: root.updater !== null && root.updater.canCheckForUpdates
                onClicked: root.actions.checkForUpdates()
            }
            HoverRow {
                symbol: "power"; title: "Quit Talvo"; shortcut: "\u2318Q"
                onClicked: root.actions.quit()
            }
        }
    }

    Component {
        id: signInCard
        Text {
            text: "Sign in to use dictation."
            font.pixelSize: 12
            color: Theme.ovSecondary
            wrapMode: Text.Wrap
        }
    }
    Component {
        id: warningCard
        RowLayout {
            spacing: 8
            SymbolIcon { name: "exclamationmark.triangle.fill"; colour: "#ff9500"; size: 14 }
            Text {
                Layout.fillWidth: true
                text: typeof keySources !== "undefined" && keySources.menuHint(true) !== "" ? keySources.menuHint(true)
                    : "Accessibility permission required \u2014 for double-Fn and pasting."
                font.pixelSize: 12
                color: Theme.ovText
                wrapMode: Text.Wrap
            }
            Rectangle {
                implicitWidth: openText.implicitWidth + 14
                implicitHeight: openText.implicitHeight + 6
                radius: 5
                color: openArea.pressed ? "#d8d8d8" : "white"
                border.width: 1
                border.color: Theme.ovBorder
                Text { id: openText; anchors.centerIn: parent; text: "Open"; font.pixelSize: 11; color: Theme.ovText }
                MouseArea { id: openArea; anchors.fill: parent; onClicked: root.actions.openInputAccessHelp() }
            }
        }
    }
    Component {
        id: hintCard
        Flow {
            spacing: 4
            Text { text: "Press"; font.pixelSize: 12; color: Theme.ovSecondary }
            KeyCap { label: "Fn" }
            Text { text: "twice to start dictating."; font.pixelSize: 12; color: Theme.ovSecondary }
        }
    }
    Component {
        id: unavailableCard
        ColumnLayout {
            spacing: 8
            Text {
                Layout.fillWidth: true
                text: "Fn isn't available on this desktop \u2014 choose an Activate shortcut in Settings."
                font.pixelSize: 12
                color: Theme.ovSecondary
                wrapMode: Text.Wrap
            }
            Rectangle {
                implicitWidth: chooseText.implicitWidth + 14
                implicitHeight: chooseText.implicitHeight + 6
                radius: 5
                color: chooseArea.pressed ? "#d8d8d8" : "white"
                border.width: 1
                border.color: Theme.ovBorder
                Text { id: chooseText; anchors.centerIn: parent; text: "Open Settings"; font.pixelSize: 11; color: Theme.ovText }
                MouseArea { id: chooseArea; anchors.fill: parent; onClicked: root.actions.openSettings() }
            }
        }
    }
}
