#pragma once

#include <QDateTime>
#include <QString>

namespace orvanta {

// English phrases for how long ago (or how far ahead) a moment is, in the largest whole unit
// that fits: "5 minutes ago", "1 day ago", "in 2 hours". Whatever the user's language.
QString relativeTimeText(const QDateTime &date, const QDateTime &now);

} // namespace orvanta
