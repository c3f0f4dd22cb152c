import QtQuick
import QtQuick.Shapes

// A small filled circle. Drawn as a shape, it stays round at fractional scale factors, where
// the software renderer draws small rounded rectangles with square corners.
Shape {
    id: root
    property real size: 7
    property color colour: Theme.green
    width: size
    height: size
    antialiasing: true
    Accessible.ignored: true

    ShapePath {
        strokeColor: "transparent"
        fillColor: root.colour
        startX: root.size / 2; startY: 0
        PathArc { x: root.size / 2; y: root.size; radiusX: root.size / 2; radiusY: root.size / 2 }
        PathArc { x: root.size / 2; y: 0; radiusX: root.size / 2; radiusY: root.size / 2 }
    }
}
