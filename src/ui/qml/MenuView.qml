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

    readonly property int status: appState.statusKind
    readonly property bool signedIn: auth !== null && auth.isSignedIn
    readonly property var pill: ViewRules.statusPill(status)
    readonly property var button: ViewRules.primaryButton(status)
    // The footer's keys, which work while the menu has the focus (MenuPanel binds them).
    property string settingsKeys
    property string quitKeys
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
            Text { text: "Talvo"; font.pixelSize: Theme.textProductName; font.weight: Font.DemiBold; color: Theme.ovText }
            Item { Layout.fillWidth: true }
            Row {
                objectName: "statusPill"
                spacing: 5
                Accessible.role: Accessible.StaticText
                Accessible.name: "Status: " + root.pill.label
                Dot {
                    size: 7
                    colour: Theme.statusColour(root.pill.colour)
                    anchors.verticalCenter: parent.verticalCenter
                }
                Text {
                    text: root.pill.label
                    font.pixelSize: Theme.textSmall
                    font.weight: Font.Medium
                    color: Theme.ovSecondary
                    Accessible.ignored: true
                }
            }
        }
        Divider {}

        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: 14
            spacing: 0

            Rectangle {
                objectName: "card"
                Layout.fillWidth: true
                implicitHeight: cardContent.implicitHeight + 20
                radius: Theme.radiusMenuCard
                color: root.card === "inputAccessWarning" ? Theme.withAlpha(Theme.orange, 0.10)
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
                visible: root.signedIn && root.status === DictationStatus.Error
                text: root.appState.errorMessage
                wrapMode: Text.Wrap
                font.pixelSize: Theme.textSmall
                color: Theme.redText
            }

            Button {
                id: primaryButton
                objectName: "primaryButton"
                Layout.topMargin: 12
                Layout.fillWidth: true
                highlighted: true
                radius: Theme.radiusPrimary
                topPadding: 9
                bottomPadding: 9
                font.weight: Font.DemiBold
                text: root.signedIn ? root.button.title : "Sign In"
                symbol: root.signedIn ? root.button.symbol : "person.crop.circle.badge.checkmark"
                enabled: root.signedIn ? root.button.enabled : true
                onClicked: {
                    if (root.signedIn)
                        root.appState.toggleDictation()
                    else
                        root.actions.signIn()
                }
            }
        }

        Divider {}

        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: 6
            spacing: 0
            HoverRow {
                objectName: "settingsRow"
                symbol: "gearshape"; text: "Settings\u2026"; shortcut: root.settingsKeys
                onClicked: root.actions.openSettings()
            }
            HoverRow {
                objectName: "updatesRow"
                symbol: "arrow.down.circle"; text: "Check for Updates\u2026"
                enabled: root.updater !== null && root.updater.canCheckForUpdates
                onClicked: root.actions.checkForUpdates()
            }
            HoverRow {
                objectName: "quitRow"
                symbol: "power"; text: "Quit Talvo"; shortcut: root.quitKeys
                onClicked: root.actions.quit()
            }
        }
    }

    Component {
        id: signInCard
        Text {
            text: "Sign in to use dictation."
            font.pixelSize: Theme.textBody
            color: Theme.ovSecondary
            elide: Text.ElideRight
        }
    }
    Component {
        id: warningCard
        RowLayout {
            spacing: 8
            SymbolIcon { name: "exclamationmark.triangle.fill"; colour: Theme.orange; size: 14 }
            Text {
                Layout.fillWidth: true
                text: typeof keySources !== "undefined" && keySources.menuHint(true) !== "" ? keySources.menuHint(true)
                    : "Accessibility permission required \u2014 for the shortcuts and pasting."
                font.pixelSize: Theme.textBody
                color: Theme.ovText
                wrapMode: Text.Wrap
            }
            Button {
                objectName: "openHelp"
                text: "Open"
                small: true
                Accessible.name: "Open the input access help"
                onClicked: root.actions.openInputAccessHelp()
            }
        }
    }
    Component {
        id: hintCard
        Flow {
            spacing: 4
            Text { text: "Press"; font.pixelSize: Theme.textBody; color: Theme.ovSecondary }
            KeyCap { label: root.appState.activateKeyLabel }
            Text { text: root.appState.activateIsDoublePress ? "twice to start dictating." : "to start dictating."; font.pixelSize: Theme.textBody; color: Theme.ovSecondary }
        }
    }
    Component {
        id: unavailableCard
        ColumnLayout {
            spacing: 8
            Text {
                Layout.fillWidth: true
                text: "Fn isn't available on this desktop \u2014 choose an Activate shortcut in Settings."
                font.pixelSize: Theme.textBody
                color: Theme.ovSecondary
                wrapMode: Text.Wrap
            }
            Button {
                text: "Open Settings"
                small: true
                onClicked: root.actions.openSettings()
            }
        }
    }
}
