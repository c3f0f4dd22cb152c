pragma Singleton
import QtQuick

// The light palette every view uses, whatever the desktop theme.
QtObject {
    readonly property color ovPage: Qt.rgba(0.965, 0.965, 0.957, 1)
    readonly property color ovSidebar: Qt.rgba(0.949, 0.949, 0.941, 1)
    readonly property color ovCard: "white"
    readonly property color ovBorder: Qt.rgba(0, 0, 0, 0.07)
    readonly property color ovText: Qt.rgba(0.11, 0.11, 0.12, 1)
    readonly property color ovSecondary: Qt.rgba(0.42, 0.42, 0.45, 1)
    readonly property color ovTertiary: Qt.rgba(0.11, 0.11, 0.12, 0.3)
    readonly property color primary: "black"
    readonly property color accent: "#0a84ff"
    readonly property color orbStart: Qt.rgba(0, 0.48, 1.0, 1)
    readonly property color orbEnd: Qt.rgba(0.56, 0.18, 0.89, 1)

    // The light colours the standard controls take, whatever the desktop's own palette.
    function applyLightPalette(palette) {
        palette.window = ovPage
        palette.windowText = ovText
        palette.base = "white"
        palette.alternateBase = ovSidebar
        palette.text = ovText
        palette.placeholderText = ovTertiary
        palette.button = "#e6e6e6"
        palette.buttonText = ovText
        palette.brightText = "white"
        palette.highlight = accent
        palette.highlightedText = "white"
        palette.light = "white"
        palette.midlight = "#e0e0e0"
        palette.mid = "#c4c4c4"
        palette.dark = "#9a9a9a"
        palette.shadow = "#707070"
        palette.toolTipBase = "white"
        palette.toolTipText = ovText
        palette.link = accent
    }

    function statusColour(name) {
        switch (name) {
        case "green": return "#34c759"
        case "red": return "#ff3b30"
        case "blue": return "#007aff"
        default: return "#ff9500"
        }
    }
    function withAlpha(c, alpha) {
        return Qt.rgba(c.r, c.g, c.b, alpha)
    }
}
