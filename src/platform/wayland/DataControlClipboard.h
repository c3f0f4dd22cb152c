#pragma once

#include "ClipboardAccess.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

struct wl_interface;
struct wl_proxy;

namespace orvanta::wayland {

class WaylandConnection;

// The clipboard of a Wayland seat through the data-control protocol (the standard one
// where the compositor has it, else the wlroots one): read and set without a focused
// window, as clipboard managers do. Main thread only.
class DataControlClipboard final : public QObject, public ClipboardAccess {
    Q_OBJECT

public:
    struct Interfaces {
        const wl_interface *manager;
        const wl_interface *device;
        const wl_interface *source;
        const wl_interface *offer;
    };
    static const Interfaces &standardInterfaces();
    static const Interfaces &wlrootsInterfaces();

    // Nothing when the compositor offers neither protocol or has no seat.
    static std::unique_ptr<DataControlClipboard> create(WaylandConnection &connection);
    ~DataControlClipboard() override;
    DataControlClipboard(const DataControlClipboard &) = delete;
    DataControlClipboard &operator=(const DataControlClipboard &) = delete;

    // The protocol in use: "ext_data_control_manager_v1" or "zwlr_data_control_manager_v1".
    QByteArray protocolName() const;

    std::optional<Formats> read(std::chrono::milliseconds limit) override;
    bool put(const Formats &formats) override;
    // Handles the compositor's events first: one may say another client took over.
    bool holdsOwnOffer() override;

signals:
    // Another application took the clipboard over from this one.
    void ownershipLost();

private:
    DataControlClipboard(WaylandConnection &connection, const Interfaces &interfaces,
                         wl_proxy *manager);

public:
    // Listener entry points; the protocol objects' user data is this clipboard.
    static void onDataOffer(void *data, wl_proxy *device, wl_proxy *offer);
    static void onSelection(void *data, wl_proxy *device, wl_proxy *offer);
    static void onFinished(void *data, wl_proxy *device);
    static void onPrimarySelection(void *data, wl_proxy *device, wl_proxy *offer);
    static void onOfferMimeType(void *data, wl_proxy *offer, const char *mimeType);
    static void onSend(void *data, wl_proxy *source, const char *mimeType, int fd);
    static void onCancelled(void *data, wl_proxy *source);

private:
    std::optional<QByteArray> receive(wl_proxy *offer, const QString &format,
                                      std::chrono::steady_clock::time_point deadline);
    void forgetOffer(wl_proxy *offer);

    WaylandConnection &m_connection;
    const Interfaces &m_interfaces;
    wl_proxy *m_manager = nullptr;
    wl_proxy *m_device = nullptr;
    // Offers announced by the compositor with their formats; the selection is one of them.
    QHash<wl_proxy *, QStringList> m_offers;
    wl_proxy *m_selection = nullptr;
    // Sources of ours the compositor may still ask for data, with what each offers.
    QHash<wl_proxy *, Formats> m_sources;
    wl_proxy *m_ownSource = nullptr;
};

} // namespace orvanta::wayland
