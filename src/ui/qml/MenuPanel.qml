import QtQuick
import QtQuick.Window
import Orvanta

// The frameless panel that drops down from the tray icon and closes when it loses focus or on
// Esc. The footer's keys work while it has the focus.
Window {
    id: window
    required property var appState
    property var auth: null
    property var updater: null
    required property var actions
    property bool activateBindingCanFire: true

    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint
    width: view.width
    height: view.height
    color: Theme.ovPage
    title: "Talvo"

    onActiveChanged: if (!active) window.hide()

    Shortcut {
        id: settingsKeys
        sequence: "Ctrl+,"
        onActivated: window.actions.openSettings()
    }
    Shortcut {
        id: quitKeys
        sequence: "Ctrl+Q"
        onActivated: window.actions.quit()
    }
    Shortcut {
        sequence: "Esc"
        onActivated: window.hide()
    }

    MenuView {
        id: view
        focus: true
        appState: window.appState
        auth: window.auth
        updater: window.updater
        actions: window.actions
        activateBindingCanFire: window.activateBindingCanFire
        settingsKeys: settingsKeys.nativeText
        quitKeys: quitKeys.nativeText
    }
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.width: 1
        border.color: Theme.panelEdge
    }
}
