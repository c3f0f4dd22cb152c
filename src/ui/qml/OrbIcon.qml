import QtQuick
import QtQuick.Shapes

// The round logo mark: a blue-to-violet disc with a soft highlight up and to the left.
Item {
    id: root
    property real size: 20
    width: size
    height: size

    GradientDisc { size: root.size }
    Shape {
        // The highlight: a small white circle, its blur drawn as a radial fade.
        anchors.fill: parent
        ShapePath {
            strokeColor: "transparent"
            fillGradient: RadialGradient {
                centerX: root.size * 0.35; centerY: root.size * 0.35
                centerRadius: root.size * 0.28
                focalX: centerX; focalY: centerY
                GradientStop { position: 0.0; color: Qt.rgba(1, 1, 1, 0.25) }
                GradientStop { position: 0.7; color: Qt.rgba(1, 1, 1, 0.18) }
                GradientStop { position: 1.0; color: Qt.rgba(1, 1, 1, 0) }
            }
            startX: root.size / 2; startY: 0
            PathArc { x: root.size / 2; y: root.size; radiusX: root.size / 2; radiusY: root.size / 2 }
            PathArc { x: root.size / 2; y: 0; radiusX: root.size / 2; radiusY: root.size / 2 }
        }
    }
}
