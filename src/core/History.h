#pragma once

#include "DictationMode.h"
#include "HistoryItem.h"

#include <QObject>

#include <optional>

namespace orvanta {

// The most recent finished transcripts, newest first, kept in history.json.
class History : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype maxItems = 200;
    // A file larger than this is not read; it is kept aside like any unreadable file.
    static constexpr qint64 maxFileSize = 64 * 1024 * 1024;

    // $XDG_DATA_HOME/Orvanta
    static QString defaultDirectory();
    explicit History(const QString &directory, QObject *parent = nullptr);

    QList<HistoryItem> items() const { return m_items; }
    QString fileName() const { return m_fileName; }

    void add(const QString &text, DictationMode mode, const QDateTime &date);
    void remove(const QUuid &id);
    void clear();

signals:
    void itemsChanged();

private:
    void load();
    bool keepUnreadableFile();
    void save();

    QString m_fileName;
    QList<HistoryItem> m_items;
    bool m_fileUnreadable = false;
};

} // namespace orvanta
