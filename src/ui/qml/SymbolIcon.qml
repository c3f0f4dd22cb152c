import QtQuick

// A symbol named by meaning ("mic.fill", "gearshape", …), drawn in one colour at `size`
// pixels, in layouts too. Decorative: the control that shows it carries the name screen
// readers read.
Item {
    id: root
    property string name
    property color colour: "black"
    property int size: 14

    implicitWidth: size
    implicitHeight: size
    width: size
    height: size
    Accessible.ignored: true

    Image {
        anchors.fill: parent
        sourceSize: Qt.size(root.size * 2, root.size * 2)
        fillMode: Image.PreserveAspectFit
        smooth: true
        source: root.name === "" ? "" : "image://symbol/" + root.name + "?color=" + encodeURIComponent(root.colour.toString())
    }
}
