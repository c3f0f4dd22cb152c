#include "X11TestSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <cstring>

namespace orvanta::test {

XKeyboard::XKeyboard()
    : m_display(XOpenDisplay(nullptr)) {
    if (!m_display)
        return;
    // The server's own keyboard device, not XTEST's: the keys look typed by hand.
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(m_display, XIAllDevices, &count);
    for (int index = 0; index < count && !m_device; ++index) {
        if (devices[index].use == XISlaveKeyboard && !std::strstr(devices[index].name, "XTEST"))
            m_device = XOpenDevice(m_display, XID(devices[index].deviceid));
    }
    XIFreeDeviceInfo(devices);
}

XKeyboard::~XKeyboard() {
    if (m_device)
        XCloseDevice(m_display, static_cast<XDevice *>(m_device));
    if (m_display)
        XCloseDisplay(m_display);
}

void XKeyboard::sendCode(int xKeyCode, bool down, bool synthetic) {
    if (m_device && !synthetic)
        XTestFakeDeviceKeyEvent(m_display, static_cast<XDevice *>(m_device), unsigned(xKeyCode),
                                down, nullptr, 0, CurrentTime);
    else
        XTestFakeKeyEvent(m_display, unsigned(xKeyCode), down, CurrentTime);
    XSync(m_display, False);
}

void XKeyboard::send(const char *keySymbol, bool down, bool synthetic) {
    sendCode(XKeysymToKeycode(m_display, XStringToKeysym(keySymbol)), down, synthetic);
}

void XKeyboard::chord(std::initializer_list<const char *> keySymbols, bool synthetic) {
    for (const char *symbol : keySymbols)
        send(symbol, true, synthetic);
    for (auto it = std::rbegin(keySymbols); it != std::rend(keySymbols); ++it)
        send(*it, false, synthetic);
}

void XKeyboard::focus(unsigned long window) {
    XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    XSync(m_display, False);
}

unsigned long XKeyboard::clipboardOwner() {
    return XGetSelectionOwner(m_display, XInternAtom(m_display, "CLIPBOARD", False));
}

void XKeyboard::setWindowClass(unsigned long window, const char *name, const char *klass) {
    XClassHint hint{const_cast<char *>(name), const_cast<char *>(klass)};
    XSetClassHint(m_display, window, &hint);
    XSync(m_display, False);
}

bool XKeyboard::grabKey(const char *keySymbol, unsigned xModifiers) {
    static bool grabFailed;
    grabFailed = false;
    const auto previous =
        XSetErrorHandler([](Display *, XErrorEvent *) { return int(grabFailed = true); });
    XGrabKey(m_display, XKeysymToKeycode(m_display, XStringToKeysym(keySymbol)), xModifiers,
             DefaultRootWindow(m_display), False, GrabModeAsync, GrabModeAsync);
    XSync(m_display, False);
    XSetErrorHandler(previous);
    return !grabFailed;
}

} // namespace orvanta::test
