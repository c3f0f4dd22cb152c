#pragma once

#include <optional>

typedef struct _XDisplay Display;

namespace orvanta::x11 {

// Xlib's default error handler ends the process. This one logs instead, and lets a thread
// collect the errors of its own requests on one display: a trap records the first error
// that arrives for its display while it lives on the current thread.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display *display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap &) = delete;
    X11ErrorTrap &operator=(const X11ErrorTrap &) = delete;

    // Waits for the answers to every request made so far; the first error code, if any.
    std::optional<unsigned char> sync();

    // Makes sure the logging handler is the process's handler (toolkits replace it).
    static void installHandler();

    // Xlib ends the process when a connection breaks. A display marked here survives that:
    // `onBroken` is called (on the thread that met the error) and the display is unusable
    // from then on; other displays end the process as before. forget() before closing it.
    static void surviveConnectionLoss(Display *display, void (*onBroken)(Display *, void *),
                                      void *data);
    static void forget(Display *display);

    // Records `errorCode` in the innermost trap of this thread for `display`, if any.
    static bool record(Display *display, unsigned char errorCode);

private:
    Display *m_display;
    X11ErrorTrap *m_outer;
    std::optional<unsigned char> m_error;
};

} // namespace orvanta::x11
