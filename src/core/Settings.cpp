#include "Settings.h"

#include "Ports.h"
#include "PreferenceStore.h"
#include "TextRules.h"

namespace orvanta {

namespace {

const QString modelKey = QStringLiteral("model");
const QString languageKey = QStringLiteral("language");
const QString dictationModeKey = QStringLiteral("dictationMode");
const QString showFloatingBarKey = QStringLiteral("showFloatingBar");
const QString muteBackgroundAudioKey = QStringLiteral("muteBackgroundAudio");
const QString privacyModeKey = QStringLiteral("privacyMode");
const QString micUIDKey = QStringLiteral("micUID");
const QString wordsDictatedKey = QStringLiteral("wordsDictated");

const QString defaultModel = QStringLiteral("google/gemini-2.5-flash");
const QString defaultLanguage = QStringLiteral("auto");

PreferenceStore &withDefaults(PreferenceStore &store) {
    store.registerDefaults({
        {modelKey, defaultModel},
        {languageKey, defaultLanguage},
        {dictationModeKey, rawValue(DictationMode::Clean)},
        {showFloatingBarKey, true},
        {muteBackgroundAudioKey, true},
        {privacyModeKey, false},
        {micUIDKey, Settings::defaultMicUID},
        {wordsDictatedKey, qint64(0)},
    });
    return store;
}

} // namespace

Settings::Settings(PreferenceStore &store, LoginItemPort &loginItem, QObject *parent)
    : QObject(parent)
    , m_store(withDefaults(store))
    , m_loginItem(loginItem)
    , m_model(store.string(modelKey).value_or(defaultModel))
    , m_language(store.string(languageKey).value_or(defaultLanguage))
    , m_dictationMode(dictationModeFromRawValue(store.string(dictationModeKey).value_or(QString()))
                          .value_or(DictationMode::Clean))
    , m_showFloatingBar(store.boolean(showFloatingBarKey))
    , m_muteBackgroundAudio(store.boolean(muteBackgroundAudioKey))
    , m_privacyMode(store.boolean(privacyModeKey))
    , m_micUID(store.string(micUIDKey).value_or(defaultMicUID))
    , m_openAtLogin(loginItem.isEnabled())
    , m_wordsDictated(store.integer(wordsDictatedKey)) {}

void Settings::setModel(const QString &model) {
    m_model = model;
    emit modelChanged();
    m_store.setString(modelKey, model);
}

void Settings::setLanguage(const QString &language) {
    m_language = language;
    emit languageChanged();
    m_store.setString(languageKey, language);
}

void Settings::setDictationMode(DictationMode mode) {
    m_dictationMode = mode;
    emit dictationModeChanged();
    m_store.setString(dictationModeKey, rawValue(mode));
}

void Settings::setShowFloatingBar(bool show) {
    m_showFloatingBar = show;
    emit showFloatingBarChanged();
    m_store.setBoolean(showFloatingBarKey, show);
}

void Settings::setMuteBackgroundAudio(bool mute) {
    m_muteBackgroundAudio = mute;
    emit muteBackgroundAudioChanged();
    m_store.setBoolean(muteBackgroundAudioKey, mute);
}

void Settings::setPrivacyMode(bool on) {
    m_privacyMode = on;
    emit privacyModeChanged();
    m_store.setBoolean(privacyModeKey, on);
}

void Settings::setMicUID(const QString &uid) {
    m_micUID = uid;
    emit micUIDChanged();
    m_store.setString(micUIDKey, uid);
}

void Settings::setOpenAtLogin(bool open) {
    m_loginItem.set(open);
    // What is on disk, also when the change could not be written.
    m_openAtLogin = m_loginItem.isEnabled();
    emit openAtLoginChanged();
}

void Settings::setWordsDictated(qint64 words) {
    m_wordsDictated = words;
    emit wordsDictatedChanged();
    m_store.setInteger(wordsDictatedKey, words);
}

void Settings::addWords(const QString &text) {
    setWordsDictated(saturatingAdd(m_wordsDictated, countWords(text)));
}

const QStringList &Settings::modelOptions() {
    static const QStringList options{
        QStringLiteral("google/gemini-2.5-flash"),
        QStringLiteral("google/gemini-2.5-flash-lite"),
        QStringLiteral("openai/gpt-4o-mini-audio-preview"),
        QStringLiteral("openai/gpt-4o-audio-preview"),
    };
    return options;
}

const QList<std::pair<QString, QString>> &Settings::languageOptions() {
    static const QList<std::pair<QString, QString>> options{
        {QStringLiteral("auto"), QStringLiteral("Auto-Detect")},
        {QStringLiteral("tr"), QStringLiteral("Turkish")},
        {QStringLiteral("en"), QStringLiteral("English")},
        {QStringLiteral("de"), QStringLiteral("German")},
        {QStringLiteral("fr"), QStringLiteral("French")},
        {QStringLiteral("es"), QStringLiteral("Spanish")},
    };
    return options;
}

} // namespace orvanta
