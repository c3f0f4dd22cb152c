#pragma once

#include "PasteKeystroke.h"

#include <QByteArray>
#include <QList>

#include <memory>

namespace orvanta::wayland {

class SeatKeymap;
class WaylandConnection;

// Types the paste keystroke on a keyboard device of our own made through /dev/uinput: the
// last way to type, for compositors with no protocol of their own and no portal keyboard.
// The compositor reads the device like any keyboard, through the session's keyboard map,
// so V is the key that map has V on. The device lives as long as this object.
class UinputPaste final : public PasteKeystroke {
public:
    // One input event as the device is written.
    struct Event {
        quint16 type;
        quint16 code;
        qint32 value;
        bool operator==(const Event &) const = default;
    };

    static constexpr char devicePath[] = "/dev/uinput";
    // The name the device is announced with; our own key source leaves it out.
    static constexpr char deviceName[] = "Talvo paste keyboard";

    // Whether this process may make input devices.
    static bool isWritable(const char *path = devicePath);
    // Nothing when the device cannot be made.
    static std::unique_ptr<UinputPaste> create(WaylandConnection &connection,
                                               const char *path = devicePath);
    ~UinputPaste() override;
    UinputPaste(const UinputPaste &) = delete;
    UinputPaste &operator=(const UinputPaste &) = delete;

    bool send(bool withShift) override;

    // Ctrl(+Shift)+V with V on `keyV`, each key change reported on its own.
    static QList<Event> pasteEvents(unsigned keyV, bool withShift);
    // Sets up and creates a keyboard device at `path`; its descriptor, or -1 on any error.
    static int createDevice(const char *path);
    // Writes every event whole; false on any error.
    static bool writeEvents(int fd, const QList<Event> &events);

private:
    UinputPaste(int fd, std::unique_ptr<SeatKeymap> keymap);

    int m_fd = -1;
    std::unique_ptr<SeatKeymap> m_keymap;
};

} // namespace orvanta::wayland
