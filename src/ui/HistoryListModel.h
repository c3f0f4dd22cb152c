#pragma once

#include <QAbstractListModel>
#include <QDateTime>

#include <functional>

namespace orvanta {

class History;
class TextInsertionPort;

// The history entries, newest first, with the actions of each row.
class HistoryListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { IdRole = Qt::UserRole + 1, TextRole, ModeRole, RelativeTimeRole };
    using Clock = std::function<QDateTime()>;

    HistoryListModel(History &history, TextInsertionPort &textInserter, QObject *parent = nullptr);

    void setClock(Clock clock) { m_clock = std::move(clock); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return rowCount(); }

    // Pastes the entry's text at the cursor; an empty text pastes nothing.
    Q_INVOKABLE void paste(const QString &id);
    // Puts the entry's text on the clipboard in place of whatever was there.
    Q_INVOKABLE void copy(const QString &id);
    Q_INVOKABLE void remove(const QString &id);
    Q_INVOKABLE void clear();

signals:
    void countChanged();

private:
    void historyChanged();
    QString textOf(const QString &id) const;

    History &m_history;
    TextInsertionPort &m_textInserter;
    Clock m_clock;
    int m_count = 0;
};

} // namespace orvanta
