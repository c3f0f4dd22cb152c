#include "X11ErrorTrap.h"

#include "X11Logging.h"

#include <QList>

#include <mutex>
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

std::mutex survivorsMutex;
QList<Display *> survivors;
XIOErrorHandler previousIOHandler = nullptr;

int handleIOError(Display *display) {
    {
        std::lock_guard lock(survivorsMutex);
        if (survivors.contains(display)) {
            qCWarning(lcX11) << "an X connection broke";
            return 0; // the display's exit handler runs next and returns
        }
    }
    return previousIOHandler ? previousIOHandler(display) : 0;
}

} // namespace

void X11ErrorTrap::surviveConnectionLoss(Display *display, void (*onBroken)(Display *, void *),
                                         void *data) {
    std::lock_guard lock(survivorsMutex);
    survivors.append(display);
    XSetIOErrorExitHandler(display, onBroken, data);
    const XIOErrorHandler current = XSetIOErrorHandler(&handleIOError);
    if (current != &handleIOError)
        previousIOHandler = current;
}

void X11ErrorTrap::forget(Display *display) {
    std::lock_guard lock(survivorsMutex);
    survivors.removeAll(display);
}

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
