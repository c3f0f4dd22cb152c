#pragma once

#include "Replacement.h"

#include <QList>
#include <QString>

namespace orvanta {

// Applies the rules in order, each to the output of the one before. Every occurrence of a
// rule's `from` is replaced left to right without overlap; rules with an empty `from` are
// skipped. Canonically equivalent texts match each other, letter case is ignored unless the
// rule is case-sensitive, and a match never splits a character from its combining marks.
// Text outside the matches comes back exactly as it was.
QString applyReplacementRules(const QString &text, const QList<Replacement> &rules);

} // namespace orvanta
