#include "X11ErrorTrap.h"

#include "X11Logging.h"

#include <utility>

#include <X11/Xlib.h>

namespace orvanta::x11 {

namespace {

thread_local X11ErrorTrap *currentTrap = nullptr;

int handleError(Display *display, XErrorEvent *error) {
    if (!X11ErrorTrap::record(display, error->error_code)) {
        qCDebug(lcX11) << "X error" << int(error->error_code) << "on request"
                       << int(error->request_code);
    }
    return 0;
}

} // namespace

X11ErrorTrap::X11ErrorTrap(Display *display)
    : m_display(display)
    , m_outer(currentTrap) {
    installHandler();
    currentTrap = this;
}

X11ErrorTrap::~X11ErrorTrap() {
    currentTrap = m_outer;
}

std::optional<unsigned char> X11ErrorTrap::sync() {
    XSync(m_display, False);
    return std::exchange(m_error, std::nullopt);
}

void X11ErrorTrap::installHandler() {
    if (XSetErrorHandler(&handleError) != &handleError)
        qCDebug(lcX11) << "installed the X error handler";
}

bool X11ErrorTrap::record(Display *display, unsigned char errorCode) {
    for (X11ErrorTrap *trap = currentTrap; trap; trap = trap->m_outer) {
        if (trap->m_display == display) {
            if (!trap->m_error)
                trap->m_error = errorCode;
            return true;
        }
    }
    return false;
}

} // namespace orvanta::x11
