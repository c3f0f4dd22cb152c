#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

namespace orvanta::MenuBarIcon {

// 18 × 18 logical pixels: a disc with a small hole above and right of its centre.
QImage idle(const QColor &colour, qreal devicePixelRatio = 1.0);
// The same size: a ring.
QImage active(const QColor &colour, qreal devicePixelRatio = 1.0);

// The glyph's colour on a panel of the given colour: light on dark panels, dark on light ones.
QColor glyphColourOn(const QColor &panel);

// Both resolutions of one look, for the tray, for a panel of the given colour. A thin outline
// in the opposite tone keeps the glyph visible where the panel differs from that colour.
QIcon icon(bool recording, const QColor &panel);
// One resolution of it.
QImage trayImage(bool recording, const QColor &panel, qreal devicePixelRatio);

} // namespace orvanta::MenuBarIcon
