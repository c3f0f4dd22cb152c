import QtQuick
import QtQuick.Window
import Orvanta

// The always-on-top bar: a thin handle when idle, a recording pill with a live waveform, or a
// transcribing pill with running dots. It never takes the keyboard focus.
Window {
    id: window
    required property var appState
    readonly property int status: appState.statusKind
    readonly property bool idleLook: status !== DictationStatus.Recording
                                     && status !== DictationStatus.Transcribing
    property bool hovering: idleLook && hoverArea.containsMouse
    // Without a compositor the window is cut to its reactive area and cannot be partly
    // transparent: the idle handle then always shows at its grown size.
    property bool composited: true
    readonly property bool grown: hovering || !composited
    // Where the pointer counts; also the window's shape when nothing composites transparency.
    readonly property rect hitRect: ViewRules.floatingBarReactiveArea(status, width, height)
    readonly property size handleSize: ViewRules.idleHandleSize(grown)

    flags: Qt.Tool | Qt.FramelessWindowHint | Qt.WindowStaysOnTopHint | Qt.WindowDoesNotAcceptFocus
    color: "transparent"
    title: "Talvo"

    // Only the idle handle answers a click anywhere on it; the recording pill acts only
    // through its two buttons, the transcribing pill not at all.
    MouseArea {
        id: hoverArea
        objectName: "handleArea"
        x: window.hitRect.x
        y: window.hitRect.y
        width: window.hitRect.width
        height: window.hitRect.height
        enabled: window.idleLook
        hoverEnabled: true
        acceptedButtons: Qt.LeftButton
        onClicked: window.appState.toggleDictation()
        Accessible.role: Accessible.Button
        Accessible.name: "Start dictation"
        Accessible.onPressAction: window.appState.toggleDictation()
    }

    Item {
        id: pill
        anchors.centerIn: parent
        width: loader.item ? loader.item.width : 0
        height: loader.item ? loader.item.height : 0
        Loader {
            id: loader
            sourceComponent: window.status === DictationStatus.Recording ? recordingPill
                           : window.status === DictationStatus.Transcribing ? transcribingPill : idlePill
        }
    }

    Component {
        id: idlePill
        Rectangle {
            objectName: "idlePill"
            width: window.handleSize.width
            height: window.handleSize.height
            radius: height / 2
            color: window.grown ? Theme.barFill : Theme.barHandle
            Rectangle {
                // A soft shadow while the handle is grown.
                z: -1
                visible: window.hovering && window.composited
                anchors.fill: parent
                anchors.margins: -2
                anchors.topMargin: 0
                anchors.bottomMargin: -3
                radius: height / 2
                color: Theme.barShadow
            }
            Behavior on width { SpringAnimation { spring: 6; damping: 0.8; epsilon: 0.25 } }
            Behavior on height { SpringAnimation { spring: 6; damping: 0.8; epsilon: 0.25 } }
            SymbolIcon {
                anchors.centerIn: parent
                name: "mic.fill"
                colour: "white"
                size: 11
                visible: window.grown
                opacity: window.hovering ? 1.0 : 0.6
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
            color: Theme.barFill
            Row {
                anchors.fill: parent
                anchors.leftMargin: 10
                anchors.rightMargin: 10
                spacing: 9
                RoundButton {
                    objectName: "cancelButton"
                    anchors.verticalCenter: parent.verticalCenter
                    Accessible.name: "Cancel dictation"
                    size: 18
                    onClicked: window.appState.cancelDictation()
                    SymbolIcon { anchors.centerIn: parent; name: "xmark"; colour: Theme.barCancelInk; size: 9 }
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
                    Accessible.name: "Stop and transcribe"
                    size: 20
                    onClicked: window.appState.stopAndTranscribe()
                    Rectangle { anchors.centerIn: parent; width: 11; height: 11; radius: 3; color: Theme.red }
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
            color: Theme.barFill
            Row {
                anchors.centerIn: parent
                spacing: 8
                GradientDot { anchors.verticalCenter: parent.verticalCenter }
                LoadingDots { anchors.verticalCenter: parent.verticalCenter }
            }
        }
    }

    // The bar never takes the keyboard focus, so its buttons are for the pointer and for
    // screen readers' press action.
    component RoundButton: Rectangle {
        id: round
        property int size: 18
        signal clicked()
        width: size
        height: size
        radius: size / 2
        color: roundArea.pressed ? Theme.barButtonPressed : roundArea.containsMouse ? Theme.barButtonHover : Theme.barButton
        Accessible.role: Accessible.Button
        Accessible.onPressAction: round.clicked()
        MouseArea { id: roundArea; anchors.fill: parent; hoverEnabled: true; onClicked: round.clicked() }
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
                    color: Theme.barInk
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
                color: index === dots.phase ? Theme.barDotOn : Theme.barDotOff
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
