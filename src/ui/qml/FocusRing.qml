import QtQuick

// The ring around the control that has the keyboard focus.
Rectangle {
    property real ringRadius: Theme.radiusControl
    anchors.fill: parent
    anchors.margins: -Theme.focusRingWidth - 1
    radius: ringRadius + Theme.focusRingWidth + 1
    color: "transparent"
    border.width: Theme.focusRingWidth
    border.color: Theme.focusRing
}
