#pragma once

#include <QAbstractListModel>
#include <QUuid>

namespace orvanta {

class Vocabulary;

// The replacement rules for editing: every change goes straight into the vocabulary. Edits
// made through this model update their row in place, so a field being typed in keeps its
// focus.
class ReplacementListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { IdRole = Qt::UserRole + 1, FromRole, ToRole, CaseSensitiveRole };

    explicit ReplacementListModel(Vocabulary &vocabulary, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return rowCount(); }

    Q_INVOKABLE void add();
    Q_INVOKABLE void setFrom(const QString &id, const QString &from);
    Q_INVOKABLE void setTo(const QString &id, const QString &to);
    Q_INVOKABLE void setCaseSensitive(const QString &id, bool caseSensitive);
    Q_INVOKABLE void remove(const QString &id);

signals:
    void countChanged();

private:
    void vocabularyChanged();

    Vocabulary &m_vocabulary;
    QList<QUuid> m_ids;
};

} // namespace orvanta
