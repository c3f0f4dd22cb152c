#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

namespace orvanta {

// The per-user key-value store of preferences: an INI file through QSettings, with a
// registration layer of defaults that answers for keys the user has no value for.
// Every write is synced to disk at once.
class PreferenceStore {
public:
    // $XDG_CONFIG_HOME/Orvanta/Orvanta.conf
    static std::unique_ptr<PreferenceStore> openDefault();
    explicit PreferenceStore(const QString &iniFile);

    QString fileName() const;
    // In memory only; nothing is written.
    void registerDefaults(const QVariantMap &defaults);

    bool contains(const QString &key) const;
    // No value for an absent key or a value that is not text.
    std::optional<QString> string(const QString &key) const;
    // Absent or unparsable values give the registered default, else false / 0.
    bool boolean(const QString &key) const;
    qint64 integer(const QString &key) const;
    // No value for an absent key or a value that is not a list of strings.
    std::optional<QStringList> stringList(const QString &key) const;
    // No value for an absent key or a value that was not stored as bytes.
    std::optional<QByteArray> data(const QString &key) const;

    // The value as stored, whatever its type; invalid when absent.
    QVariant rawValue(const QString &key) const;
    void setRawValue(const QString &key, const QVariant &value);

    void setString(const QString &key, const QString &value);
    void setBoolean(const QString &key, bool value);
    void setInteger(const QString &key, qint64 value);
    void setStringList(const QString &key, const QStringList &value);
    void setData(const QString &key, const QByteArray &value);

private:
    QVariant userValue(const QString &key) const;
    void write(const QString &key, const QVariant &value);

    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_defaults;
    // Changes the file could not take yet.
    QVariantMap m_unsaved;
};

} // namespace orvanta
