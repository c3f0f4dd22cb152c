import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvanta

// The Dictionary section: the custom terms sent along with each recording.
SectionScaffold {
    id: root
    required property var vocabulary

    title: "Dictionary"
    subtitle: "Boost AI accuracy with custom words"
    trailing: Text {
        objectName: "termCounter"
        text: ViewRules.dictionaryCounterText(root.vocabulary.terms.length)
        font.pixelSize: 12
        color: Theme.ovSecondary
    }

    function addTerm() {
        const appended = root.vocabulary.addTerm(termField.text)
        termField.text = ""
        if (ViewRules.refocusAfterAdd(appended))
            termField.forceActiveFocus()
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: 8
        TextField {
            id: termField
            objectName: "termField"
            Layout.fillWidth: true
            placeholderText: "Add a term (e.g. OpenRouter, Acme)\u2026"
            font.pixelSize: 13
            onAccepted: root.addTerm()
        }
        Button {
            objectName: "addTermButton"
            text: "Add"
            enabled: ViewRules.canAddTerm(termField.text)
            onClicked: root.addTerm()
        }
    }

    Card {
        objectName: "dictionaryEmpty"
        visible: root.vocabulary.terms.length === 0
        Layout.fillWidth: true
        implicitHeight: emptyColumn.implicitHeight + 112
        ColumnLayout {
            id: emptyColumn
            anchors.centerIn: parent
            spacing: 10
            Rectangle {
                Layout.alignment: Qt.AlignHCenter
                width: 52; height: 52; radius: 26
                color: Qt.rgba(0, 0, 0, 0.04)
                SymbolIcon { anchors.centerIn: parent; name: "character.book.closed"; colour: Theme.ovSecondary; size: 26 }
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                text: "No custom words added yet"
                font.pixelSize: 15
                font.weight: Font.DemiBold
                color: Theme.ovText
            }
            Text {
                Layout.alignment: Qt.AlignHCenter
                horizontalAlignment: Text.AlignHCenter
                text: "Add special terms, acronyms or names so the AI\nspells them correctly."
                font.pixelSize: 12
                color: Theme.ovSecondary
            }
        }
    }

    Card {
        objectName: "termList"
        visible: root.vocabulary.terms.length > 0
        Layout.fillWidth: true
        implicitHeight: termColumn.implicitHeight
        ColumnLayout {
            id: termColumn
            width: parent.width
            spacing: 0
            Repeater {
                model: root.vocabulary.terms
                ColumnLayout {
                    id: term
                    required property string modelData
                    required property int index
                    Layout.fillWidth: true
                    spacing: 0
                    RowLayout {
                        objectName: "termRow"
                        Layout.fillWidth: true
                        Layout.leftMargin: 14
                        Layout.rightMargin: 14
                        Layout.topMargin: 10
                        Layout.bottomMargin: 10
                        spacing: 8
                        Item {
                            Layout.preferredWidth: 18
                            Layout.preferredHeight: 16
                            SymbolIcon { anchors.centerIn: parent; name: "textformat.abc"; colour: Theme.ovSecondary; size: 13 }
                        }
                        Text { text: term.modelData; font.pixelSize: 13; color: Theme.ovText }
                        Item { Layout.fillWidth: true }
                        ToolButton {
                            objectName: "removeTerm"
                            implicitWidth: 22
                            implicitHeight: 22
                            contentItem: Item {
                                SymbolIcon { anchors.centerIn: parent; name: "trash"; colour: Theme.ovSecondary; size: 12 }
                            }
                            onClicked: root.vocabulary.removeTerm(term.index)
                        }
                    }
                    Rectangle {
                        Layout.fillWidth: true
                        height: 1
                        color: Theme.ovBorder
                        visible: term.index < root.vocabulary.terms.length - 1
                    }
                }
            }
        }
    }
}
