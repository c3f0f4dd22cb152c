#include "PreferenceStore.h"

#include "Logging.h"

#include <QFile>
#include <QStandardPaths>

#include <cstdio>
#include <unistd.h>

namespace orvanta {

namespace {

// INI files keep every scalar as text, so typed reads parse it back.
std::optional<bool> parseBoolean(const QVariant &value) {
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = value.toString().trimmed().toLower();
    if (text == u"true" || text == u"1" || text == u"yes")
        return true;
    if (text == u"false" || text == u"0" || text == u"no")
        return false;
    return std::nullopt;
}

std::optional<qint64> parseInteger(const QVariant &value) {
    if (value.typeId() != QMetaType::QString && value.typeId() != QMetaType::LongLong &&
        value.typeId() != QMetaType::Int)
        return std::nullopt;
    bool ok = false;
    const qint64 number = value.toString().trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

// Whether `file` can be all that QSettings meant to write. A write that a full disk cut short
// loses the end of the file: a line cut in two, or whole lines. Each value takes one line.
// (A second QSettings would not tell: it shares the first one's cache of the file.)
bool looksWhole(const QString &file, const QSettings &settings) {
    QFile written(file);
    if (!written.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = written.readAll();
    const qsizetype keys = settings.allKeys().size();
    if (bytes.isEmpty())
        return keys == 0;
    if (!bytes.endsWith('\n'))
        return false;
    qsizetype valueLines = 0;
    for (const QByteArray &line : bytes.split('\n'))
        if (!line.startsWith('[') && line.contains('='))
            ++valueLines;
    return valueLines >= keys;
}

} // namespace

std::unique_ptr<PreferenceStore> PreferenceStore::openDefault() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<PreferenceStore>(dir + QStringLiteral("/Orvanta/Orvanta.conf"));
}

PreferenceStore::PreferenceStore(const QString &iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {
    if (m_settings->status() != QSettings::NoError)
        qCWarning(lcPreferences) << "Preferences file could not be read:" << iniFile;
}

QString PreferenceStore::fileName() const {
    return m_settings->fileName();
}

void PreferenceStore::registerDefaults(const QVariantMap &defaults) {
    m_defaults.insert(defaults);
}

bool PreferenceStore::contains(const QString &key) const {
    return m_settings->contains(key);
}

QVariant PreferenceStore::userValue(const QString &key) const {
    return m_settings->value(key);
}

std::optional<QString> PreferenceStore::string(const QString &key) const {
    QVariant value = userValue(key);
    if (!value.isValid())
        value = m_defaults.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

bool PreferenceStore::boolean(const QString &key) const {
    const QVariant value = userValue(key);
    if (value.isValid()) {
        if (const auto parsed = parseBoolean(value))
            return *parsed;
        qCWarning(lcPreferences) << "Ignoring a value that is not a Boolean under" << key;
    }
    return parseBoolean(m_defaults.value(key)).value_or(false);
}

qint64 PreferenceStore::integer(const QString &key) const {
    const QVariant value = userValue(key);
    if (value.isValid()) {
        if (const auto parsed = parseInteger(value))
            return *parsed;
        qCWarning(lcPreferences) << "Ignoring a value that is not an integer under" << key;
    }
    return parseInteger(m_defaults.value(key)).value_or(0);
}

std::optional<QStringList> PreferenceStore::stringList(const QString &key) const {
    if (!contains(key))
        return std::nullopt;
    const QVariant value = userValue(key);
    // QSettings writes an empty list as an invalid value and a one-element list as text.
    if (!value.isValid())
        return QStringList();
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList();
    if (value.typeId() == QMetaType::QString)
        return QStringList{value.toString()};
    return std::nullopt;
}

std::optional<QByteArray> PreferenceStore::data(const QString &key) const {
    const QVariant value = userValue(key);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

// QSettings reports success for a write that a full disk cut short and puts the shortened file
// in place of the previous one. The previous file is therefore kept under a second name (a hard
// link, which needs no room) until the new one is known to be whole, and put back otherwise.
// Changes that could not be stored are written again with the next change.
void PreferenceStore::write(const QString &key, const QVariant &value) {
    m_unsaved.insert(key, value);
    for (auto it = m_unsaved.cbegin(); it != m_unsaved.cend(); ++it)
        m_settings->setValue(it.key(), it.value());
    const QByteArray file = QFile::encodeName(fileName());
    const QByteArray previous = file + ".previous";
    ::unlink(previous.constData());
    const bool kept = ::link(file.constData(), previous.constData()) == 0;
    m_settings->sync();
    // The status keeps the first error ever met; a failed write leaves QSettings' own pending
    // changes in place for its next write.
    if (looksWhole(fileName(), *m_settings)) {
        m_unsaved.clear();
    } else {
        qCWarning(lcPreferences) << "Could not write the preferences file" << fileName()
                                 << "- the previous one stays; the change is kept for the next";
        if (kept)
            std::rename(previous.constData(), file.constData());
    }
    // Still there when the file was not replaced at all: both names are the same file then.
    if (kept)
        ::unlink(previous.constData());
}

QVariant PreferenceStore::rawValue(const QString &key) const {
    return userValue(key);
}

void PreferenceStore::setRawValue(const QString &key, const QVariant &value) {
    write(key, value);
}

void PreferenceStore::setString(const QString &key, const QString &value) {
    write(key, value);
}

void PreferenceStore::setBoolean(const QString &key, bool value) {
    write(key, value);
}

void PreferenceStore::setInteger(const QString &key, qint64 value) {
    write(key, value);
}

void PreferenceStore::setStringList(const QString &key, const QStringList &value) {
    write(key, value);
}

void PreferenceStore::setData(const QString &key, const QByteArray &value) {
    write(key, value);
}

} // namespace orvanta
