import QtQuick
import QtQuick.Shapes

// A disc filled with the logo gradient, from the top-left to the bottom-right corner. The
// shape smooths its own edge: a multisampled layer draws nothing with the software renderer.
Shape {
    id: root
    property real size: 14
    width: size
    height: size
    antialiasing: true
    Accessible.ignored: true

    ShapePath {
        strokeColor: "transparent"
        fillGradient: LinearGradient {
            x1: 0; y1: 0; x2: root.size; y2: root.size
            GradientStop { position: 0; color: Theme.orbStart }
            GradientStop { position: 1; color: Theme.orbEnd }
        }
        startX: root.size / 2; startY: 0
        PathArc { x: root.size / 2; y: root.size; radiusX: root.size / 2; radiusY: root.size / 2 }
        PathArc { x: root.size / 2; y: 0; radiusX: root.size / 2; radiusY: root.size / 2 }
    }
}
