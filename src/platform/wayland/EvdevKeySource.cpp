#include "EvdevKeySource.h"

#include "UinputPaste.h"
#include "WaylandLogging.h"
#include "X11KeyTranslator.h"

#include <QDir>
#include <QSocketNotifier>

#include <libevdev/libevdev.h>

#include <cerrno>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orvanta::wayland {

namespace {

using x11::X11KeyTranslator;

bool isEventNode(const QString &name) {
    return name.startsWith(QLatin1String("event"));
}

std::chrono::steady_clock::time_point timeOf(const input_event &event) {
    using namespace std::chrono;
    return steady_clock::time_point(seconds(event.input_event_sec) +
                                    microseconds(event.input_event_usec));
}

} // namespace

struct EvdevKeySource::Device {
    QString path;
    int fd = -1;
    bool fn = false;
    std::unique_ptr<QSocketNotifier> notifier;
    std::map<int, ModifierKey> heldModifiers; // by Linux key code
    bool dropping = false;                    // after SYN_DROPPED, until the next SYN_REPORT
    QByteArray pending;                       // the start of an event not read whole yet

    ~Device() {
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
    }
};

EvdevCapabilities EvdevKeySource::probeDevice(int fd) {
    libevdev *device = nullptr;
    EvdevCapabilities capabilities;
    if (libevdev_new_from_fd(fd, &device) < 0)
        return capabilities;
    const auto has = [device](unsigned code) {
        return libevdev_has_event_code(device, EV_KEY, code) == 1;
    };
    capabilities.fn = has(KEY_FN);
    capabilities.keyboard = (has(KEY_A) && has(KEY_Z) && has(KEY_ESC)) || capabilities.fn;
    capabilities.name = QString::fromUtf8(libevdev_get_name(device));
    libevdev_free(device);
    return capabilities;
}

std::optional<quint16> EvdevKeySource::keyCodeFor(int linuxCode) {
    return X11KeyTranslator::keyCodeFor(linuxCode + X11KeyTranslator::evdevOffset);
}

std::optional<ModifierKey> EvdevKeySource::modifierFor(int linuxCode) {
    if (linuxCode == KEY_FN)
        return ModifierKey::Fn;
    return X11KeyTranslator::modifierFor(linuxCode + X11KeyTranslator::evdevOffset);
}

EvdevKeySource::EvdevKeySource(QObject *parent)
    : EvdevKeySource(QStringLiteral("/dev/input"), &EvdevKeySource::probeDevice, parent) {}

EvdevKeySource::EvdevKeySource(QString directory, Probe probe, QObject *parent)
    : QObject(parent)
    , m_directory(std::move(directory))
    , m_probe(std::move(probe)) {}

EvdevKeySource::~EvdevKeySource() {
    m_devices.clear();
    m_watchNotifier.reset();
    if (m_watch >= 0)
        ::close(m_watch);
}

void EvdevKeySource::setHandler(Handler handler) {
    m_handler = std::move(handler);
}

bool EvdevKeySource::start() {
    if (m_watch >= 0)
        return true;
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch < 0)
        return false;
    // IN_ATTRIB: udev gives a new node its group a moment after creating it.
    if (inotify_add_watch(watch, QFile::encodeName(m_directory).constData(),
                          IN_CREATE | IN_ATTRIB | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM) < 0) {
        qCInfo(lcEvdev) << "Cannot watch" << m_directory << ":" << strerror(errno);
        ::close(watch);
        return false;
    }
    m_watch = watch;
    scan();
    if (m_devices.empty()) {
        qCInfo(lcEvdev) << "No keyboard readable under" << m_directory;
        ::close(m_watch);
        m_watch = -1;
        return false;
    }
    m_watchNotifier = std::make_unique<QSocketNotifier>(m_watch, QSocketNotifier::Read);
    connect(m_watchNotifier.get(), &QSocketNotifier::activated, this, &EvdevKeySource::readWatch);
    return true;
}

quint64 EvdevKeySource::visibleModifiers() const {
    quint64 visible = X11KeyTranslator::visibleModifiers();
    for (const auto &[path, device] : m_devices) {
        if (device->fn)
            visible |= mask(ModifierKey::Fn);
    }
    return visible;
}

QStringList EvdevKeySource::devices() const {
    QStringList paths;
    for (const auto &[path, device] : m_devices)
        paths.append(path);
    return paths;
}

void EvdevKeySource::scan() {
    const QDir directory(m_directory);
    for (const QString &name : directory.entryList(QDir::System | QDir::Files, QDir::Name)) {
        if (isEventNode(name))
            openDevice(directory.filePath(name));
    }
}

void EvdevKeySource::readWatch() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = ::read(m_watch, buffer, sizeof buffer);
        if (length <= 0)
            return;
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            offset += ssize_t(sizeof(inotify_event) + event->len);
            const QString name = event->len ? QFile::decodeName(event->name) : QString();
            if (!isEventNode(name))
                continue;
            const QString path = QDir(m_directory).filePath(name);
            if (event->mask & (IN_DELETE | IN_MOVED_FROM))
                closeDevice(path);
            else
                openDevice(path);
        }
    }
}

void EvdevKeySource::openDevice(const QString &path) {
    if (m_devices.contains(path))
        return;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES)
            qCDebug(lcEvdev) << "Not readable:" << path;
        return;
    }
    const EvdevCapabilities capabilities = m_probe(fd);
    // The paste's own keyboard types Ctrl+V, which is no key of the user's.
    if (!capabilities.keyboard || capabilities.name == QLatin1String(UinputPaste::deviceName)) {
        ::close(fd);
        return;
    }
    // Event times on the clock the shortcut monitor measures with; a recorded stream keeps
    // the times it was recorded with.
    int clock = CLOCK_MONOTONIC;
    ioctl(fd, EVIOCSCLOCKID, &clock);

    auto device = std::make_unique<Device>();
    device->path = path;
    device->fd = fd;
    device->fn = capabilities.fn;
    device->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    Device *raw = device.get();
    connect(device->notifier.get(), &QSocketNotifier::activated, this,
            [this, raw] { readDevice(*raw); });
    qCInfo(lcEvdev) << "Keyboard" << capabilities.name << "at" << path
                    << (capabilities.fn ? "(reports fn)" : "");
    m_devices.emplace(path, std::move(device));
}

void EvdevKeySource::closeDevice(const QString &path) {
    const auto found = m_devices.find(path);
    if (found == m_devices.end())
        return;
    const bool held = !found->second->heldModifiers.empty();
    m_devices.erase(found);
    qCInfo(lcEvdev) << "Keyboard gone:" << path;
    if (held) {
        // Its modifiers were never released: that press is no tap, and they are up now.
        deliver(KeyEvent{KeyEvent::Type::OtherKeyDown, 0, flags()});
        deliver(KeyEvent{KeyEvent::Type::FlagsChanged, 0, flags()});
    }
}

void EvdevKeySource::readDevice(Device &device) {
    const QString path = device.path;
    char buffer[64 * sizeof(input_event)];
    for (;;) {
        const ssize_t length = ::read(device.fd, buffer, sizeof buffer);
        if (length < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (length <= 0) {
            // ENODEV: unplugged; the end of a recorded stream ends its device too.
            closeDevice(path);
            return;
        }
        device.pending.append(buffer, length);
        qsizetype offset = 0;
        while (device.pending.size() - offset >= qsizetype(sizeof(input_event))) {
            input_event event;
            memcpy(&event, device.pending.constData() + offset, sizeof event);
            offset += sizeof event;
            process(device, event);
            if (!m_devices.contains(path))
                return; // the handler closed it
        }
        device.pending.remove(0, offset);
    }
}

void EvdevKeySource::process(Device &device, const input_event &event) {
    if (event.type == EV_SYN) {
        if (event.code == SYN_DROPPED) {
            device.dropping = true;
        } else if (event.code == SYN_REPORT && device.dropping) {
            device.dropping = false;
            resync(device);
        }
        return;
    }
    // A repeat (value 2) is no press.
    if (event.type != EV_KEY || device.dropping || event.value == 2)
        return;
    const bool down = event.value == 1;
    const quint16 keyCode = keyCodeFor(event.code).value_or(0);
    if (const auto modifier = modifierFor(event.code)) {
        const bool wasHeld = device.heldModifiers.contains(event.code);
        if (down == wasHeld)
            return;
        if (down)
            device.heldModifiers.emplace(event.code, *modifier);
        else
            device.heldModifiers.erase(event.code);
        KeyEvent changed{KeyEvent::Type::FlagsChanged, keyCode, flags()};
        changed.time = timeOf(event);
        deliver(changed);
        return;
    }
    if (!down)
        return;
    const auto known = keyCodeFor(event.code);
    KeyEvent press{known ? KeyEvent::Type::KeyDown : KeyEvent::Type::OtherKeyDown, keyCode,
                   flags()};
    press.time = timeOf(event);
    deliver(press);
}

// Events were lost: the modifiers held are the ones the device says are down now.
void EvdevKeySource::resync(Device &device) {
    unsigned char keys[KEY_MAX / 8 + 1] = {};
    const bool known = ioctl(device.fd, EVIOCGKEY(sizeof keys), keys) >= 0;
    std::map<int, ModifierKey> held;
    for (const auto &[code, modifier] : device.heldModifiers) {
        if (known && (keys[code / 8] & (1u << (code % 8))))
            held.emplace(code, modifier);
    }
    if (held.size() == device.heldModifiers.size())
        return;
    device.heldModifiers = std::move(held);
    deliver(KeyEvent{KeyEvent::Type::OtherKeyDown, 0, flags()});
    deliver(KeyEvent{KeyEvent::Type::FlagsChanged, 0, flags()});
}

quint64 EvdevKeySource::flags() const {
    quint64 result = 0;
    for (const auto &[path, device] : m_devices) {
        for (const auto &[code, modifier] : device->heldModifiers)
            result |= mask(modifier);
    }
    return result;
}

void EvdevKeySource::deliver(const KeyEvent &event) {
    if (m_handler)
        m_handler(event);
}

} // namespace orvanta::wayland
