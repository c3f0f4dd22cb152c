#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace orvanta {

// The views name their symbols by meaning ("mic.fill", "gearshape", …); this is the one place
// that maps those names onto the icon files shipped with the application.
namespace Symbols {

struct Entry {
    QString file; // resource path of the SVG
    bool filled;  // drawn filled rather than outlined
};

// Nothing for an unknown name.
std::optional<Entry> lookup(const QString &symbolName);
// The symbol drawn in `colour`, `size` pixels square; a null image for an unknown name.
QImage render(const QString &symbolName, const QColor &colour, const QSize &size);

} // namespace Symbols

} // namespace orvanta
