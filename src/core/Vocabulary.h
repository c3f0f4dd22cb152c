#pragma once

#include "Replacement.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace orvanta {

class PreferenceStore;

// The user's dictionary terms, replacement rules and instructions, written through to the
// preference store on every change.
class Vocabulary : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList terms READ terms WRITE setTerms NOTIFY termsChanged)
    Q_PROPERTY(
        QString instructions READ instructions WRITE setInstructions NOTIFY instructionsChanged)

public:
    static inline const QString termsKey = QStringLiteral("vocabTerms");
    static inline const QString replacementsKey = QStringLiteral("vocabReplacements");
    static inline const QString instructionsKey = QStringLiteral("vocabInstructions");
    // Where rules that could not be read are kept before they are first overwritten.
    static inline const QString unreadableReplacementsKey =
        QStringLiteral("vocabReplacements.unreadable");

    explicit Vocabulary(PreferenceStore &store, QObject *parent = nullptr);

    QStringList terms() const { return m_terms; }
    void setTerms(const QStringList &terms);
    QList<Replacement> replacements() const { return m_replacements; }
    void setReplacements(const QList<Replacement> &replacements);
    QString instructions() const { return m_instructions; }
    void setInstructions(const QString &instructions);

    // Trims spaces and tabs; appends unless empty or already present. True when appended.
    Q_INVOKABLE bool addTerm(const QString &input);
    Q_INVOKABLE void removeTerm(int index);
    void addReplacement();
    // Replaces the rule with the same id; nothing happens when there is none.
    void updateReplacement(const Replacement &rule);
    void removeReplacement(const QUuid &id);

    QString applyReplacements(const QString &text) const;

signals:
    void termsChanged();
    void replacementsChanged();
    void instructionsChanged();

private:
    void loadReplacements();
    void keepUnreadableReplacements();

    PreferenceStore &m_store;
    QStringList m_terms;
    QList<Replacement> m_replacements;
    QString m_instructions;
    std::optional<QVariant> m_unreadableReplacements;
};

} // namespace orvanta
