import QtQuick
import QtQuick.Layouts
import Orvanta

// The Account section: sign in, or the signed-in account with its plan and word usage.
SectionScaffold {
    id: root
    required property var auth
    required property var accountActions

    readonly property bool pro: ViewRules.isPro(auth.plan)
    readonly property real fraction: ViewRules.usageFraction(auth.wordsUsed, auth.wordLimit)

    title: "Account"
    subtitle: "Manage your account. Sign in to use dictation."

    Component.onCompleted: accountActions.sectionShown()

    Card {
        objectName: "signedOutCard"
        visible: !root.auth.isSignedIn
        Layout.fillWidth: true
        implicitHeight: signInColumn.implicitHeight + 112
        ColumnLayout {
            id: signInColumn
            anchors.centerIn: parent
            spacing: 16
            OrbIcon { size: 64; Layout.alignment: Qt.AlignHCenter }
            ColumnLayout {
                spacing: 4
                Text {
                    Layout.alignment: Qt.AlignHCenter
                    text: "Sign in to Talvo"
                    font.pixelSize: Theme.textHeading
                    font.weight: Font.DemiBold
                    color: Theme.ovText
                }
                Text {
                    Layout.alignment: Qt.AlignHCenter
                    horizontalAlignment: Text.AlignHCenter
                    text: "Sign in with your Google account to use dictation."
                    font.pixelSize: Theme.textBody
                    color: Theme.ovSecondary
                }
            }
            Button {
                objectName: "signInButton"
                Layout.alignment: Qt.AlignHCenter
                text: "Sign In"
                symbol: "arrow.right.circle.fill"
                highlighted: true
                leftPadding: 20
                rightPadding: 20
                topPadding: 8
                bottomPadding: 8
                onClicked: root.auth.openSignInPage()
            }
        }
    }

    Card {
        objectName: "accountCard"
        visible: root.auth.isSignedIn
        Layout.fillWidth: true
        implicitHeight: accountRow.implicitHeight + 32
        RowLayout {
            id: accountRow
            anchors.fill: parent
            anchors.margins: 16
            spacing: 14
            Rectangle {
                width: 48; height: 48; radius: 24
                color: Theme.avatarFill
                SymbolIcon { anchors.centerIn: parent; name: "person.fill"; colour: Theme.ovSecondary; size: 20 }
            }
            ColumnLayout {
                spacing: 2
                Text {
                    objectName: "accountEmail"
                    text: root.auth.email !== "" ? root.auth.email : "Signed in"
                    font.pixelSize: Theme.textEmptyTitle
                    font.weight: Font.DemiBold
                    color: Theme.ovText
                }
                Text { text: "Signed in"; font.pixelSize: Theme.textBody; color: Theme.ovSecondary }
            }
            Item { Layout.fillWidth: true }
            Button {
                objectName: "signOutButton"
                text: "Sign out"
                symbol: "rectangle.portrait.and.arrow.right"
                font.pixelSize: Theme.textBody
                onClicked: root.auth.signOut()
            }
        }
    }

    Card {
        objectName: "planCard"
        visible: root.auth.isSignedIn
        Layout.fillWidth: true
        implicitHeight: planColumn.implicitHeight + 32
        ColumnLayout {
            id: planColumn
            anchors.fill: parent
            anchors.margins: 16
            spacing: 12
            RowLayout {
                Layout.fillWidth: true
                Rectangle {
                    implicitWidth: badge.implicitWidth + 16
                    implicitHeight: badge.implicitHeight + 6
                    radius: height / 2
                    color: root.pro ? Theme.accent : Theme.withAlpha(Theme.primary, 0.12)
                    Text {
                        id: badge
                        objectName: "planBadge"
                        anchors.centerIn: parent
                        text: root.pro ? "Pro" : "Free"
                        font.pixelSize: Theme.textBody
                        font.bold: true
                        color: root.pro ? "white" : Theme.ovText
                    }
                }
                Item { Layout.fillWidth: true }
                Button {
                    objectName: "planButton"
                    text: root.pro ? "Manage" : "Upgrade to Pro"
                    small: true
                    highlighted: !root.pro
                    onClicked: root.accountActions.openManagePage()
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 6
                RowLayout {
                    Layout.fillWidth: true
                    Text { text: "Used this month"; font.pixelSize: Theme.textBody; color: Theme.ovSecondary }
                    Item { Layout.fillWidth: true }
                    Text {
                        objectName: "usageText"
                        text: ViewRules.usageText(root.pro, root.auth.wordsUsed, root.auth.wordLimit)
                        font.pixelSize: Theme.textBody
                        font.weight: Font.Medium
                        color: Theme.ovText
                    }
                }
                Item {
                    objectName: "usageBar"
                    visible: !root.pro
                    Layout.fillWidth: true
                    implicitHeight: 8
                    Rectangle {
                        anchors.fill: parent
                        radius: 4
                        color: Theme.withAlpha(Theme.primary, 0.10)
                    }
                    Rectangle {
                        objectName: "usageFill"
                        width: parent.width * root.fraction
                        height: parent.height
                        radius: 4
                        color: ViewRules.usageFull(root.fraction) ? Theme.red : Theme.accent
                    }
                }
            }
        }
    }
}
