#include "WaylandTestSupport.h"

#include "FakeInputPaste.h"
#include "TempEnvironment.h"
#include "VirtualKeyboardPaste.h"

#include <QTest>

namespace orvanta::test {

WaylandUserKeyboard::WaylandUserKeyboard()
    : connection(wayland::WaylandConnection::open()) {
    if (connection)
        keystroke = wayland::VirtualKeyboardPaste::create(*connection);
    if (connection && !keystroke)
        keystroke = wayland::FakeInputPaste::create(*connection);
}

bool userCopiesInTarget(WaylandUserKeyboard &keyboard, TargetApp &target) {
    if (!keyboard.isOpen() || !keyboard.keystroke->send(false) || !target.waitForLine("key Ctrl+V"))
        return false;
    target.forget();
    if (!target.command("set-clipboard"))
        return false;
    // The target answers before its toolkit has told the compositor.
    return QTest::qWaitFor(
        [] { return runProgram("wl-paste", {"--list-types"}).output.contains("image/png"); });
}

} // namespace orvanta::test
