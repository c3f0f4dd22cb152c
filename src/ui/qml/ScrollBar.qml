import QtQuick
import QtQuick.Templates as T

// A thin scroll bar that shows while the page moves or the pointer is over it.
T.ScrollBar {
    id: control
    implicitWidth: 10
    implicitHeight: 10
    padding: 2
    visible: policy !== T.ScrollBar.AlwaysOff && size < 1.0
    minimumSize: orientation === Qt.Horizontal ? height / width : width / height

    contentItem: Rectangle {
        implicitWidth: 6
        implicitHeight: 6
        radius: width / 2
        color: control.pressed ? Theme.withAlpha(Theme.primary, 0.45) : Theme.withAlpha(Theme.primary, 0.28)
        opacity: control.active ? 1 : 0
        Behavior on opacity { NumberAnimation { duration: 200 } }
    }
}
