#include "FocusedApp.h"

#include "WaylandLogging.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>

#include <cstring>

namespace orvanta::wayland {

namespace {

constexpr int ipcWaitMs = 250;
const QByteArray swayMagic("i3-ipc");
constexpr quint32 swayGetTree = 4;

std::optional<QString> focusedIn(const QJsonObject &node, int depth) {
    if (depth > 64)
        return std::nullopt;
    if (node.value(QLatin1String("focused")).toBool()) {
        const QString appId = node.value(QLatin1String("app_id")).toString();
        if (!appId.isEmpty())
            return appId;
        const QString windowClass = node.value(QLatin1String("window_properties"))
                                        .toObject()
                                        .value(QLatin1String("class"))
                                        .toString();
        if (!windowClass.isEmpty())
            return windowClass;
        return std::nullopt;
    }
    for (const char *children : {"nodes", "floating_nodes"}) {
        const QJsonArray nodes = node.value(QLatin1String(children)).toArray();
        for (const QJsonValue &child : nodes) {
            if (std::optional<QString> found = focusedIn(child.toObject(), depth + 1))
                return found;
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> askSway(const QString &socketPath) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(ipcWaitMs))
        return std::nullopt;
    QByteArray request = swayMagic;
    quint32 header[2] = {0, swayGetTree}; // payload length, message type; host byte order
    request.append(reinterpret_cast<const char *>(header), sizeof header);
    socket.write(request);
    QByteArray answer;
    const int headerSize = int(swayMagic.size() + sizeof header);
    qsizetype expected = -1;
    while (expected < 0 || answer.size() < expected) {
        if (!socket.waitForReadyRead(ipcWaitMs))
            return std::nullopt;
        answer.append(socket.readAll());
        if (expected < 0 && answer.size() >= headerSize) {
            quint32 length = 0;
            std::memcpy(&length, answer.constData() + swayMagic.size(), sizeof length);
            expected = headerSize + qsizetype(length);
        }
    }
    return answer.mid(headerSize, expected - headerSize);
}

std::optional<QByteArray> askHyprland(const QString &signature) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    for (const QString &base : {runtime + QLatin1String("/hypr/"), QStringLiteral("/tmp/hypr/")}) {
        QLocalSocket socket;
        socket.connectToServer(base + signature + QLatin1String("/.socket.sock"));
        if (!socket.waitForConnected(ipcWaitMs))
            continue;
        socket.write("j/activewindow");
        QByteArray answer;
        while (socket.waitForReadyRead(ipcWaitMs))
            answer.append(socket.readAll());
        return answer;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> FocusedApp::fromSwayTree(const QByteArray &json) {
    return focusedIn(QJsonDocument::fromJson(json).object(), 0);
}

std::optional<QString> FocusedApp::fromHyprlandActiveWindow(const QByteArray &json) {
    const QString windowClass =
        QJsonDocument::fromJson(json).object().value(QLatin1String("class")).toString();
    if (windowClass.isEmpty())
        return std::nullopt;
    return windowClass;
}

std::optional<QString> FocusedApp::appId() {
    const QString sway = qEnvironmentVariable("SWAYSOCK");
    if (!sway.isEmpty()) {
        if (std::optional<QByteArray> tree = askSway(sway))
            return fromSwayTree(*tree);
        qCDebug(lcWayland) << "sway did not answer on" << sway;
    }
    const QString hyprland = qEnvironmentVariable("HYPRLAND_INSTANCE_SIGNATURE");
    if (!hyprland.isEmpty()) {
        if (std::optional<QByteArray> window = askHyprland(hyprland))
            return fromHyprlandActiveWindow(*window);
    }
    return std::nullopt;
}

} // namespace orvanta::wayland
