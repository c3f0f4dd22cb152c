import QtQuick
import QtQuick.Templates as T

// A borderless button showing only a symbol; its tooltip also names it for screen readers.
T.Button {
    id: control
    property string symbol
    property string tip
    property int symbolSize: 12
    property color symbolColour: Theme.ovSecondary

    implicitWidth: Theme.iconButtonSize
    implicitHeight: Theme.iconButtonSize
    padding: 0
    focusPolicy: Qt.StrongFocus

    Accessible.role: Accessible.Button
    Accessible.name: tip
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()

    contentItem: Item {
        SymbolIcon {
            anchors.centerIn: parent
            name: control.symbol
            size: control.symbolSize
            colour: !control.enabled ? Theme.controlDisabledText
                                     : control.down ? Theme.ovText : control.symbolColour
            Accessible.ignored: true
        }
    }
    background: Rectangle {
        radius: Theme.radiusControl
        color: control.down ? Theme.subtlePressed
             : control.hovered && control.enabled ? Theme.subtleHover : "transparent"
        FocusRing { visible: control.visualFocus }
    }

    ToolTip {
        visible: control.hovered && control.tip !== ""
        text: control.tip
    }
}
