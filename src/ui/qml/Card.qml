import QtQuick

// A white rounded card with a thin border; it adds no padding of its own.
Rectangle {
    radius: Theme.radiusCard
    color: Theme.ovCard
    border.width: 1
    border.color: Theme.ovBorder
}
