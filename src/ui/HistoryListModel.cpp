#include "HistoryListModel.h"

#include "History.h"
#include "Ports.h"
#include "RelativeTime.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace orvanta {

HistoryListModel::HistoryListModel(History &history, TextInsertionPort &textInserter,
                                   QObject *parent)
    : QAbstractListModel(parent)
    , m_history(history)
    , m_textInserter(textInserter)
    , m_clock([] { return QDateTime::currentDateTimeUtc(); })
    , m_count(int(history.items().size())) {
    connect(&history, &History::itemsChanged, this, &HistoryListModel::historyChanged);
}

int HistoryListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_count;
}

QVariant HistoryListModel::data(const QModelIndex &index, int role) const {
    const QList<HistoryItem> items = m_history.items();
    if (!index.isValid() || index.row() >= items.size())
        return {};
    const HistoryItem &item = items[index.row()];
    switch (role) {
    case IdRole:
        return item.id.toString(QUuid::WithoutBraces).toUpper();
    case TextRole:
        return item.text;
    case ModeRole:
        return item.mode;
    case RelativeTimeRole:
        return relativeTimeText(item.dateTime(), m_clock());
    default:
        return {};
    }
}

QHash<int, QByteArray> HistoryListModel::roleNames() const {
    return {{IdRole, "itemId"},
            {TextRole, "text"},
            {ModeRole, "mode"},
            {RelativeTimeRole, "relativeTime"}};
}

QString HistoryListModel::textOf(const QString &id) const {
    const QUuid uuid(id);
    for (const HistoryItem &item : m_history.items()) {
        if (item.id == uuid)
            return item.text;
    }
    return {};
}

void HistoryListModel::paste(const QString &id) {
    const QString text = textOf(id);
    if (!text.isEmpty())
        m_textInserter.insert(text, {}, {});
}

void HistoryListModel::copy(const QString &id) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    auto *data = new QMimeData;
    data->setText(textOf(id));
    clipboard->setMimeData(data);
}

void HistoryListModel::remove(const QString &id) {
    m_history.remove(QUuid(id));
}

void HistoryListModel::clear() {
    m_history.clear();
}

void HistoryListModel::historyChanged() {
    beginResetModel();
    m_count = int(m_history.items().size());
    endResetModel();
    emit countChanged();
}

} // namespace orvanta
