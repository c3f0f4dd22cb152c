#pragma once

#include "KeySource.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QSocketNotifier;
struct input_event;

namespace orvanta::wayland {

// What a device under /dev/input offers, as far as the key source cares.
struct EvdevCapabilities {
    bool keyboard = false; // types letters, or at least reports KEY_FN
    bool fn = false;       // reports KEY_FN
    QString name;
};

// Watches every keyboard the user may read under /dev/input (members of the `input` group),
// whichever application has the focus, and follows keyboards that come and go. It never
// grabs a device, so it cannot take a combination away from the focused application: the
// consumed set is ignored. Auto-repeats are no presses. Reading happens on the
// thread this object lives on (the main thread), from non-blocking descriptors.
class EvdevKeySource final : public QObject, public KeySource {
    Q_OBJECT

public:
    using Probe = std::function<EvdevCapabilities(int fd)>;

    // Asks the device itself through libevdev; nothing that is not an evdev device passes.
    static EvdevCapabilities probeDevice(int fd);
    // The bindings' key code of a Linux key code, from the one key table.
    static std::optional<quint16> keyCodeFor(int linuxCode);
    static std::optional<ModifierKey> modifierFor(int linuxCode);

    explicit EvdevKeySource(QObject *parent = nullptr);
    // Watches `directory` instead of /dev/input and tells keyboards with `probe`.
    EvdevKeySource(QString directory, Probe probe, QObject *parent = nullptr);
    ~EvdevKeySource() override;

    void setHandler(Handler handler) override;
    // True once at least one keyboard could be opened; keyboards plugged in later join.
    bool start() override;
    bool isStarted() const override { return m_watch >= 0; }
    // fn only while a keyboard that reports KEY_FN is open.
    quint64 visibleModifiers() const override;
    // Nothing to do: a device that is not grabbed cannot keep keys from other applications.
    void setConsumedShortcuts(const QList<Shortcut> &) override {}

    // The keyboards open now, by path.
    QStringList devices() const;

private:
    struct Device;

    void scan();
    void readWatch();
    void openDevice(const QString &path);
    void closeDevice(const QString &path);
    void readDevice(Device &device);
    void process(Device &device, const input_event &event);
    void resync(Device &device);
    quint64 flags() const;
    void deliver(const KeyEvent &event);

    QString m_directory;
    Probe m_probe;
    Handler m_handler;
    int m_watch = -1;
    std::unique_ptr<QSocketNotifier> m_watchNotifier;
    std::map<QString, std::unique_ptr<Device>> m_devices;
};

} // namespace orvanta::wayland
