#pragma once

#include <QString>

namespace orvanta::DesktopEntry {

// One argument of an Exec line, quoted as desktop entries require when it holds reserved
// characters.
QString execArgument(const QString &argument);

} // namespace orvanta::DesktopEntry
