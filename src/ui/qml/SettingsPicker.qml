import QtQuick

// A picker over entries {label, value}; the selection always follows `selectedIndex` (-1
// shows none), and a choice is reported through `chosen`.
ComboBox {
    id: root
    property var entries: []
    property int selectedIndex: -1
    signal chosen(int index)

    model: entries
    textRole: "label"
    currentIndex: selectedIndex
    displayText: currentIndex >= 0 ? currentText : ""
    // The combo box picks an entry of its own when a choice is made or its model changes.
    function follow() {
        root.currentIndex = Qt.binding(() => root.selectedIndex)
    }
    onModelChanged: follow()
    onCountChanged: follow()
    onActivated: (index) => {
        root.chosen(index)
        follow()
    }
}
