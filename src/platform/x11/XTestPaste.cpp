#include "XTestPaste.h"

#include "PlatformLogging.h"
#include "TerminalApps.h"
#include "ToolkitClipboard.h"
#include "X11ErrorTrap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace orvanta::x11 {

namespace {

// The keys of every modifier that changes what a keystroke means; the lock modifiers
// (CapsLock, NumLock) are left out, their keys are not held.
QList<int> modifierKeyCodes(Display *display) {
    QList<int> codes;
    XModifierKeymap *map = XGetModifierMapping(display);
    if (!map)
        return codes;
    const ::KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    for (int index = ShiftMapIndex; index <= Mod5MapIndex; ++index) {
        if (index == LockMapIndex)
            continue;
        QList<int> keys;
        bool holdsNumLock = false;
        for (int slot = 0; slot < map->max_keypermod; ++slot) {
            const ::KeyCode code = map->modifiermap[index * map->max_keypermod + slot];
            if (code == 0)
                continue;
            holdsNumLock = holdsNumLock || code == numLock;
            keys.append(code);
        }
        if (!holdsNumLock)
            codes.append(keys);
    }
    XFreeModifiermap(map);
    return codes;
}

} // namespace

std::unique_ptr<ClipboardPaste> XTestPaste::inserter(const ClipboardPaste::Timing &timing) {
    auto keystroke = std::make_unique<XTestPaste>();
    XTestPaste *keys = keystroke.get();
    auto paste =
        std::make_unique<ClipboardPaste>(std::make_unique<ToolkitClipboard>(), std::move(keystroke),
                                         ClipboardPaste::WhenNotTyped::RestoreClipboard, timing);
    paste->setTerminalCheck([keys] { return keys->focusIsTerminal(); });
    return paste;
}

XTestPaste::~XTestPaste() {
    if (m_display)
        XCloseDisplay(m_display);
}

bool XTestPaste::isTerminal(const QString &resourceName, const QString &resourceClass) {
    return isTerminalApp(resourceName) || isTerminalApp(resourceClass);
}

bool XTestPaste::ensureDisplay() {
    if (m_display)
        return true;
    if (m_displayFailed)
        return false;
    m_display = XOpenDisplay(nullptr);
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!m_display || !XTestQueryExtension(m_display, &event, &error, &major, &minor)) {
        qCWarning(lcTextInserter) << "cannot synthesize the paste keystroke: no XTEST display";
        if (m_display)
            XCloseDisplay(m_display);
        m_display = nullptr;
        m_displayFailed = true;
        return false;
    }
    X11ErrorTrap::installHandler();
    m_modifierKeyCodes = modifierKeyCodes(m_display);
    // The XTEST keyboard of the core keyboard, which our keystrokes are typed on.
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(m_display, XIAllDevices, &count);
    for (int index = 0; devices && index < count; ++index) {
        if (devices[index].use == XISlaveKeyboard &&
            QByteArray(devices[index].name).endsWith(" XTEST keyboard") && m_xtestKeyboard == 0)
            m_xtestKeyboard = XID(devices[index].deviceid);
    }
    if (devices)
        XIFreeDeviceInfo(devices);
    return true;
}

bool XTestPaste::modifierHeld() {
    if (!ensureDisplay())
        return false;
    char keys[32] = {};
    XQueryKeymap(m_display, keys);
    for (int code : std::as_const(m_modifierKeyCodes)) {
        if ((keys[code / 8] >> (code % 8)) & 1)
            return true;
    }
    return false;
}

QList<int> XTestPaste::keysHeldOnXTestDevice() {
    QList<int> held;
    if (m_xtestKeyboard == 0)
        return held;
    X11ErrorTrap trap(m_display);
    XDevice *device = XOpenDevice(m_display, m_xtestKeyboard);
    if (!device)
        return held;
    if (XDeviceState *state = XQueryDeviceState(m_display, device)) {
        auto *item = reinterpret_cast<XInputClass *>(state->data);
        for (int index = 0; index < state->num_classes; ++index) {
            if (item->c_class == KeyClass) {
                const auto *keys = reinterpret_cast<XKeyState *>(item);
                for (int code = 0; code < keys->num_keys && code < 256; ++code) {
                    if ((keys->keys[code / 8] >> (code % 8)) & 1)
                        held.append(code);
                }
            }
            item = reinterpret_cast<XInputClass *>(reinterpret_cast<char *>(item) + item->length);
        }
        XFreeDeviceState(state);
    }
    XCloseDevice(m_display, device);
    return held;
}

bool XTestPaste::focusIsTerminal() {
    if (!ensureDisplay())
        return false;
    X11ErrorTrap trap(m_display);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    const Window root = DefaultRootWindow(m_display);
    // The focus may sit on a child of the application's top-level window.
    for (int depth = 0; depth < 8 && focus != None && focus != PointerRoot && focus != root;
         ++depth) {
        XClassHint hint{nullptr, nullptr};
        if (XGetClassHint(m_display, focus, &hint)) {
            const QString name = QString::fromLocal8Bit(hint.res_name);
            const QString className = QString::fromLocal8Bit(hint.res_class);
            XFree(hint.res_name);
            XFree(hint.res_class);
            return isTerminal(name, className);
        }
        Window parent = None;
        Window treeRoot = None;
        Window *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(m_display, focus, &treeRoot, &parent, &children, &count))
            break;
        if (children)
            XFree(children);
        focus = parent;
    }
    return false;
}

bool XTestPaste::send(bool withShift) {
    if (!ensureDisplay())
        return false;
    const ::KeyCode control = XKeysymToKeycode(m_display, XK_Control_L);
    const ::KeyCode shift = XKeysymToKeycode(m_display, XK_Shift_L);
    const ::KeyCode v = XKeysymToKeycode(m_display, XK_v);
    if (control == 0 || v == 0 || (withShift && shift == 0)) {
        qCWarning(lcTextInserter) << "cannot synthesize the paste keystroke: the keyboard map "
                                     "has no Control or V key";
        return false;
    }
    // A key held on another keyboard does not reach keys typed on the XTEST device; one held
    // on the XTEST device itself (typed by another program) does.
    const QList<int> xtestKeys = keysHeldOnXTestDevice();
    QList<::KeyCode> held;
    for (int code : std::as_const(m_modifierKeyCodes)) {
        if (xtestKeys.contains(code))
            held.append(::KeyCode(code));
    }
    for (::KeyCode code : std::as_const(held))
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    XTestFakeKeyEvent(m_display, control, True, CurrentTime);
    if (withShift)
        XTestFakeKeyEvent(m_display, shift, True, CurrentTime);
    XTestFakeKeyEvent(m_display, v, True, CurrentTime);
    XTestFakeKeyEvent(m_display, v, False, CurrentTime);
    if (withShift)
        XTestFakeKeyEvent(m_display, shift, False, CurrentTime);
    XTestFakeKeyEvent(m_display, control, False, CurrentTime);
    for (::KeyCode code : std::as_const(held))
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    XFlush(m_display);
    return true;
}

} // namespace orvanta::x11
