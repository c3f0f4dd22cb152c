import QtQuick
import QtQuick.Templates as T

// The single-line text field: white, rounded, an accent border while it has the focus.
T.TextField {
    id: control
    implicitWidth: 160
    implicitHeight: Theme.controlHeight
    leftPadding: 9
    rightPadding: 9
    verticalAlignment: TextInput.AlignVCenter
    font.pixelSize: Theme.textControl
    color: enabled ? Theme.ovText : Theme.controlDisabledText
    placeholderTextColor: Theme.ovTertiary
    selectionColor: Theme.accent
    selectedTextColor: Theme.accentText
    selectByMouse: true

    Accessible.role: Accessible.EditableText
    Accessible.name: placeholderText

    Text {
        x: control.leftPadding
        width: control.width - control.leftPadding - control.rightPadding
        height: control.height
        verticalAlignment: Text.AlignVCenter
        visible: control.text === "" && !control.preeditText
        text: control.placeholderText
        font: control.font
        color: control.placeholderTextColor
        elide: Text.ElideRight
        Accessible.ignored: true
    }

    background: Rectangle {
        radius: Theme.radiusControl
        color: control.enabled ? Theme.controlFill : Theme.controlDisabledFill
        border.width: control.activeFocus ? Theme.focusRingWidth : 1
        border.color: control.activeFocus ? Theme.focusRing
                    : control.hovered ? Theme.withAlpha(Theme.primary, 0.26) : Theme.controlBorder
    }
}
