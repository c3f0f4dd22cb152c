import QtQuick
import QtQuick.Layouts
import Orvanta

// The Instructions section: free text sent with each recording, stored as it is typed.
SectionScaffold {
    id: root
    required property var vocabulary

    title: "Custom Instructions"
    subtitle: "Write your style preferences. E.g. \"Always use lowercase in Slack\" or \"Break text into paragraphs\"."

    Card {
        Layout.fillWidth: true
        implicitHeight: Math.max(220, editor.implicitHeight + 20)
        TextArea {
            id: editor
            objectName: "instructionsEditor"
            anchors.fill: parent
            anchors.margins: 10
            text: root.vocabulary.instructions
            Accessible.name: "Custom instructions"
            onTextChanged: if (text !== root.vocabulary.instructions) root.vocabulary.instructions = text
        }
        Text {
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 10
            text: "Saved automatically"
            font.pixelSize: Theme.textSmall
            color: Theme.ovSecondary
        }
    }

    Row {
        spacing: 6
        SymbolIcon { name: "info.circle"; colour: Theme.ovSecondary; size: 11; anchors.verticalCenter: parent.verticalCenter }
        Text {
            text: "These instructions apply to all future transcripts."
            font.pixelSize: Theme.textBody
            color: Theme.ovSecondary
        }
    }
}
