#include "History.h"

#include "Logging.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace orvanta {

QString History::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Orvanta");
}

History::History(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_fileName(directory + QStringLiteral("/history.json")) {
    if (!QDir().mkpath(directory))
        qCWarning(lcHistory) << "Cannot create" << directory << "- history stays in memory";
    load();
}

void History::load() {
    QFile file(m_fileName);
    if (!file.exists())
        return;
    if (file.size() > maxFileSize) {
        qCWarning(lcHistory) << m_fileName << "is too large to be a history file; starting empty";
        m_fileUnreadable = true;
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcHistory) << "Cannot read" << m_fileName << ":" << file.errorString();
        m_fileUnreadable = true;
        return;
    }
    if (const auto items = decodeHistory(file.readAll())) {
        m_items = *items;
        return;
    }
    qCWarning(lcHistory) << m_fileName << "is not a history file this version can read;"
                         << "starting empty. It is kept aside before the history is next saved.";
    m_fileUnreadable = true;
}

// Copies an unreadable file aside under a new name before the first save replaces it.
// False when the copy failed and the file must not be overwritten yet.
bool History::keepUnreadableFile() {
    if (!m_fileUnreadable || !QFile::exists(m_fileName)) {
        m_fileUnreadable = false;
        return true;
    }
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmsszzz'Z'"));
    const QString kept = m_fileName + QStringLiteral(".unreadable-") + stamp;
    if (!QFile::copy(m_fileName, kept)) {
        qCWarning(lcHistory) << "Could not keep the unreadable history file as" << kept
                             << "- not overwriting it";
        return false;
    }
    qCWarning(lcHistory) << "Kept the unreadable history file as" << kept;
    m_fileUnreadable = false;
    return true;
}

void History::add(const QString &text, DictationMode mode, const QDateTime &date) {
    m_items.prepend({QUuid::createUuid(), text, referenceSeconds(date), label(mode)});
    if (m_items.size() > maxItems)
        m_items.resize(maxItems);
    emit itemsChanged();
    save();
}

void History::remove(const QUuid &id) {
    m_items.removeIf([&](const HistoryItem &item) { return item.id == id; });
    emit itemsChanged();
    save();
}

void History::clear() {
    m_items.clear();
    emit itemsChanged();
    save();
}

void History::save() {
    if (!keepUnreadableFile())
        return;
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcHistory) << "Cannot write" << m_fileName << ":" << file.errorString();
        return;
    }
    const QByteArray bytes = encodeHistory(m_items);
    // QSaveFile's commit() reports success, and replaces the file, when a full disk took only
    // part of the buffered bytes; the write is checked before it.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        qCWarning(lcHistory) << "Cannot write" << m_fileName << ":" << file.errorString()
                             << "- the previous file stays";
        file.cancelWriting();
        return;
    }
    if (!file.commit())
        qCWarning(lcHistory) << "Cannot write" << m_fileName << ":" << file.errorString();
}

} // namespace orvanta
