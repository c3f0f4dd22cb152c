#pragma once

#include <QString>
#include <QStringView>

namespace orvanta {

// Counts the pieces between spaces, line feeds and tabs. Characters are whole
// user-perceived characters, so CR LF, or a space carrying a combining mark, is no separator.
qint64 countWords(QStringView text);

// Adds without passing the largest 64-bit value.
qint64 saturatingAdd(qint64 total, qint64 increment);

// The first `maxClusters` extended grapheme clusters of `text`.
QString truncateToGraphemes(const QString &text, qsizetype maxClusters);

// Removes space separators (Unicode Zs) and tabs from both ends; line breaks stay.
QString trimSpacesAndTabs(const QString &text);

} // namespace orvanta
