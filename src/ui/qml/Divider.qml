import QtQuick
import QtQuick.Layouts

// The one-pixel line between the rows of a card and between the blocks of the menu.
Rectangle {
    Layout.fillWidth: true
    implicitHeight: Theme.dividerHeight
    color: Theme.ovBorder
    Accessible.ignored: true
}
