#include "ToolkitClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace orvanta::x11 {

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
    m_offered = formats;
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

bool ToolkitClipboard::holdsOwnOffer() {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (m_offered.isEmpty() || !clipboard->ownsClipboard())
        return false;
    const QMimeData *data = clipboard->mimeData(QClipboard::Clipboard);
    const auto &[format, bytes] = m_offered.first();
    return data && data->data(format) == bytes;
}

} // namespace orvanta::x11
