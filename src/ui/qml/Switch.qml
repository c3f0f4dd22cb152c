import QtQuick
import QtQuick.Templates as T

// The on/off switch: a 32 × 18 track in the accent colour when on.
T.Switch {
    id: control
    implicitWidth: Theme.switchWidth
    implicitHeight: Theme.switchHeight
    padding: 0
    spacing: 0
    focusPolicy: Qt.StrongFocus

    Accessible.role: Accessible.CheckBox
    Keys.onReturnPressed: { control.toggle(); control.toggled() }
    Keys.onEnterPressed: { control.toggle(); control.toggled() }

    indicator: Rectangle {
        implicitWidth: Theme.switchWidth
        implicitHeight: Theme.switchHeight
        radius: height / 2
        color: !control.enabled ? (control.checked ? Theme.accentDisabled : Theme.controlDisabledFill)
             : control.checked ? (control.down ? Theme.accentPressed : control.hovered ? Theme.accentHover : Theme.accent)
             : (control.down || control.hovered ? Theme.trackHover : Theme.track)
        Rectangle {
            width: parent.height - 4
            height: width
            radius: width / 2
            y: 2
            x: control.checked ? parent.width - width - 2 : 2
            color: control.enabled ? "white" : Theme.knobDisabled
            border.width: control.enabled ? 0 : 1
            border.color: Theme.controlBorder
            Behavior on x { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }
        }
        FocusRing {
            visible: control.visualFocus
            ringRadius: parent.radius
        }
    }
    contentItem: Item {}
}
