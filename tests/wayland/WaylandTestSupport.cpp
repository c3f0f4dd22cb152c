#include "WaylandTestSupport.h"

#include "FakeInputPaste.h"
#include "VirtualKeyboardPaste.h"

#include <QProcess>
#include <QTest>

namespace orvanta::test {

WaylandUserKeyboard::WaylandUserKeyboard()
    : m_connection(wayland::WaylandConnection::open()) {
    if (!m_connection)
        return;
    m_keystroke = wayland::VirtualKeyboardPaste::create(*m_connection);
    if (!m_keystroke)
        m_keystroke = wayland::FakeInputPaste::create(*m_connection);
}

WaylandUserKeyboard::~WaylandUserKeyboard() {
    m_keystroke.reset();
}

bool WaylandUserKeyboard::typePaste() {
    return m_keystroke && m_keystroke->send(false);
}

bool userCopiesInTarget(WaylandUserKeyboard &keyboard, TargetApp &target) {
    if (!keyboard.typePaste() || !target.waitForLine(QStringLiteral("key Ctrl+V")))
        return false;
    target.forget();
    if (!target.command(QStringLiteral("set-clipboard")))
        return false;
    // The target answers before its toolkit has told the compositor.
    return QTest::qWaitFor(
        [] {
            QProcess paste;
            paste.start(QStringLiteral("wl-paste"), {QStringLiteral("--list-types")});
            return paste.waitForFinished(2000) &&
                   paste.readAllStandardOutput().contains("image/png");
        },
        5000);
}

} // namespace orvanta::test
