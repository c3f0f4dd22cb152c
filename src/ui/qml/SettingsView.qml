import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Orvanta

// The settings window: the sidebar of sections and the selected section's page.
Window {
    id: window
    required property var appState
    required property var settings
    required property var vocabulary
    required property var auth
    required property var micTester
    required property var general
    required property var keybindings
    required property var replacements
    required property var history
    required property var accountActions
    property string section: "general"

    readonly property var sections: [
        { key: "general", label: "Settings", symbol: "gearshape" },
        { key: "dictionary", label: "Dictionary", symbol: "character.book.closed" },
        { key: "replacements", label: "Replacements", symbol: "arrow.left.arrow.right" },
        { key: "instructions", label: "Instructions", symbol: "text.alignleft" },
        { key: "history", label: "History", symbol: "clock" },
        { key: "account", label: "Account", symbol: "person.circle" }
    ]

    title: "Orvanta Settings"
    minimumWidth: 760
    minimumHeight: 580
    width: 860
    height: 680
    color: Theme.ovPage

    // Up and Down move through the sidebar, selecting as they go.
    function moveSection(step) {
        const keys = sections.map(entry => entry.key)
        const next = Math.max(0, Math.min(keys.length - 1, keys.indexOf(section) + step))
        section = keys[next]
        sidebarItems.itemAt(next).forceActiveFocus(Qt.TabFocusReason)
    }

    // A hidden window keeps no section running (a microphone test stops with its page).
    onVisibleChanged: sectionLoader.active = visible

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Rectangle {
            objectName: "sidebar"
            Accessible.role: Accessible.PageTabList
            Accessible.name: "Sections"
            Layout.preferredWidth: 220
            Layout.fillHeight: true
            color: Theme.ovSidebar
            Rectangle {
                anchors.right: parent.right
                width: 1
                height: parent.height
                color: Theme.ovBorder
            }
            // One stop in the Tab order: it hands the focus to the selected section.
            FocusScope {
                anchors.fill: parent
                activeFocusOnTab: true
            ColumnLayout {
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 12
                anchors.topMargin: 38
                anchors.bottomMargin: 16
                spacing: 2

                RowLayout {
                    Layout.bottomMargin: 18
                    spacing: 10
                    OrbIcon { size: 26 }
                    ColumnLayout {
                        spacing: 0
                        Text { text: "Talvo"; font.pixelSize: Theme.textProductName; font.bold: true; color: Theme.ovText }
                        Text { text: "v0.1.1"; font.pixelSize: Theme.textTiny; color: Theme.ovSecondary }
                    }
                }
                Repeater {
                    id: sidebarItems
                    model: window.sections
                    SidebarItem {
                        required property var modelData
                        objectName: "sidebar_" + modelData.key
                        symbol: modelData.symbol
                        label: modelData.label
                        selected: window.section === modelData.key
                        focus: selected
                        onClicked: window.section = modelData.key
                        Keys.onUpPressed: window.moveSection(-1)
                        Keys.onDownPressed: window.moveSection(1)
                    }
                }
                Item { Layout.fillHeight: true }
            }
            }
        }

        Loader {
            id: sectionLoader
            objectName: "sectionLoader"
            Layout.fillWidth: true
            Layout.fillHeight: true
            sourceComponent: {
                switch (window.section) {
                case "dictionary": return dictionaryPage
                case "replacements": return replacementsPage
                case "instructions": return instructionsPage
                case "history": return historyPage
                case "account": return accountPage
                default: return generalPage
                }
            }
        }
    }

    Component {
        id: generalPage
        GeneralSettingsView {
            appState: window.appState
            settings: window.settings
            general: window.general
            micTester: window.micTester
            keybindings: window.keybindings
        }
    }
    Component {
        id: dictionaryPage
        DictionaryView { vocabulary: window.vocabulary }
    }
    Component {
        id: replacementsPage
        ReplacementsView { replacements: window.replacements }
    }
    Component {
        id: instructionsPage
        InstructionsView { vocabulary: window.vocabulary }
    }
    Component {
        id: historyPage
        HistoryView { history: window.history; appState: window.appState }
    }
    Component {
        id: accountPage
        AccountView { auth: window.auth; accountActions: window.accountActions }
    }
}
