#include "X11KeySource.h"

#include "X11ErrorTrap.h"
#include "X11Logging.h"

#include <QMetaObject>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace orvanta::x11 {

namespace {

// The modifier bit (Mod1…Mod5) a key with this symbol sets, or `fallback`.
unsigned modifierBitOf(Display *display, KeySym symbol, unsigned fallback) {
    const ::KeyCode keyCode = XKeysymToKeycode(display, symbol);
    XModifierKeymap *map = XGetModifierMapping(display);
    if (!map || keyCode == 0) {
        if (map)
            XFreeModifiermap(map);
        return fallback;
    }
    unsigned bit = fallback;
    for (int index = Mod1MapIndex; index <= Mod5MapIndex; ++index) {
        for (int slot = 0; slot < map->max_keypermod; ++slot) {
            if (map->modifiermap[index * map->max_keypermod + slot] == keyCode)
                bit = 1u << index;
        }
    }
    XFreeModifiermap(map);
    return bit;
}

} // namespace

X11KeySource::X11KeySource(QObject *parent)
    : QObject(parent) {}

X11KeySource::~X11KeySource() {
    closeDisplay();
}

void X11KeySource::setHandler(Handler handler) {
    m_handler = std::move(handler);
}

bool X11KeySource::start() {
    if (m_display)
        return true;
    if (!openDisplay())
        return false;
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcX11) << "cannot create the key thread's wake-up pipe";
        closeDisplay();
        return false;
    }
    m_stopping = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

bool X11KeySource::openDisplay() {
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        qCInfo(lcX11) << "no X display to watch the keyboard on";
        return false;
    }
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 2;
    const bool hasXInput =
        XQueryExtension(display, "XInputExtension", &m_xiOpcode, &event, &error) &&
        XIQueryVersion(display, &major, &minor) == Success &&
        (major > 2 || (major == 2 && minor >= 2));
    int xtestEvent = 0;
    int xtestError = 0;
    const bool hasXTest = XTestQueryExtension(display, &xtestEvent, &xtestError, &major, &minor);
    if (!hasXInput || !hasXTest) {
        qCWarning(lcX11) << "the X server lacks" << (hasXInput ? "XTEST" : "XInput 2.2");
        XCloseDisplay(display);
        return false;
    }

    unsigned char maskBits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(maskBits, XI_RawKeyPress);
    XISetMask(maskBits, XI_RawKeyRelease);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof(maskBits)), maskBits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);

    m_bits.command = modifierBitOf(display, XK_Super_L, Mod4Mask);
    m_bits.option = modifierBitOf(display, XK_Alt_L, Mod1Mask);
    m_bits.numLock = modifierBitOf(display, XK_Num_Lock, Mod2Mask);

    char keys[32] = {};
    XQueryKeymap(display, keys);
    std::array<bool, X11KeyTranslator::keyCodeCount> pressed{};
    for (int code = 0; code < X11KeyTranslator::keyCodeCount; ++code)
        pressed[code] = (keys[code / 8] >> (code % 8)) & 1;
    m_translator.reset(pressed);

    X11ErrorTrap::installHandler();
    XSync(display, False);
    m_display = display;
    return true;
}

void X11KeySource::closeDisplay() {
    if (m_thread.joinable()) {
        m_stopping = true;
        wake();
        m_thread.join();
    }
    for (int &fd : m_wakePipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    if (m_display) {
        XCloseDisplay(m_display);
        m_display = nullptr;
    }
}

void X11KeySource::setConsumedShortcuts(const QList<Shortcut> &shortcuts) {
    {
        std::lock_guard lock(m_grabMutex);
        m_requested = shortcuts;
        m_grabsDirty = true;
    }
    wake();
}

void X11KeySource::wake() {
    if (m_wakePipe[1] < 0)
        return;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakePipe[1], &byte, 1);
}

X11KeySource::Grab X11KeySource::grabFor(const Shortcut &shortcut) const {
    Grab grab;
    grab.display = shortcut.display;
    if (shortcut.keyCode)
        grab.xKeyCode = X11KeyTranslator::xKeyCodeFor(*shortcut.keyCode).value_or(0);
    grab.modifiers = xModifiers(shortcut.mods);
    return grab;
}

unsigned X11KeySource::xModifiers(const QList<ModifierKey> &mods) const {
    unsigned bits = 0;
    for (ModifierKey key : mods) {
        switch (key) {
        case ModifierKey::Control:
            bits |= ControlMask;
            break;
        case ModifierKey::Shift:
            bits |= ShiftMask;
            break;
        case ModifierKey::Option:
            bits |= m_bits.option;
            break;
        case ModifierKey::Command:
            bits |= m_bits.command;
            break;
        case ModifierKey::Fn:
            break; // never reaches X; matching leaves it out as well
        }
    }
    return bits;
}

void X11KeySource::run() {
    pollfd fds[2] = {{ConnectionNumber(m_display), POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
    while (!m_stopping) {
        applyGrabs();
        processPending();
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        char drain[64];
        while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {
        }
    }
    for (const Grab &active : std::as_const(m_active))
        ungrab(active);
    m_active.clear();
    XSync(m_display, False);
}

void X11KeySource::processPending() {
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        XGenericEventCookie *cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != m_xiOpcode ||
            !XGetEventData(m_display, cookie))
            continue; // key events of our own grabs end here, unused
        const auto *raw = static_cast<const XIRawEvent *>(cookie->data);
        std::optional<KeyEvent> translated;
        if (cookie->evtype == XI_RawKeyPress)
            translated = m_translator.press(raw->detail);
        else if (cookie->evtype == XI_RawKeyRelease)
            translated = m_translator.release(raw->detail);
        XFreeEventData(m_display, cookie);
        if (translated) {
            translated->time = std::chrono::steady_clock::now();
            QMetaObject::invokeMethod(
                this, [this, event = *translated] { deliver(event); }, Qt::QueuedConnection);
        }
    }
}

void X11KeySource::deliver(const KeyEvent &event) {
    if (m_handler)
        m_handler(event);
}

void X11KeySource::applyGrabs() {
    QList<Shortcut> requested;
    {
        std::lock_guard lock(m_grabMutex);
        if (!m_grabsDirty)
            return;
        m_grabsDirty = false;
        requested = m_requested;
    }
    for (const Grab &active : std::as_const(m_active))
        ungrab(active);
    m_active.clear();

    QStringList refused;
    for (const Shortcut &shortcut : std::as_const(requested)) {
        const Grab wanted = grabFor(shortcut);
        if (wanted.xKeyCode == 0) {
            qCWarning(lcX11).noquote()
                << "the shortcut" << wanted.display << "has no key on this keyboard";
            refused.append(wanted.display);
        } else if (grab(wanted)) {
            m_active.append(wanted);
        } else {
            qCWarning(lcX11).noquote()
                << "the shortcut" << wanted.display << "is already taken by another application";
            refused.append(wanted.display);
        }
    }
    XFlush(m_display);
    QMetaObject::invokeMethod(
        this, [this, refused] { emit consumedShortcutsApplied(refused); }, Qt::QueuedConnection);
}

bool X11KeySource::grab(const Grab &grab) {
    // A grab matches exact modifier states, so the lock modifiers need variants of their own.
    const unsigned variants[] = {0, LockMask, m_bits.numLock, LockMask | m_bits.numLock};
    X11ErrorTrap trap(m_display);
    for (unsigned extra : variants) {
        XGrabKey(m_display, grab.xKeyCode, grab.modifiers | extra, DefaultRootWindow(m_display),
                 False, GrabModeAsync, GrabModeAsync);
    }
    if (!trap.sync())
        return true;
    ungrab(grab); // keep none of the variants that did succeed
    trap.sync();
    return false;
}

void X11KeySource::ungrab(const Grab &grab) {
    const unsigned variants[] = {0, LockMask, m_bits.numLock, LockMask | m_bits.numLock};
    for (unsigned extra : variants)
        XUngrabKey(m_display, grab.xKeyCode, grab.modifiers | extra, DefaultRootWindow(m_display));
}

} // namespace orvanta::x11
