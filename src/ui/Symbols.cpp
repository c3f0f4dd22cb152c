#include "Symbols.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QSvgRenderer>

namespace orvanta::Symbols {

namespace {

const QHash<QString, Entry> &table() {
    auto icon = [](const char *file, bool filled = false) {
        return Entry{QStringLiteral(":/orvanta/icons/") + QString::fromLatin1(file) +
                         QStringLiteral(".svg"),
                     filled};
    };
    static const QHash<QString, Entry> symbols{
        {QStringLiteral("mic"), icon("mic")},
        {QStringLiteral("mic.fill"), icon("mic")},
        {QStringLiteral("stop.fill"), icon("square", true)},
        {QStringLiteral("gearshape"), icon("settings")},
        {QStringLiteral("arrow.down.circle"), icon("circle-arrow-down")},
        {QStringLiteral("power"), icon("power")},
        {QStringLiteral("person.crop.circle.badge.checkmark"), icon("user-round-check")},
        {QStringLiteral("exclamationmark.triangle.fill"), icon("triangle-alert")},
        {QStringLiteral("xmark"), icon("x")},
        {QStringLiteral("xmark.circle"), icon("circle-x")},
        {QStringLiteral("doc.on.clipboard"), icon("clipboard-paste")},
        {QStringLiteral("doc.on.doc"), icon("copy")},
        {QStringLiteral("character.book.closed"), icon("book-a")},
        {QStringLiteral("arrow.left.arrow.right"), icon("arrow-left-right")},
        {QStringLiteral("text.alignleft"), icon("text-align-start")},
        {QStringLiteral("clock"), icon("clock")},
        {QStringLiteral("person.circle"), icon("circle-user")},
        {QStringLiteral("pencil"), icon("pencil")},
        {QStringLiteral("trash"), icon("trash-2")},
        {QStringLiteral("plus"), icon("plus")},
        {QStringLiteral("keyboard"), icon("keyboard")},
        {QStringLiteral("arrow.counterclockwise"), icon("rotate-ccw")},
        {QStringLiteral("arrow.up.right.square"), icon("external-link")},
        {QStringLiteral("rectangle.portrait.and.arrow.right"), icon("log-out")},
        {QStringLiteral("text.quote"), icon("quote")},
        {QStringLiteral("checkmark.seal.fill"), icon("badge-check")},
        {QStringLiteral("cpu"), icon("cpu")},
        {QStringLiteral("globe"), icon("globe")},
        {QStringLiteral("wand.and.stars"), icon("wand-sparkles")},
        {QStringLiteral("menubar.rectangle"), icon("panel-top")},
        {QStringLiteral("speaker.slash"), icon("volume-x")},
        {QStringLiteral("hand.raised"), icon("hand")},
        {QStringLiteral("textformat.abc"), icon("case-sensitive")},
        {QStringLiteral("arrow.right"), icon("arrow-right")},
        {QStringLiteral("arrow.down.doc"), icon("file-down")},
        {QStringLiteral("person.fill"), icon("user")},
        {QStringLiteral("arrow.right.circle.fill"), icon("circle-arrow-right")},
        {QStringLiteral("exclamationmark.circle"), icon("circle-alert")},
        {QStringLiteral("info.circle"), icon("info")},
        {QStringLiteral("chevron.up.down"), icon("chevrons-up-down")},
    };
    return symbols;
}

} // namespace

std::optional<Entry> lookup(const QString &symbolName) {
    const auto found = table().constFind(symbolName);
    if (found == table().constEnd())
        return std::nullopt;
    return *found;
}

QImage render(const QString &symbolName, const QColor &colour, const QSize &size) {
    const auto entry = lookup(symbolName);
    QFile file(entry ? entry->file : QString());
    if (!entry || !file.open(QIODevice::ReadOnly) || size.isEmpty())
        return {};
    QByteArray svg = file.readAll();
    const QByteArray colourName = colour.name(QColor::HexRgb).toLatin1();
    svg.replace("currentColor", colourName);
    if (entry->filled)
        svg.replace("fill=\"none\"", "fill=\"" + colourName + "\"");
    QSvgRenderer renderer(svg);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setOpacity(colour.alphaF());
    renderer.render(&painter);
    return image;
}

} // namespace orvanta::Symbols
