#include "MenuBarIcon.h"

#include <QPainter>

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

QIcon icon(bool recording, const QColor &colour) {
    QIcon result;
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage image = recording ? active(colour, ratio) : idle(colour, ratio);
        result.addPixmap(QPixmap::fromImage(image));
    }
    return result;
}

} // namespace orvanta::MenuBarIcon
