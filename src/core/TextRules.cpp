#include "TextRules.h"

#include <QTextBoundaryFinder>

#include <limits>

namespace orvanta {

namespace {

bool isWordSeparator(QStringView cluster) {
    return cluster == u" " || cluster == u"\n" || cluster == u"\t";
}

bool isSpaceOrTab(char32_t c) {
    return c == U'\t' || QChar::category(c) == QChar::Separator_Space;
}

} // namespace

qint64 countWords(QStringView text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    qint64 words = 0;
    bool inWord = false;
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        const bool separator = isWordSeparator(text.sliced(start, end - start));
        if (!separator && !inWord)
            ++words;
        inWord = !separator;
        start = end;
    }
    return words;
}

qint64 saturatingAdd(qint64 total, qint64 increment) {
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    if (increment > 0 && total > max - increment)
        return max;
    if (increment < 0 && total < min - increment)
        return min;
    return total + increment;
}

QString truncateToGraphemes(const QString &text, qsizetype maxClusters) {
    if (maxClusters <= 0)
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype clusters = 0;
    for (qsizetype end = finder.toNextBoundary(); end != -1; end = finder.toNextBoundary()) {
        if (++clusters == maxClusters)
            return text.left(end);
    }
    return text;
}

QString trimSpacesAndTabs(const QString &text) {
    // Zs and tab are all in the BMP, so a surrogate is never trimmed.
    auto trimmable = [](QChar c) { return !c.isSurrogate() && isSpaceOrTab(c.unicode()); };
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && trimmable(text[first]))
        ++first;
    while (last > first && trimmable(text[last - 1]))
        --last;
    return text.sliced(first, last - first);
}

} // namespace orvanta
