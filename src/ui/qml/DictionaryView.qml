import QtQuick
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
        font.pixelSize: Theme.textBody
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
            onAccepted: root.addTerm()
        }
        Button {
            objectName: "addTermButton"
            text: "Add"
            enabled: ViewRules.canAddTerm(termField.text)
            onClicked: root.addTerm()
        }
    }

    EmptyStateCard {
        objectName: "dictionaryEmpty"
        visible: root.vocabulary.terms.length === 0
        symbol: "character.book.closed"
        symbolSize: 26
        title: "No custom words added yet"
        message: "Add special terms, acronyms or names so the AI\nspells them correctly."
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
                        Layout.topMargin: 8
                        Layout.bottomMargin: 8
                        spacing: 8
                        Item {
                            Layout.preferredWidth: Theme.symbolColumn
                            Layout.preferredHeight: 16
                            SymbolIcon { anchors.centerIn: parent; name: "textformat.abc"; colour: Theme.ovSecondary; size: 13 }
                        }
                        Text {
                            Layout.fillWidth: true
                            text: term.modelData
                            font.pixelSize: Theme.textControl
                            color: Theme.ovText
                            elide: Text.ElideRight
                        }
                        IconButton {
                            objectName: "removeTerm"
                            symbol: "trash"
                            tip: "Remove \u201c" + term.modelData + "\u201d"
                            onClicked: root.vocabulary.removeTerm(term.index)
                        }
                    }
                    Divider { visible: term.index < root.vocabulary.terms.length - 1 }
                }
            }
        }
    }
}
