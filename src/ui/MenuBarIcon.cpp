#include "MenuBarIcon.h"

#include <QPainter>

#include <cmath>

namespace orvanta::MenuBarIcon {

namespace {

constexpr qreal imageSize = 18.0;
constexpr qreal discSize = 14.0;
constexpr qreal origin = (imageSize - discSize) * 0.5;

// The drawing is specified with y growing upwards; Qt's grows downwards.
qreal flipY(qreal y, qreal height) {
    return imageSize - y - height;
}

QImage canvas(qreal devicePixelRatio) {
    const int pixels = qRound(imageSize * devicePixelRatio);
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

QImage idle(const QColor &colour, qreal devicePixelRatio) {
    QImage image = canvas(devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(origin, origin, discSize, discSize));
    constexpr qreal hole = 4.2;
    const qreal holeX = origin + 7.0;
    const qreal holeY = (origin + discSize) - hole - 1.68;
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.drawEllipse(QRectF(holeX, flipY(holeY, hole), hole, hole));
    return image;
}

QImage active(const QColor &colour, qreal devicePixelRatio) {
    QImage image = canvas(devicePixelRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    constexpr qreal lineWidth = 2.4;
    painter.setPen(QPen(colour, lineWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = lineWidth / 2;
    painter.drawEllipse(
        QRectF(origin + inset, origin + inset, discSize - 2 * inset, discSize - 2 * inset));
    return image;
}

QColor glyphColourOn(const QColor &panel) {
    // Relative luminance as WCAG defines it; the glyph takes the tone farther from the panel.
    auto linear = [](qreal c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const qreal luminance = 0.2126 * linear(panel.redF()) + 0.7152 * linear(panel.greenF()) +
                            0.0722 * linear(panel.blueF());
    return luminance < 0.18 ? QColor(0xf2, 0xf2, 0xf2) : QColor(0x1c, 0x1c, 0x1f);
}

QImage trayImage(bool recording, const QColor &panel, qreal devicePixelRatio) {
    const QColor glyph = glyphColourOn(panel);
    QColor outline = glyphColourOn(glyph);
    outline.setAlphaF(0.6);
    const QImage shape =
        recording ? active(glyph, devicePixelRatio) : idle(glyph, devicePixelRatio);
    const QImage halo =
        recording ? active(outline, devicePixelRatio) : idle(outline, devicePixelRatio);
    QImage image = canvas(devicePixelRatio);
    QPainter painter(&image);
    // The outline: the shape in the opposite tone, shifted a little in eight directions.
    const qreal step = 1.0;
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (dx != 0 || dy != 0)
                painter.drawImage(QPointF(dx * step, dy * step), halo);
        }
    }
    // Where the glyph itself is, only the glyph shows.
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    painter.drawImage(QPointF(0, 0), shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QPointF(0, 0), shape);
    return image;
}

QIcon icon(bool recording, const QColor &panel) {
    QIcon result;
    for (const qreal ratio : {1.0, 2.0})
        result.addPixmap(QPixmap::fromImage(trayImage(recording, panel, ratio)));
    return result;
}

} // namespace orvanta::MenuBarIcon
