#include "ReplacementPass.h"

#include <optional>
#include <vector>

namespace orvanta {

namespace {

char32_t codePointAt(const QString &text, qsizetype index, qsizetype *length) {
    const QChar high = text[index];
    if (high.isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(high, text[index + 1]);
    }
    *length = 1;
    return high.unicode();
}

void appendCodePoint(QString &out, char32_t c) {
    if (QChar::requiresSurrogates(c)) {
        out.append(QChar::highSurrogate(c));
        out.append(QChar::lowSurrogate(c));
    } else {
        out.append(QChar(static_cast<char16_t>(c)));
    }
}

// The text decomposed (NFD) and, for case-insensitive matching, case-folded, one unit at a
// time. A unit is a starter with the combining marks after it; matches must begin and end
// on unit boundaries, which map back to offsets in the original text.
class MatchableText {
public:
    MatchableText(const QString &original, bool foldCase)
        : m_foldCase(foldCase) {
        m_folded.reserve(original.size());
        m_originalOffset.reserve(original.size() + 1);
        qsizetype index = 0;
        while (index < original.size()) {
            const qsizetype unitStart = index;
            qsizetype length = 0;
            const char32_t first = codePointAt(original, index, &length);
            index += length;
            bool simple = QChar::decompositionTag(first) != QChar::Canonical;
            while (index < original.size()) {
                const char32_t next = codePointAt(original, index, &length);
                if (QChar::combiningClass(next) == 0)
                    break;
                simple = false;
                index += length;
            }
            markBoundary(unitStart);
            if (simple)
                appendFolded(first);
            else
                appendTransformed(original.sliced(unitStart, index - unitStart));
        }
        markBoundary(original.size());
    }

    const QString &folded() const { return m_folded; }
    // The offset in the original text of a folded position, or -1 inside a unit.
    qsizetype originalOffset(qsizetype foldedPosition) const {
        return m_originalOffset[static_cast<size_t>(foldedPosition)];
    }

private:
    void markBoundary(qsizetype originalPosition) {
        m_originalOffset.resize(static_cast<size_t>(m_folded.size()) + 1, -1);
        m_originalOffset.back() = originalPosition;
    }

    void appendFolded(char32_t c) {
        appendCodePoint(m_folded, m_foldCase ? QChar::toCaseFolded(c) : c);
    }

    void appendTransformed(const QString &unit) {
        const QString decomposed = unit.normalized(QString::NormalizationForm_D);
        qsizetype index = 0;
        while (index < decomposed.size()) {
            qsizetype length = 0;
            appendFolded(codePointAt(decomposed, index, &length));
            index += length;
        }
    }

    bool m_foldCase;
    QString m_folded;
    std::vector<qsizetype> m_originalOffset;
};

// The rewritten text, or nothing when the pattern does not occur.
std::optional<QString> applyRule(const QString &text, const MatchableText &matchable,
                                 const QString &pattern, const QString &to) {
    const QString &haystack = matchable.folded();
    QString out;
    qsizetype copiedUpTo = 0;
    qsizetype from = 0;
    bool matched = false;
    while (true) {
        const qsizetype at = haystack.indexOf(pattern, from);
        if (at < 0)
            break;
        const qsizetype start = matchable.originalOffset(at);
        const qsizetype end = matchable.originalOffset(at + pattern.size());
        if (start < 0 || end < 0) {
            from = at + 1;
            continue;
        }
        out.append(QStringView(text).sliced(copiedUpTo, start - copiedUpTo));
        out.append(to);
        copiedUpTo = end;
        from = at + pattern.size();
        matched = true;
    }
    if (!matched)
        return std::nullopt;
    out.append(QStringView(text).sliced(copiedUpTo));
    return out;
}

} // namespace

QString applyReplacementRules(const QString &text, const QList<Replacement> &rules) {
    QString current = text;
    std::optional<MatchableText> exact;
    std::optional<MatchableText> folded;
    for (const Replacement &rule : rules) {
        if (rule.from.isEmpty())
            continue;
        const bool foldCase = !rule.caseSensitive;
        std::optional<MatchableText> &matchable = foldCase ? folded : exact;
        if (!matchable)
            matchable.emplace(current, foldCase);
        const QString pattern = MatchableText(rule.from, foldCase).folded();
        if (auto rewritten = applyRule(current, *matchable, pattern, rule.to)) {
            current = std::move(*rewritten);
            exact.reset();
            folded.reset();
        }
    }
    return current;
}

} // namespace orvanta
