import QtQuick
import QtQuick.Templates as T

// The small dark label that appears after the pointer rests on a control.
T.ToolTip {
    id: control
    x: parent ? (parent.width - implicitWidth) / 2 : 0
    y: -implicitHeight - 4
    delay: 500
    margins: 6
    padding: 6
    topPadding: 3
    bottomPadding: 3
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    implicitHeight: contentItem.implicitHeight + topPadding + bottomPadding
    closePolicy: T.Popup.CloseOnEscape | T.Popup.CloseOnPressOutsideParent | T.Popup.CloseOnReleaseOutsideParent

    contentItem: Text {
        text: control.text
        font.pixelSize: Theme.textSmall
        color: "white"
    }
    background: Rectangle {
        radius: Theme.radiusRow
        color: Theme.tooltipFill
    }
}
