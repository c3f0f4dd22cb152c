#include "UinputPaste.h"

#include "SeatKeymap.h"
#include "WaylandConnection.h"
#include "WaylandLogging.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orvanta::wayland {

namespace {

int closeWith(int fd, const char *step) {
    qCWarning(lcWayland) << "cannot make a uinput keyboard:" << step << std::strerror(errno);
    ::close(fd);
    return -1;
}

} // namespace

bool UinputPaste::isWritable(const char *path) {
    return ::access(path, W_OK) == 0;
}

std::unique_ptr<UinputPaste> UinputPaste::create(WaylandConnection &connection, const char *path) {
    auto keymap = std::make_unique<SeatKeymap>(connection);
    if (!connection.roundtrip())
        return nullptr;
    const int fd = createDevice(path);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<UinputPaste>(new UinputPaste(fd, std::move(keymap)));
}

UinputPaste::UinputPaste(int fd, std::unique_ptr<SeatKeymap> keymap)
    : m_fd(fd)
    , m_keymap(std::move(keymap)) {}

UinputPaste::~UinputPaste() {
    ioctl(m_fd, UI_DEV_DESTROY);
    ::close(m_fd);
}

int UinputPaste::createDevice(const char *path) {
    const int fd = ::open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        qCWarning(lcWayland) << "cannot open" << path << std::strerror(errno);
        return -1;
    }
    if (ioctl(fd, UI_SET_EVBIT, EV_KEY) < 0 || ioctl(fd, UI_SET_EVBIT, EV_SYN) < 0)
        return closeWith(fd, "UI_SET_EVBIT");
    // Every key of a keyboard: V moves when the user switches layouts.
    for (int key = KEY_ESC; key <= KEY_MICMUTE; ++key) {
        if (ioctl(fd, UI_SET_KEYBIT, key) < 0)
            return closeWith(fd, "UI_SET_KEYBIT");
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    std::strncpy(setup.name, deviceName, UINPUT_MAX_NAME_SIZE - 1);
    if (ioctl(fd, UI_DEV_SETUP, &setup) < 0)
        return closeWith(fd, "UI_DEV_SETUP");
    if (ioctl(fd, UI_DEV_CREATE) < 0)
        return closeWith(fd, "UI_DEV_CREATE");
    return fd;
}

QList<UinputPaste::Event> UinputPaste::pasteEvents(unsigned keyV, bool withShift) {
    QList<Event> events;
    const auto key = [&events](unsigned code, bool pressed) {
        events.append({EV_KEY, quint16(code), pressed ? 1 : 0});
        events.append({EV_SYN, SYN_REPORT, 0});
    };
    key(KEY_LEFTCTRL, true);
    if (withShift)
        key(KEY_LEFTSHIFT, true);
    key(keyV, true);
    key(keyV, false);
    if (withShift)
        key(KEY_LEFTSHIFT, false);
    key(KEY_LEFTCTRL, false);
    return events;
}

bool UinputPaste::writeEvents(int fd, const QList<Event> &events) {
    for (const Event &event : events) {
        input_event written{};
        written.type = event.type;
        written.code = event.code;
        written.value = event.value;
        ssize_t count = 0;
        do {
            count = ::write(fd, &written, sizeof written);
        } while (count < 0 && errno == EINTR);
        if (count != ssize_t(sizeof written)) {
            qCWarning(lcWayland) << "the uinput keyboard refused a key:" << std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool UinputPaste::send(bool withShift) {
    const unsigned keyV = m_keymap->keyV();
    if (writeEvents(m_fd, pasteEvents(keyV, withShift)))
        return true;
    // A key left down on the device would change every key the user types after.
    writeEvents(m_fd, {{EV_KEY, quint16(keyV), 0},
                       {EV_KEY, KEY_LEFTSHIFT, 0},
                       {EV_KEY, KEY_LEFTCTRL, 0},
                       {EV_SYN, SYN_REPORT, 0}});
    return false;
}

} // namespace orvanta::wayland
