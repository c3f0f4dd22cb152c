#include "Vocabulary.h"

#include "Logging.h"
#include "PreferenceStore.h"
#include "ReplacementPass.h"
#include "TextRules.h"

#include <QDateTime>

namespace orvanta {

Vocabulary::Vocabulary(PreferenceStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_terms(store.stringList(termsKey).value_or(QStringList()))
    , m_instructions(store.string(instructionsKey).value_or(QString())) {
    loadReplacements();
}

void Vocabulary::loadReplacements() {
    if (!m_store.contains(replacementsKey))
        return;
    if (const auto bytes = m_store.data(replacementsKey)) {
        if (const auto rules = decodeReplacements(*bytes)) {
            m_replacements = *rules;
            return;
        }
    }
    qCWarning(lcVocabulary) << "The stored replacement rules cannot be read; starting with none."
                            << "They are kept under" << unreadableReplacementsKey
                            << "when the rules are next changed.";
    m_unreadableReplacements = m_store.rawValue(replacementsKey);
}

// Copies rules that could not be read aside before the first save replaces them, without
// overwriting an earlier copy.
void Vocabulary::keepUnreadableReplacements() {
    if (!m_unreadableReplacements)
        return;
    QString key = unreadableReplacementsKey;
    if (m_store.contains(key) && m_store.rawValue(key) != *m_unreadableReplacements)
        key +=
            u'.' + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    m_store.setRawValue(key, *m_unreadableReplacements);
    qCWarning(lcVocabulary) << "Kept the unreadable replacement rules under" << key;
    m_unreadableReplacements.reset();
}

void Vocabulary::setTerms(const QStringList &terms) {
    m_terms = terms;
    emit termsChanged();
    m_store.setStringList(termsKey, m_terms);
}

void Vocabulary::setReplacements(const QList<Replacement> &replacements) {
    m_replacements = replacements;
    emit replacementsChanged();
    keepUnreadableReplacements();
    m_store.setData(replacementsKey, encodeReplacements(m_replacements));
}

void Vocabulary::setInstructions(const QString &instructions) {
    m_instructions = instructions;
    emit instructionsChanged();
    m_store.setString(instructionsKey, m_instructions);
}

bool Vocabulary::addTerm(const QString &input) {
    const QString term = trimSpacesAndTabs(input);
    if (term.isEmpty())
        return false;
    const QString canonical = term.normalized(QString::NormalizationForm_C);
    for (const QString &existing : std::as_const(m_terms)) {
        if (existing.normalized(QString::NormalizationForm_C) == canonical)
            return false;
    }
    setTerms(m_terms + QStringList{term});
    return true;
}

void Vocabulary::removeTerm(int index) {
    if (index < 0 || index >= m_terms.size())
        return;
    QStringList terms = m_terms;
    terms.removeAt(index);
    setTerms(terms);
}

void Vocabulary::addReplacement() {
    setReplacements(m_replacements + QList{Replacement::create()});
}

void Vocabulary::updateReplacement(const Replacement &rule) {
    QList<Replacement> rules = m_replacements;
    const auto found = std::find_if(rules.begin(), rules.end(),
                                    [&](const Replacement &r) { return r.id == rule.id; });
    if (found == rules.end())
        return;
    *found = rule;
    setReplacements(rules);
}

void Vocabulary::removeReplacement(const QUuid &id) {
    QList<Replacement> rules = m_replacements;
    rules.removeIf([&](const Replacement &rule) { return rule.id == id; });
    setReplacements(rules);
}

QString Vocabulary::applyReplacements(const QString &text) const {
    return applyReplacementRules(text, m_replacements);
}

} // namespace orvanta
