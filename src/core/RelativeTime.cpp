#include "RelativeTime.h"

#include <array>
#include <cstdlib>

namespace orvanta {

namespace {

struct Unit {
    qint64 seconds;
    const char *singular;
};

// Largest first; a month counts 30 days and a year 365, as calendars go near enough here.
constexpr std::array<Unit, 7> units{{
    {365 * 86400, "year"},
    {30 * 86400, "month"},
    {7 * 86400, "week"},
    {86400, "day"},
    {3600, "hour"},
    {60, "minute"},
    {1, "second"},
}};

} // namespace

QString relativeTimeText(const QDateTime &date, const QDateTime &now) {
    const qint64 delta = now.toSecsSinceEpoch() - date.toSecsSinceEpoch();
    const qint64 magnitude = std::llabs(delta);
    Unit unit = units.back();
    for (const Unit &candidate : units) {
        if (magnitude >= candidate.seconds) {
            unit = candidate;
            break;
        }
    }
    const qint64 count = magnitude / unit.seconds;
    QString amount = QString::number(count) + u' ' + QString::fromLatin1(unit.singular);
    if (count != 1)
        amount += u's';
    if (delta < 0)
        return QStringLiteral("in ") + amount;
    return amount + QStringLiteral(" ago");
}

} // namespace orvanta
