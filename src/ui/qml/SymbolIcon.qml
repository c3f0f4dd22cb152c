import QtQuick

// A symbol named by meaning ("mic.fill", "gearshape", …), drawn in one colour.
Image {
    id: root
    property string name
    property color colour: "black"
    property int size: 14

    width: size
    height: size
    sourceSize: Qt.size(size * 2, size * 2)
    fillMode: Image.PreserveAspectFit
    smooth: true
    source: name === "" ? "" : "image://symbol/" + name + "?color=" + encodeURIComponent(colour.toString())
}
