import QtQuick
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
        symbol: "plus"
        highlighted: true
        font.pixelSize: Theme.textBody
        onClicked: root.replacements.add()
    }

    EmptyStateCard {
        objectName: "replacementsEmpty"
        visible: root.replacements.count === 0
        verticalSpace: 44
        symbol: "arrow.left.arrow.right"
        title: "Stop repeating yourself."
        message: "Say a shortcut phrase and Talvo instantly swaps in your text.\nE.g. \"calendar link\" \u2192 https://\u2026"
    }

    SectionHeading {
        visible: root.replacements.count > 0
        text: "YOUR ACTIVE RULES"
        font.weight: Font.Normal
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
                            onTextEdited: root.replacements.setFrom(rule.ruleId, text)
                        }
                        SymbolIcon { name: "arrow.right"; colour: Theme.ovSecondary; size: 13 }
                        TextField {
                            objectName: "toField"
                            Layout.fillWidth: true
                            placeholderText: "Replace with (typed)"
                            text: rule.to
                            onTextEdited: root.replacements.setTo(rule.ruleId, text)
                        }
                        Button {
                            objectName: "caseToggle"
                            text: "Aa"
                            checkable: true
                            checked: rule.caseSensitive
                            small: true
                            Layout.preferredWidth: 34
                            Accessible.name: "Case-sensitive"
                            ToolTip { visible: parent.hovered; text: "Case-sensitive" }
                            onToggled: root.replacements.setCaseSensitive(rule.ruleId, checked)
                        }
                        IconButton {
                            objectName: "removeRule"
                            symbol: "trash"
                            tip: "Delete rule"
                            onClicked: root.replacements.remove(rule.ruleId)
                        }
                    }
                    Divider { visible: rule.index < root.replacements.count - 1 }
                }
            }
        }
    }
}
