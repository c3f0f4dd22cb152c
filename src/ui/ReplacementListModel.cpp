#include "ReplacementListModel.h"

#include "Vocabulary.h"

namespace orvanta {

namespace {

QList<QUuid> idsOf(const QList<Replacement> &rules) {
    QList<QUuid> ids;
    for (const Replacement &rule : rules)
        ids.append(rule.id);
    return ids;
}

template <typename Change>
void changeRule(Vocabulary &vocabulary, const QString &id, Change change) {
    const QUuid uuid(id);
    for (Replacement rule : vocabulary.replacements()) {
        if (rule.id == uuid) {
            change(rule);
            vocabulary.updateReplacement(rule);
            return;
        }
    }
}

} // namespace

ReplacementListModel::ReplacementListModel(Vocabulary &vocabulary, QObject *parent)
    : QAbstractListModel(parent)
    , m_vocabulary(vocabulary)
    , m_ids(idsOf(vocabulary.replacements())) {
    connect(&vocabulary, &Vocabulary::replacementsChanged, this,
            &ReplacementListModel::vocabularyChanged);
}

int ReplacementListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_ids.size());
}

QVariant ReplacementListModel::data(const QModelIndex &index, int role) const {
    const QList<Replacement> rules = m_vocabulary.replacements();
    if (!index.isValid() || index.row() >= rules.size())
        return {};
    const Replacement &rule = rules[index.row()];
    switch (role) {
    case IdRole:
        return rule.id.toString(QUuid::WithoutBraces).toUpper();
    case FromRole:
        return rule.from;
    case ToRole:
        return rule.to;
    case CaseSensitiveRole:
        return rule.caseSensitive;
    default:
        return {};
    }
}

QHash<int, QByteArray> ReplacementListModel::roleNames() const {
    return {{IdRole, "ruleId"},
            {FromRole, "from"},
            {ToRole, "to"},
            {CaseSensitiveRole, "caseSensitive"}};
}

void ReplacementListModel::add() {
    m_vocabulary.addReplacement();
}

void ReplacementListModel::setFrom(const QString &id, const QString &from) {
    changeRule(m_vocabulary, id, [&](Replacement &rule) { rule.from = from; });
}

void ReplacementListModel::setTo(const QString &id, const QString &to) {
    changeRule(m_vocabulary, id, [&](Replacement &rule) { rule.to = to; });
}

void ReplacementListModel::setCaseSensitive(const QString &id, bool caseSensitive) {
    changeRule(m_vocabulary, id, [&](Replacement &rule) { rule.caseSensitive = caseSensitive; });
}

void ReplacementListModel::remove(const QString &id) {
    m_vocabulary.removeReplacement(QUuid(id));
}

// The same rules in the same order only had their text changed: their rows are told so and
// stay. Anything else rebuilds the list.
void ReplacementListModel::vocabularyChanged() {
    const QList<QUuid> ids = idsOf(m_vocabulary.replacements());
    if (ids == m_ids) {
        if (!ids.isEmpty())
            emit dataChanged(index(0), index(int(ids.size()) - 1));
        return;
    }
    beginResetModel();
    m_ids = ids;
    endResetModel();
    emit countChanged();
}

} // namespace orvanta
