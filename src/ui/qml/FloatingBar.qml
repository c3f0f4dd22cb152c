import QtQuick
import QtQuick.Window
import Orvanta

// The always-on-top bar: a thin handle when idle, a recording pill with a live waveform, or a
// transcribing pill with running dots. It never takes the keyboard focus.
Window {
    id: window
    required property var appState
    readonly property string statusName: appState.statusName
    property bool hovering: hoverArea.containsMouse
    // The visible pill, for shaping the window when nothing composites transparency.
    readonly property rect pillRect: Qt.rect(pill.x, pill.y, pill.width, pill.height)

    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.WindowDoesNotAcceptFocus
    color: "transparent"
    title: "Talvo"

    MouseArea {
        id: hoverArea
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton
        onClicked: {
            const action = ViewRules.primaryAction(window.appState.statusName)
            if (action === "start")
                window.appState.startDictation()
            else if (action === "stop")
                window.appState.stopAndTranscribe()
        }
    }

    Item {
        id: pill
        anchors.centerIn: parent
        width: loader.item ? loader.item.width : 0
        height: loader.item ? loader.item.height : 0
        Loader {
            id: loader
            sourceComponent: window.statusName === "recording" ? recordingPill
                           : window.statusName === "transcribing" ? transcribingPill : idlePill
        }
    }

    Component {
        id: idlePill
        Rectangle {
            objectName: "idlePill"
            width: window.hovering ? 92 : 66
            height: window.hovering ? 24 : 5
            radius: height / 2
            color: Qt.rgba(0, 0, 0, window.hovering ? 0.9 : 0.55)
            Rectangle {
                // A soft shadow while the handle is grown.
                z: -1
                visible: window.hovering
                anchors.fill: parent
                anchors.margins: -2
                anchors.topMargin: 0
                anchors.bottomMargin: -3
                radius: height / 2
                color: Qt.rgba(0, 0, 0, 0.25)
            }
            Behavior on width { SpringAnimation { spring: 6; damping: 0.8; epsilon: 0.25 } }
            Behavior on height { SpringAnimation { spring: 6; damping: 0.8; epsilon: 0.25 } }
            SymbolIcon {
                anchors.centerIn: parent
                name: "mic.fill"
                colour: "white"
                size: 11
                visible: window.hovering
            }
        }
    }

    Component {
        id: recordingPill
        Rectangle {
            objectName: "recordingPill"
            width: window.width
            height: window.height
            radius: height / 2
            color: Qt.rgba(0, 0, 0, 0.9)
            Row {
                anchors.fill: parent
                anchors.leftMargin: 10
                anchors.rightMargin: 10
                spacing: 9
                RoundButton {
                    objectName: "cancelButton"
                    anchors.verticalCenter: parent.verticalCenter
                    size: 18
                    onClicked: window.appState.cancelDictation()
                    SymbolIcon { anchors.centerIn: parent; name: "xmark"; colour: Qt.rgba(1, 1, 1, 0.7); size: 9 }
                }
                GradientDot { anchors.verticalCenter: parent.verticalCenter }
                Waveform {
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width - 18 - 14 - 20 - 3 * parent.spacing
                    level: window.appState.audioLevel
                }
                RoundButton {
                    objectName: "stopButton"
                    anchors.verticalCenter: parent.verticalCenter
                    size: 20
                    onClicked: window.appState.stopAndTranscribe()
                    Rectangle { anchors.centerIn: parent; width: 11; height: 11; radius: 3; color: "#ff3b30" }
                }
            }
        }
    }

    Component {
        id: transcribingPill
        Rectangle {
            objectName: "transcribingPill"
            width: window.width
            height: window.height
            radius: height / 2
            color: Qt.rgba(0, 0, 0, 0.9)
            Row {
                anchors.centerIn: parent
                spacing: 8
                GradientDot { anchors.verticalCenter: parent.verticalCenter }
                LoadingDots { anchors.verticalCenter: parent.verticalCenter }
            }
        }
    }

    component RoundButton: Rectangle {
        property int size: 18
        signal clicked()
        width: size
        height: size
        radius: size / 2
        color: Qt.rgba(1, 1, 1, 0.14)
        MouseArea { anchors.fill: parent; onClicked: parent.clicked() }
    }

    component GradientDot: GradientDisc {
        size: 14
        SequentialAnimation on opacity {
            loops: Animation.Infinite
            running: true
            NumberAnimation { from: 0.5; to: 1.0; duration: 700; easing.type: Easing.InOutQuad }
            NumberAnimation { from: 1.0; to: 0.5; duration: 700; easing.type: Easing.InOutQuad }
        }
    }

    component Waveform: Item {
        id: wave
        property real level: 0
        height: 20
        Row {
            anchors.centerIn: parent
            spacing: 2.5
            Repeater {
                model: ViewRules.waveformBars
                Rectangle {
                    required property int index
                    width: 2.5
                    height: ViewRules.waveformBarHeight(index, ViewRules.waveformBars, wave.level)
                    radius: 1.25
                    color: Qt.rgba(1, 1, 1, 0.9)
                    anchors.verticalCenter: parent.verticalCenter
                    Behavior on height { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }
                }
            }
        }
    }

    component LoadingDots: Row {
        id: dots
        property int phase: 0
        spacing: 3
        Repeater {
            model: ViewRules.loadingDotCount
            Rectangle {
                required property int index
                width: 2.5
                height: 2.5
                radius: 1.25
                color: Qt.rgba(1, 1, 1, index === dots.phase ? 0.95 : 0.3)
            }
        }
        Timer {
            interval: ViewRules.loadingDotInterval
            repeat: true
            running: true
            onTriggered: dots.phase = ViewRules.nextLoadingPhase(dots.phase)
        }
    }
}
