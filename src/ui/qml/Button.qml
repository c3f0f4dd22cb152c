import QtQuick
import QtQuick.Templates as T

// The push button of every view. `highlighted` is the prominent accent button, `flat` a text
// button, `small` the compact size, `destructive` red text; `symbol` names an optional icon.
T.Button {
    id: control
    property bool small: false
    property bool destructive: false
    property string symbol
    property int radius: Theme.radiusControl

    readonly property color inkColour: !enabled ? (highlighted ? Theme.withAlpha(Theme.accentText, 0.85)
                                                                : Theme.controlDisabledText)
                                     : highlighted ? Theme.accentText
                                     : destructive ? Theme.redText
                                     : flat ? (pressed ? Theme.accentPressed : Theme.accent)
                                     : Theme.ovText
    readonly property color fillColour: flat ? (visualFocus || hovered ? Theme.subtleHover : "transparent")
                                      : highlighted ? (!enabled ? Theme.accentDisabled
                                                       : down ? Theme.accentPressed
                                                       : hovered ? Theme.accentHover : Theme.accent)
                                      : !enabled ? Theme.controlDisabledFill
                                      : down ? Theme.controlPressed
                                      : checked ? Theme.withAlpha(Theme.accent, 0.16)
                                      : hovered ? Theme.controlHover : Theme.controlFill

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: Math.max(implicitBackgroundHeight + topInset + bottomInset,
                             implicitContentHeight + topPadding + bottomPadding)
    leftPadding: flat ? 4 : (small ? 9 : 12)
    rightPadding: leftPadding
    topPadding: small ? 3 : 5
    bottomPadding: topPadding
    font.pixelSize: small ? Theme.textSmall : Theme.textControl
    focusPolicy: Qt.StrongFocus

    Accessible.role: Accessible.Button
    Accessible.name: text
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    contentItem: Item {
        implicitWidth: label.implicitWidth
        implicitHeight: label.implicitHeight
        Row {
        id: label
        anchors.centerIn: parent
        spacing: 6
        SymbolIcon {
            visible: control.symbol !== ""
            name: control.symbol
            colour: control.inkColour
            size: control.small ? 11 : 13
            anchors.verticalCenter: parent.verticalCenter
            Accessible.ignored: true
        }
        Text {
            text: control.text
            font: control.font
            color: control.inkColour
            anchors.verticalCenter: parent.verticalCenter
            Accessible.ignored: true
        }
        }
    }

    background: Rectangle {
        implicitWidth: control.flat ? 0 : (control.small ? 44 : 64)
        implicitHeight: control.small ? Theme.smallControlHeight : Theme.controlHeight
        radius: control.radius
        color: control.fillColour
        border.width: control.flat || control.highlighted ? 0 : 1
        border.color: control.checked ? Theme.withAlpha(Theme.accent, 0.5) : Theme.controlBorder
        FocusRing {
            visible: control.visualFocus
            ringRadius: control.radius
        }
    }
}
