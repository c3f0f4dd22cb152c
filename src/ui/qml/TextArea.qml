import QtQuick
import QtQuick.Templates as T

// The multi-line editor; it draws no background of its own (the card around it does).
T.TextArea {
    id: control
    font.pixelSize: Theme.textControl
    color: enabled ? Theme.ovText : Theme.controlDisabledText
    placeholderTextColor: Theme.ovTertiary
    selectionColor: Theme.accent
    selectedTextColor: Theme.accentText
    selectByMouse: true
    wrapMode: TextEdit.Wrap
    Accessible.role: Accessible.EditableText
    // Tab moves on to the next control, as everywhere else in the window.
    Keys.onTabPressed: nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)
    Keys.onBacktabPressed: nextItemInFocusChain(false).forceActiveFocus(Qt.BacktabFocusReason)
}
