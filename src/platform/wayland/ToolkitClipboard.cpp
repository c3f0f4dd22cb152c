#include "ToolkitClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace orvanta::wayland {

std::optional<ClipboardAccess::Formats> ToolkitClipboard::read(std::chrono::milliseconds) {
    // The toolkit bounds its own wait for another owner's data.
    Formats formats;
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data)
        return formats;
    const QStringList offered = data->formats();
    for (const QString &format : offered) {
        if (isRestorableFormat(format))
            formats.append({format, data->data(format)});
    }
    return formats;
}

bool ToolkitClipboard::put(const Formats &formats) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (formats.isEmpty()) {
        clipboard->clear(QClipboard::Clipboard);
        return true;
    }
    auto *data = new QMimeData;
    for (const auto &[format, bytes] : formats)
        data->setData(format, bytes);
    clipboard->setMimeData(data, QClipboard::Clipboard);
    return true;
}

bool ToolkitClipboard::holdsOwnOffer() const {
    return QGuiApplication::clipboard()->ownsClipboard();
}

} // namespace orvanta::wayland
