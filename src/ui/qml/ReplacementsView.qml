import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvanta

// The Replacements section: phrases said one way and typed another.
SectionScaffold {
    id: root
    required property var replacements

    title: "Replacements"
    subtitle: "Auto-replace phrases in your transcripts"
    trailing: Button {
        objectName: "addReplacement"
        text: "Add Replacement"
        icon.source: "image://symbol/plus?color=white"
        icon.width: 12
        icon.height: 12
        icon.color: "white"
        palette.button: Theme.accent
        palette.buttonText: "white"
        font.pixelSize: 12
        onClicked: root.replacements.add()
    }

    Card {
        objectName: "replacementsEmpty"
        visible: root.replacements.count === 0
        Layout.fillWidth: true
        implicitHeight: emptyColumn.implicitHeight + 88
        ColumnLayout {
            id: emptyColumn
            anchors.centerIn: parent
            spacing: 10
            Rectangle {
                Layout.alignment: Qt.AlignHCenter
                width: 52; height: 52; radius: 26
                color: Qt.rgba(0, 0, 0, 0.04)
                SymbolIcon { anchors.centerIn: parent; name: "arrow.left.arrow.right"; colour: Theme.ovSecondary; size: 24 }
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: "Stop repeating yourself."
                font.pixelSize: 15
                font.weight: Font.DemiBold
                color: Theme.ovText
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                horizontalAlignment: Text.AlignHCenter
                text: "Say a shortcut phrase and Talvo instantly swaps in your text.\nE.g. \"calendar link\" \u2192 https://\u2026"
                font.pixelSize: 12
                color: Theme.ovSecondary
            }
        }
    }

    Text {
        visible: root.replacements.count > 0
        text: "YOUR ACTIVE RULES"
        font.pixelSize: 11
        font.letterSpacing: 0.5
        color: Theme.ovSecondary
    }

    Card {
        objectName: "ruleList"
        visible: root.replacements.count > 0
        Layout.fillWidth: true
        implicitHeight: ruleColumn.implicitHeight
        ColumnLayout {
            id: ruleColumn
            width: parent.width
            spacing: 0
            Repeater {
                model: root.replacements
                ColumnLayout {
                    id: rule
                    required property string ruleId
                    required property string from
                    required property string to
                    required property bool caseSensitive
                    required property int index
                    Layout.fillWidth: true
                    spacing: 0
                    RowLayout {
                        objectName: "ruleRow"
                        Layout.fillWidth: true
                        Layout.leftMargin: 14
                        Layout.rightMargin: 14
                        Layout.topMargin: 10
                        Layout.bottomMargin: 10
                        spacing: 8
                        TextField {
                            objectName: "fromField"
                            Layout.fillWidth: true
                            placeholderText: "Find (spoken)"
                            text: rule.from
                            font.pixelSize: 13
                            onTextEdited: root.replacements.setFrom(rule.ruleId, text)
                        }
                        SymbolIcon { name: "arrow.right"; colour: Theme.ovSecondary; size: 13 }
                        TextField {
                            objectName: "toField"
                            Layout.fillWidth: true
                            placeholderText: "Replace with (typed)"
                            text: rule.to
                            font.pixelSize: 13
                            onTextEdited: root.replacements.setTo(rule.ruleId, text)
                        }
                        Button {
                            objectName: "caseToggle"
                            text: "Aa"
                            checkable: true
                            checked: rule.caseSensitive
                            implicitWidth: 34
                            font.pixelSize: 12
                            ToolTip.visible: hovered
                            ToolTip.text: "Case-sensitive"
                            onToggled: root.replacements.setCaseSensitive(rule.ruleId, checked)
                        }
                        ToolButton {
                            objectName: "removeRule"
                            implicitWidth: 22
                            implicitHeight: 22
                            contentItem: Item {
                                SymbolIcon { anchors.centerIn: parent; name: "trash"; colour: Theme.ovSecondary; size: 12 }
                            }
                            onClicked: root.replacements.remove(rule.ruleId)
                        }
                    }
                    Rectangle {
                        Layout.fillWidth: true
                        height: 1
                        color: Theme.ovBorder
                        visible: rule.index < root.replacements.count - 1
                    }
                }
            }
        }
    }
}
