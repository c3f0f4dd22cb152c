#include "X11Session.h"

#include "X11Logging.h"

#include <QGuiApplication>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <memory>

namespace orvanta::x11 {

namespace {

struct DisplayCloser {
    void operator()(Display *display) const { XCloseDisplay(display); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

// The application's own connection where Qt runs on X11, so no second one is opened.
Display *applicationDisplay() {
    if (auto *x11 =
            qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        return x11->display();
    return nullptr;
}

} // namespace

bool inputAccessAvailable() {
    DisplayHandle own;
    Display *display = applicationDisplay();
    if (!display) {
        own.reset(XOpenDisplay(nullptr));
        display = own.get();
    }
    if (!display)
        return false;
    int opcode = 0, event = 0, error = 0, major = 2, minor = 2;
    const bool xinput = XQueryExtension(display, "XInputExtension", &opcode, &event, &error) &&
                        XIQueryVersion(display, &major, &minor) == Success &&
                        (major > 2 || (major == 2 && minor >= 2));
    int xtestMajor = 0, xtestMinor = 0;
    const bool xtest = XTestQueryExtension(display, &event, &error, &xtestMajor, &xtestMinor);
    return xinput && xtest;
}

bool compositorRunning() {
    Display *display = applicationDisplay();
    if (!display)
        return false;
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom atom = XInternAtom(display, selection.constData(), False);
    return XGetSelectionOwner(display, atom) != None;
}

void keepOnAllWorkspaces(QWindow &window) {
    Display *display = applicationDisplay();
    if (!display)
        return;
    const auto id = static_cast<::Window>(window.winId());
    const Atom desktop = XInternAtom(display, "_NET_WM_DESKTOP", False);
    const unsigned long allDesktops = 0xFFFFFFFF;
    XChangeProperty(display, id, desktop, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&allDesktops), 1);
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom wanted[] = {XInternAtom(display, "_NET_WM_STATE_STICKY", False),
                           XInternAtom(display, "_NET_WM_STATE_ABOVE", False),
                           XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False),
                           XInternAtom(display, "_NET_WM_STATE_SKIP_PAGER", False)};
    XChangeProperty(display, id, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(wanted), 4);
    XFlush(display);
}

} // namespace orvanta::x11
