#include "DesktopEntry.h"

#include <algorithm>

namespace orvanta::DesktopEntry {

QString execArgument(const QString &argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`%");
    if (!argument.isEmpty() && std::none_of(argument.begin(), argument.end(),
                                            [](QChar c) { return reserved.contains(c); }))
        return argument;
    QString quoted = argument;
    for (const QString &special :
         {QStringLiteral("\\"), QStringLiteral("\""), QStringLiteral("`"), QStringLiteral("$")})
        quoted.replace(special, QStringLiteral("\\") + special);
    // A literal percent sign is written twice, inside quotes or not.
    quoted.replace(QStringLiteral("%"), QStringLiteral("%%"));
    return u'"' + quoted + u'"';
}

} // namespace orvanta::DesktopEntry
