#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

namespace orvanta::MenuBarIcon {

// 18 × 18 logical pixels: a disc with a small hole above and right of its centre.
QImage idle(const QColor &colour, qreal devicePixelRatio = 1.0);
// The same size: a ring.
QImage active(const QColor &colour, qreal devicePixelRatio = 1.0);

// Both resolutions of one look, for the tray.
QIcon icon(bool recording, const QColor &colour);

} // namespace orvanta::MenuBarIcon
