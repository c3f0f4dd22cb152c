import QtQuick

// A horizontal input-level bar; the level is clamped to 0…1.
Item {
    id: root
    property real level: 0
    implicitHeight: 6
    implicitWidth: 200

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: Theme.withAlpha(Theme.primary, 0.12)
    }
    Rectangle {
        height: parent.height
        radius: height / 2
        color: Theme.green
        width: parent.width * Math.max(0, Math.min(1, root.level))
        Behavior on width { NumberAnimation { duration: 80; easing.type: Easing.OutQuad } }
    }
}
