#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <chrono>
#include <optional>

namespace orvanta {

// Reads and sets the session's clipboard for the paste; one implementation per way in.
class ClipboardAccess {
public:
    // Every format with its bytes, in the order the owner listed them.
    using Formats = QList<QPair<QString, QByteArray>>;

    virtual ~ClipboardAccess() = default;
    // What the clipboard holds now (nothing: empty formats). Nothing when its owner did
    // not hand every format over within `limit`.
    virtual std::optional<Formats> read(std::chrono::milliseconds limit) = 0;
    // Makes this application the clipboard's owner, offering `formats`; an empty list
    // empties the clipboard.
    virtual bool put(const Formats &formats) = 0;
    // Whether the clipboard still holds what the last put offered, as far as the events
    // about it that have arrived by now tell.
    virtual bool holdsOwnOffer() = 0;

    // A format worth keeping: a MIME type, and none of the toolkit's private ones.
    static bool isRestorableFormat(const QString &format) {
        return format.contains(QLatin1Char('/')) &&
               format != QLatin1String("application/x-qt-image");
    }
};

} // namespace orvanta
