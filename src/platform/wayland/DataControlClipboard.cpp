#include "DataControlClipboard.h"

#include "WaylandConnection.h"
#include "WaylandLogging.h"

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace orvanta::wayland {

namespace {

using namespace std::chrono;

// Both protocols have the same requests and events in the same order, so one set of
// opcodes and listeners serves either.
enum ManagerRequest : quint32 { createDataSource = 0, getDataDevice = 1, destroyManager = 2 };
enum DeviceRequest : quint32 { setSelection = 0, destroyDevice = 1 };
enum SourceRequest : quint32 { offerFormat = 0, destroySource = 1 };
enum OfferRequest : quint32 { receiveFormat = 0, destroyOffer = 1 };

struct DeviceListener {
    void (*dataOffer)(void *, wl_proxy *, wl_proxy *);
    void (*selection)(void *, wl_proxy *, wl_proxy *);
    void (*finished)(void *, wl_proxy *);
    void (*primarySelection)(void *, wl_proxy *, wl_proxy *);
};
struct OfferListener {
    void (*offer)(void *, wl_proxy *, const char *);
};
struct SourceListener {
    void (*send)(void *, wl_proxy *, const char *, int);
    void (*cancelled)(void *, wl_proxy *);
};

constexpr DeviceListener deviceListener = {
    &DataControlClipboard::onDataOffer,
    &DataControlClipboard::onSelection,
    &DataControlClipboard::onFinished,
    &DataControlClipboard::onPrimarySelection,
};
constexpr OfferListener offerListener = {&DataControlClipboard::onOfferMimeType};
constexpr SourceListener sourceListener = {&DataControlClipboard::onSend,
                                           &DataControlClipboard::onCancelled};

template <typename Listener> void listen(wl_proxy *proxy, const Listener &listener, void *data) {
    // The listener structs above match the protocol's event order; libwayland takes them as
    // arrays of function pointers.
    wl_proxy_add_listener(
        proxy, reinterpret_cast<void (**)(void)>(const_cast<Listener *>(&listener)), data);
}

void destroyProxy(wl_proxy *proxy, quint32 destructorOpcode) {
    wl_proxy_marshal_flags(proxy, destructorOpcode, nullptr, wl_proxy_get_version(proxy),
                           WL_MARSHAL_FLAG_DESTROY);
}

// Writes all of `bytes` to `fd`, giving up when the reader stops reading for a second.
void writeAll(int fd, const QByteArray &bytes) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t result =
            ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (result > 0) {
            written += result;
            continue;
        }
        if (result < 0 && errno == EINTR)
            continue;
        pollfd writable{fd, POLLOUT, 0};
        if (result < 0 && errno == EAGAIN && poll(&writable, 1, 1000) > 0)
            continue;
        qCWarning(lcWayland) << "a clipboard reader stopped reading after" << written << "of"
                             << bytes.size() << "bytes";
        return;
    }
}

} // namespace

const DataControlClipboard::Interfaces &DataControlClipboard::standardInterfaces() {
    static const Interfaces interfaces{
        &ext_data_control_manager_v1_interface, &ext_data_control_device_v1_interface,
        &ext_data_control_source_v1_interface, &ext_data_control_offer_v1_interface};
    return interfaces;
}

const DataControlClipboard::Interfaces &DataControlClipboard::wlrootsInterfaces() {
    static const Interfaces interfaces{
        &zwlr_data_control_manager_v1_interface, &zwlr_data_control_device_v1_interface,
        &zwlr_data_control_source_v1_interface, &zwlr_data_control_offer_v1_interface};
    return interfaces;
}

std::unique_ptr<DataControlClipboard> DataControlClipboard::create(WaylandConnection &connection) {
    if (!connection.seat())
        return nullptr;
    for (const Interfaces *interfaces : {&standardInterfaces(), &wlrootsInterfaces()}) {
        auto *manager = static_cast<wl_proxy *>(connection.bind(*interfaces->manager, 1));
        if (!manager)
            continue;
        std::unique_ptr<DataControlClipboard> clipboard(
            new DataControlClipboard(connection, *interfaces, manager));
        // The current selection arrives with the device's first events.
        if (!connection.roundtrip())
            return nullptr;
        return clipboard;
    }
    return nullptr;
}

DataControlClipboard::DataControlClipboard(WaylandConnection &connection,
                                           const Interfaces &interfaces, wl_proxy *manager)
    : m_connection(connection)
    , m_interfaces(interfaces)
    , m_manager(manager) {
    m_device =
        wl_proxy_marshal_flags(m_manager, getDataDevice, m_interfaces.device,
                               wl_proxy_get_version(m_manager), 0, nullptr, m_connection.seat());
    listen(m_device, deviceListener, this);
}

DataControlClipboard::~DataControlClipboard() {
    for (wl_proxy *offer : m_offers.keys())
        destroyProxy(offer, destroyOffer);
    for (wl_proxy *source : m_sources.keys())
        destroyProxy(source, destroySource);
    if (m_device)
        destroyProxy(m_device, destroyDevice);
    destroyProxy(m_manager, destroyManager);
    m_connection.flush();
}

QByteArray DataControlClipboard::protocolName() const {
    return QByteArray(m_interfaces.manager->name);
}

std::optional<DataControlClipboard::Formats>
DataControlClipboard::read(std::chrono::milliseconds limit) {
    m_connection.dispatch(milliseconds(0));
    if (holdsOwnOffer())
        return m_sources.value(m_ownSource);
    Formats formats;
    if (!m_selection)
        return formats;
    const auto deadline = steady_clock::now() + limit;
    const QStringList offered = m_offers.value(m_selection);
    for (const QString &format : offered) {
        if (!isRestorableFormat(format))
            continue;
        std::optional<QByteArray> bytes = receive(m_selection, format, deadline);
        if (!bytes)
            return std::nullopt;
        formats.append({format, *bytes});
    }
    return formats;
}

std::optional<QByteArray> DataControlClipboard::receive(wl_proxy *offer, const QString &format,
                                                        steady_clock::time_point deadline) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return std::nullopt;
    const QByteArray mimeType = format.toUtf8();
    wl_proxy_marshal_flags(offer, receiveFormat, nullptr, wl_proxy_get_version(offer), 0,
                           mimeType.constData(), pipeFds[1]);
    ::close(pipeFds[1]);
    m_connection.flush();

    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(pipeFds[0], buffer, sizeof buffer);
        if (count > 0) {
            bytes.append(buffer, count);
            continue;
        }
        if (count == 0)
            break;
        if (errno == EINTR)
            continue;
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        pollfd readable{pipeFds[0], POLLIN, 0};
        if (errno != EAGAIN || left.count() <= 0 || poll(&readable, 1, int(left.count())) <= 0) {
            qCWarning(lcWayland) << "the clipboard's owner did not hand over" << format;
            ::close(pipeFds[0]);
            return std::nullopt;
        }
    }
    ::close(pipeFds[0]);
    return bytes;
}

bool DataControlClipboard::put(const Formats &formats) {
    if (!m_device)
        return false;
    wl_proxy *source = nullptr;
    if (!formats.isEmpty()) {
        source = wl_proxy_marshal_flags(m_manager, createDataSource, m_interfaces.source,
                                        wl_proxy_get_version(m_manager), 0, nullptr);
        listen(source, sourceListener, this);
        for (const auto &[format, bytes] : formats) {
            const QByteArray mimeType = format.toUtf8();
            wl_proxy_marshal_flags(source, offerFormat, nullptr, wl_proxy_get_version(source), 0,
                                   mimeType.constData());
        }
        m_sources.insert(source, formats);
    }
    wl_proxy_marshal_flags(m_device, setSelection, nullptr, wl_proxy_get_version(m_device), 0,
                           source);
    m_ownSource = source;
    return m_connection.flush();
}

bool DataControlClipboard::holdsOwnOffer() {
    m_connection.dispatch(std::chrono::milliseconds(0));
    return m_ownSource && m_sources.contains(m_ownSource);
}

void DataControlClipboard::forgetOffer(wl_proxy *offer) {
    if (offer && m_offers.remove(offer))
        destroyProxy(offer, destroyOffer);
}

void DataControlClipboard::onDataOffer(void *data, wl_proxy *, wl_proxy *offer) {
    auto *self = static_cast<DataControlClipboard *>(data);
    self->m_offers.insert(offer, {});
    listen(offer, offerListener, self);
}

void DataControlClipboard::onOfferMimeType(void *data, wl_proxy *offer, const char *mimeType) {
    auto *self = static_cast<DataControlClipboard *>(data);
    self->m_offers[offer].append(QString::fromUtf8(mimeType));
}

void DataControlClipboard::onSelection(void *data, wl_proxy *, wl_proxy *offer) {
    auto *self = static_cast<DataControlClipboard *>(data);
    if (self->m_selection != offer)
        self->forgetOffer(self->m_selection);
    self->m_selection = offer;
}

void DataControlClipboard::onPrimarySelection(void *data, wl_proxy *, wl_proxy *offer) {
    // The primary selection is not this clipboard's business; its offers are not kept.
    auto *self = static_cast<DataControlClipboard *>(data);
    if (offer != self->m_selection)
        self->forgetOffer(offer);
}

void DataControlClipboard::onFinished(void *data, wl_proxy *) {
    auto *self = static_cast<DataControlClipboard *>(data);
    qCWarning(lcWayland) << "the compositor withdrew the clipboard device";
    destroyProxy(self->m_device, destroyDevice);
    self->m_device = nullptr;
}

void DataControlClipboard::onSend(void *data, wl_proxy *source, const char *mimeType, int fd) {
    auto *self = static_cast<DataControlClipboard *>(data);
    const Formats formats = self->m_sources.value(source);
    const QString wanted = QString::fromUtf8(mimeType);
    for (const auto &[format, bytes] : formats) {
        if (format == wanted) {
            writeAll(fd, bytes);
            break;
        }
    }
    ::close(fd);
}

void DataControlClipboard::onCancelled(void *data, wl_proxy *source) {
    auto *self = static_cast<DataControlClipboard *>(data);
    self->m_sources.remove(source);
    destroyProxy(source, destroySource);
    if (source == self->m_ownSource) {
        self->m_ownSource = nullptr;
        emit self->ownershipLost();
    }
}

} // namespace orvanta::wayland
