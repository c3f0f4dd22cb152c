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

    // Records `errorCode` in the innermost trap of this thread for `display`, if any.
    static bool record(Display *display, unsigned char errorCode);

private:
    Display *m_display;
    X11ErrorTrap *m_outer;
    std::optional<unsigned char> m_error;
};

} // namespace orvanta::x11
