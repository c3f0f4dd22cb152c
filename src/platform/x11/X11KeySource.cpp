#include "X11KeySource.h"

#include "X11ErrorTrap.h"
#include "X11Logging.h"

#include <QByteArray>
#include <QMetaObject>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace orvanta::x11 {

namespace {

std::optional<ModifierKey> modifierOfSymbol(KeySym symbol) {
    switch (symbol) {
    case XK_Control_L:
    case XK_Control_R:
        return ModifierKey::Control;
    case XK_Shift_L:
    case XK_Shift_R:
        return ModifierKey::Shift;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
        return ModifierKey::Option;
    case XK_Super_L:
    case XK_Super_R:
    case XK_Hyper_L:
    case XK_Hyper_R:
        return ModifierKey::Command;
    default:
        return std::nullopt;
    }
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
    if (m_display && m_running)
        return true;
    if (m_display) {
        qCInfo(lcX11) << "the key thread ended on an error; starting it again";
        closeDisplay();
    }
    if (!openDisplay())
        return false;
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcX11) << "cannot create the key thread's wake-up pipe";
        closeDisplay();
        return false;
    }
    m_stopping = false;
    m_running = true;
    {
        std::lock_guard lock(m_grabMutex);
        m_grabsDirty = true; // the grabs of a broken connection are gone with it
        m_requestChanged = true;
    }
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

    // A broken connection ends the key thread instead of the process.
    m_connectionBroken = false;
    X11ErrorTrap::surviveConnectionLoss(
        display,
        [](Display *, void *self) { static_cast<X11KeySource *>(self)->m_connectionBroken = true; },
        this);

    unsigned char rawBits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(rawBits, XI_RawKeyPress);
    XISetMask(rawBits, XI_RawKeyRelease);
    unsigned char hierarchyBits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(hierarchyBits, XI_HierarchyChanged);
    XIEventMask masks[] = {
        {XIAllMasterDevices, static_cast<int>(sizeof(rawBits)), rawBits},
        {XIAllDevices, static_cast<int>(sizeof(hierarchyBits)), hierarchyBits},
    };
    XISelectEvents(display, DefaultRootWindow(display), masks, 2);

    int xkbOpcode = 0;
    int xkbError = 0;
    int xkbMajor = XkbMajorVersion;
    int xkbMinor = XkbMinorVersion;
    m_xkbEventBase = -1;
    if (XkbQueryExtension(display, &xkbOpcode, &m_xkbEventBase, &xkbError, &xkbMajor, &xkbMinor)) {
        const unsigned which = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
        XkbSelectEvents(display, XkbUseCoreKbd, which, which);
    }

    m_display = display;
    readKeyboardMap();
    readXTestDevices();

    char keys[32] = {};
    XQueryKeymap(display, keys);
    std::array<bool, X11KeyTranslator::keyCodeCount> pressed{};
    for (int code = 0; code < X11KeyTranslator::keyCodeCount; ++code)
        pressed[code] = (keys[code / 8] >> (code % 8)) & 1;
    m_translator.reset(pressed);

    X11ErrorTrap::installHandler();
    XSync(display, False);
    return true;
}

// Which keys are which modifier, and which Mod bits mean option and command, as the
// keyboard map says now (ctrl:nocaps makes CapsLock a Control key, altwin:swap_alt_win swaps
// the bits).
void X11KeySource::readKeyboardMap() {
    X11KeyTranslator::ModifierKeys keys{};
    X11KeyTranslator::ModifierBits bits{0, 0, 0};
    XModifierKeymap *map = XGetModifierMapping(m_display);
    if (!map) {
        m_bits = X11KeyTranslator::ModifierBits{};
        m_translator.setModifierKeys(X11KeyTranslator::defaultModifierKeys());
        return;
    }
    for (int index = ShiftMapIndex; index <= Mod5MapIndex; ++index) {
        if (index == LockMapIndex)
            continue;
        for (int slot = 0; slot < map->max_keypermod; ++slot) {
            const ::KeyCode code = map->modifiermap[index * map->max_keypermod + slot];
            if (code == 0)
                continue;
            const KeySym symbol = XkbKeycodeToKeysym(m_display, code, 0, 0);
            if (symbol == XK_Num_Lock && index >= Mod1MapIndex)
                bits.numLock = 1u << index;
            const auto modifier = modifierOfSymbol(symbol);
            if (!modifier)
                continue;
            keys[code] = modifier;
            if (index >= Mod1MapIndex && *modifier == ModifierKey::Option && !bits.option)
                bits.option = 1u << index;
            if (index >= Mod1MapIndex && *modifier == ModifierKey::Command && !bits.command)
                bits.command = 1u << index;
        }
    }
    XFreeModifiermap(map);
    const X11KeyTranslator::ModifierBits fallback;
    m_bits.option = bits.option ? bits.option : fallback.option;
    m_bits.command = bits.command ? bits.command : fallback.command;
    m_bits.numLock = bits.numLock ? bits.numLock : fallback.numLock;
    m_translator.setModifierKeys(keys);
}

// The XTEST devices, whose keys are synthesized: the paste keystroke and its modifiers.
void X11KeySource::readXTestDevices() {
    m_xtestDevices.clear();
    const Atom xtestProperty = XInternAtom(m_display, "XTEST Device", True);
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(m_display, XIAllDevices, &count);
    for (int index = 0; index < count; ++index) {
        const XIDeviceInfo &device = devices[index];
        if (device.use != XISlaveKeyboard)
            continue;
        bool isXTest = QByteArray(device.name).endsWith(" XTEST keyboard");
        if (xtestProperty != None) {
            Atom type = None;
            int format = 0;
            unsigned long items = 0;
            unsigned long after = 0;
            unsigned char *data = nullptr;
            if (XIGetProperty(m_display, device.deviceid, xtestProperty, 0, 1, False,
                              AnyPropertyType, &type, &format, &items, &after, &data) == Success &&
                data) {
                isXTest = items > 0 && format == 8 && data[0] != 0;
                XFree(data);
            }
        }
        if (isXTest)
            m_xtestDevices.append(device.deviceid);
    }
    XIFreeDeviceInfo(devices);
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
    if (m_display && m_connectionBroken) {
        // Xlib cannot close a display whose connection broke (XCloseDisplay waits forever
        // for its lock); it is kept, unusable, for the life of the process.
        static QList<Display *> lost;
        lost.append(m_display);
        m_display = nullptr;
    } else if (m_display) {
        XCloseDisplay(m_display);
        X11ErrorTrap::forget(m_display);
        m_display = nullptr;
    }
}

void X11KeySource::setConsumedShortcuts(const QList<Shortcut> &shortcuts) {
    {
        std::lock_guard lock(m_grabMutex);
        m_requested = shortcuts;
        m_grabsDirty = true;
        m_requestChanged = true;
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
    grab.numLock = m_bits.numLock;
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
    while (!m_stopping && !m_connectionBroken) {
        applyGrabs();
        processPending();
        if (m_connectionBroken)
            break;
        {
            std::lock_guard lock(m_grabMutex);
            if (m_grabsDirty)
                continue; // the keyboard map changed: grab again before waiting
        }
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            qCWarning(lcX11) << "waiting for key events failed:" << strerror(errno);
            break;
        }
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            qCWarning(lcX11) << "the X connection of the key thread closed";
            m_connectionBroken = true;
            break;
        }
        char drain[64];
        while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {
        }
    }
    if (m_connectionBroken) {
        qCWarning(lcX11) << "lost the X connection; shortcuts are off until it is opened again";
        m_active.clear();
    } else {
        for (const Grab &active : std::as_const(m_active))
            ungrab(active);
        m_active.clear();
        XSync(m_display, False);
    }
    m_running = false;
}

void X11KeySource::processPending() {
    while (!m_connectionBroken && XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        std::optional<KeyEvent> translated;
        if (event.type == KeyPress) {
            // One of our grabs took it: matched on the state the grab was matched against.
            // Its raw event came first and told whether XTEST typed it.
            const unsigned code = event.xkey.keycode;
            if (code < m_syntheticPress.size() && !m_syntheticPress[code])
                translated = X11KeyTranslator::grabbedPress(int(code), event.xkey.state, m_bits);
        } else if (event.type == MappingNotify ||
                   (m_xkbEventBase >= 0 && event.type == m_xkbEventBase)) {
            if (event.type == MappingNotify)
                XRefreshKeyboardMapping(&event.xmapping);
            readKeyboardMap();
            std::lock_guard lock(m_grabMutex);
            m_grabsDirty = true; // grabs name modifier bits, which may have moved
            continue;
        } else if (event.type == GenericEvent && event.xcookie.extension == m_xiOpcode &&
                   XGetEventData(m_display, &event.xcookie)) {
            XGenericEventCookie *cookie = &event.xcookie;
            if (cookie->evtype == XI_HierarchyChanged) {
                readXTestDevices();
            } else if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
                const auto *raw = static_cast<const XIRawEvent *>(cookie->data);
                const bool synthetic = m_xtestDevices.contains(raw->sourceid);
                if (cookie->evtype == XI_RawKeyPress && raw->detail >= 0 &&
                    size_t(raw->detail) < m_syntheticPress.size())
                    m_syntheticPress[size_t(raw->detail)] = synthetic;
                if (!synthetic) {
                    translated = cookie->evtype == XI_RawKeyPress
                                     ? m_translator.press(raw->detail)
                                     : m_translator.release(raw->detail);
                }
            }
            XFreeEventData(m_display, cookie);
        }
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
        if (m_requestChanged)
            m_refused.clear(); // a new request asks again for every combination
        m_requestChanged = false;
    }
    QList<Grab> wanted;
    QStringList refused;
    for (const Shortcut &shortcut : std::as_const(requested)) {
        wanted.append(grabFor(shortcut));
        if (wanted.last().xKeyCode == 0) {
            qCWarning(lcX11).noquote()
                << "the shortcut" << wanted.last().display << "has no key on this keyboard";
            refused.append(wanted.takeLast().display);
        }
    }
    // A grab that stays is left in place: the server sends a keyboard map notice each time
    // another device types (the user's first key after our paste keystroke), and taking the
    // grabs off and on again would let a combination typed meanwhile through to the window.
    const auto holds = [](const QList<Grab> &grabs, const Grab &grab) {
        return std::any_of(grabs.cbegin(), grabs.cend(), [&grab](const Grab &other) {
            return other.xKeyCode == grab.xKeyCode && other.modifiers == grab.modifiers &&
                   other.numLock == grab.numLock;
        });
    };
    QList<Grab> kept;
    for (const Grab &active : std::as_const(m_active)) {
        if (holds(wanted, active))
            kept.append(active);
        else
            ungrab(active);
    }
    m_active = kept;
    // A combination refused before is not tried again on a keyboard map notice: trying takes
    // the lock variants the other client does not hold for a moment, long enough to swallow a
    // press of the user's that was meant for that client.
    QList<Grab> stillRefused;
    for (const Grab &next : std::as_const(wanted)) {
        if (holds(m_active, next))
            continue;
        const bool refusedBefore = holds(m_refused, next);
        if (!refusedBefore && grab(next)) {
            m_active.append(next);
            continue;
        }
        if (!refusedBefore) {
            qCWarning(lcX11).noquote()
                << "the shortcut" << next.display << "is already taken by another application";
        }
        refused.append(next.display);
        stillRefused.append(next);
    }
    m_refused = stillRefused;
    XFlush(m_display);
    QMetaObject::invokeMethod(
        this, [this, refused] { emit consumedShortcutsApplied(refused); }, Qt::QueuedConnection);
}

bool X11KeySource::grab(const Grab &grab) {
    const auto take = [this, &grab](std::initializer_list<unsigned> variants) {
        X11ErrorTrap trap(m_display);
        for (unsigned extra : variants) {
            XGrabKey(m_display, grab.xKeyCode, grab.modifiers | extra, DefaultRootWindow(m_display),
                     False, GrabModeAsync, GrabModeAsync);
        }
        return !trap.sync();
    };
    // A grab matches exact modifier states, so the lock modifiers need variants of their own.
    // The plain one goes first and alone: when another client holds the combination, taking
    // its lock variants meanwhile would swallow the user's presses of it with CapsLock on.
    if (!take({0}))
        return false;
    if (take({LockMask, grab.numLock, LockMask | grab.numLock}))
        return true;
    X11ErrorTrap trap(m_display);
    ungrab(grab); // keep none of the variants that did succeed
    trap.sync();
    return false;
}

void X11KeySource::ungrab(const Grab &grab) {
    const unsigned variants[] = {0, LockMask, grab.numLock, LockMask | grab.numLock};
    for (unsigned extra : variants)
        XUngrabKey(m_display, grab.xKeyCode, grab.modifiers | extra, DefaultRootWindow(m_display));
}

} // namespace orvanta::x11
