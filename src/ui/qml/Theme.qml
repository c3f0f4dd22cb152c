pragma Singleton
import QtQuick

// Every colour, size and radius the views and controls use: the light palette of the settings
// window and the menu, whatever the desktop theme.
QtObject {
    // Surfaces and text.
    readonly property color ovPage: Qt.rgba(0.965, 0.965, 0.957, 1)
    readonly property color ovSidebar: Qt.rgba(0.949, 0.949, 0.941, 1)
    readonly property color ovCard: "white"
    readonly property color ovBorder: Qt.rgba(0, 0, 0, 0.07)
    readonly property color ovText: Qt.rgba(0.11, 0.11, 0.12, 1)
    readonly property color ovSecondary: Qt.rgba(0.42, 0.42, 0.45, 1)
    readonly property color ovTertiary: Qt.rgba(0.11, 0.11, 0.12, 0.45)
    readonly property color primary: "black"
    readonly property color accent: "#0a84ff"
    readonly property color accentHover: "#0077ed"
    readonly property color accentPressed: "#0062c4"
    readonly property color accentText: "white"
    readonly property color orbStart: Qt.rgba(0, 0.48, 1.0, 1)
    readonly property color orbEnd: Qt.rgba(0.56, 0.18, 0.89, 1)
    readonly property color bubble: Qt.rgba(0.09, 0.09, 0.11, 1)

    // The floating bar: a black pill with white ink.
    readonly property color panelEdge: Qt.rgba(0, 0, 0, 0.15)
    readonly property color avatarFill: Qt.rgba(0, 0, 0, 0.06)

    // Status tones.
    readonly property color green: "#34c759"
    readonly property color greenText: "#1f8f3a"
    readonly property color red: "#ff3b30"
    readonly property color redText: "#d70015"
    readonly property color blue: "#007aff"
    readonly property color orange: "#ff9500"

    // Controls: rest, hover, pressed, disabled, focus.
    readonly property color controlFill: "white"
    readonly property color controlHover: "#f2f2f2"
    readonly property color controlPressed: "#e2e2e2"
    readonly property color controlBorder: Qt.rgba(0, 0, 0, 0.16)
    readonly property color controlDisabledFill: "#ececeb"
    readonly property color knobDisabled: "#f7f7f7"
    readonly property color controlDisabledText: Qt.rgba(0.11, 0.11, 0.12, 0.32)
    readonly property color accentDisabled: Qt.rgba(0.04, 0.52, 1.0, 0.32)
    readonly property color subtleHover: Qt.rgba(0, 0, 0, 0.06)
    readonly property color subtlePressed: Qt.rgba(0, 0, 0, 0.12)
    readonly property color rowHover: Qt.rgba(0.04, 0.52, 1.0, 0.15)
    readonly property color track: Qt.rgba(0, 0, 0, 0.16)
    readonly property color trackHover: Qt.rgba(0, 0, 0, 0.24)
    readonly property color focusRing: Qt.rgba(0.04, 0.52, 1.0, 0.6)
    readonly property color tooltipFill: Qt.rgba(0.11, 0.11, 0.12, 0.94)

    // Type scale (pixels).
    readonly property int textTiny: 10
    readonly property int textSmall: 11
    readonly property int textBody: 12
    readonly property int textControl: 13
    readonly property int textBubble: 14
    readonly property int textProductName: 14
    readonly property int textEmptyTitle: 15
    readonly property int textHeading: 16
    readonly property int textSheetTitle: 17
    readonly property int textPageTitle: 24

    // Radii.
    readonly property int radiusKey: 4
    readonly property int radiusRow: 6
    readonly property int radiusControl: 6
    readonly property int radiusSidebarItem: 7
    readonly property int radiusMenuCard: 8
    readonly property int radiusPrimary: 9
    readonly property int radiusCard: 12
    readonly property int radiusBubble: 18

    // Sizes.
    readonly property int controlHeight: 28
    readonly property int smallControlHeight: 22
    readonly property int iconButtonSize: 24
    readonly property int switchWidth: 32
    readonly property int switchHeight: 18
    readonly property int symbolColumn: 18
    readonly property int focusRingWidth: 2
    readonly property int pageMaxWidth: 680
    readonly property int dividerHeight: 1

    function statusColour(name) {
        switch (name) {
        case "green": return green
        case "red": return red
        case "blue": return blue
        default: return orange
        }
    }
    function withAlpha(c, alpha) {
        return Qt.rgba(c.r, c.g, c.b, alpha)
    }
}
