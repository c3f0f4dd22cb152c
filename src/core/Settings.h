#pragma once

#include "DictationMode.h"

#include <QObject>
#include <QString>

#include <utility>

namespace orvanta {

class LoginItemPort;
class PreferenceStore;

// The user's dictation preferences, written through to the preference store on every
// assignment (an equal value still writes) and announced after each one.
class Settings : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(orvanta::DictationMode dictationMode READ dictationMode WRITE setDictationMode NOTIFY
                   dictationModeChanged)
    Q_PROPERTY(bool showFloatingBar READ showFloatingBar WRITE setShowFloatingBar NOTIFY
                   showFloatingBarChanged)
    Q_PROPERTY(bool muteBackgroundAudio READ muteBackgroundAudio WRITE setMuteBackgroundAudio NOTIFY
                   muteBackgroundAudioChanged)
    Q_PROPERTY(bool privacyMode READ privacyMode WRITE setPrivacyMode NOTIFY privacyModeChanged)
    Q_PROPERTY(QString micUID READ micUID WRITE setMicUID NOTIFY micUIDChanged)
    Q_PROPERTY(bool openAtLogin READ openAtLogin WRITE setOpenAtLogin NOTIFY openAtLoginChanged)
    Q_PROPERTY(
        qint64 wordsDictated READ wordsDictated WRITE setWordsDictated NOTIFY wordsDictatedChanged)

public:
    static inline const QString defaultMicUID = QStringLiteral("__default__");

    Settings(PreferenceStore &store, LoginItemPort &loginItem, QObject *parent = nullptr);

    QString model() const { return m_model; }
    void setModel(const QString &model);
    QString language() const { return m_language; }
    void setLanguage(const QString &language);
    DictationMode dictationMode() const { return m_dictationMode; }
    void setDictationMode(DictationMode mode);
    bool showFloatingBar() const { return m_showFloatingBar; }
    void setShowFloatingBar(bool show);
    bool muteBackgroundAudio() const { return m_muteBackgroundAudio; }
    void setMuteBackgroundAudio(bool mute);
    bool privacyMode() const { return m_privacyMode; }
    void setPrivacyMode(bool on);
    QString micUID() const { return m_micUID; }
    void setMicUID(const QString &uid);
    bool openAtLogin() const { return m_openAtLogin; }
    void setOpenAtLogin(bool open);
    qint64 wordsDictated() const { return m_wordsDictated; }
    void setWordsDictated(qint64 words);

    // Adds the text's word count, stopping at the largest 64-bit value.
    void addWords(const QString &text);

    static const QStringList &modelOptions();
    // (code, label) pairs in picker order.
    static const QList<std::pair<QString, QString>> &languageOptions();

signals:
    void modelChanged();
    void languageChanged();
    void dictationModeChanged();
    void showFloatingBarChanged();
    void muteBackgroundAudioChanged();
    void privacyModeChanged();
    void micUIDChanged();
    void openAtLoginChanged();
    void wordsDictatedChanged();

private:
    PreferenceStore &m_store;
    LoginItemPort &m_loginItem;
    QString m_model;
    QString m_language;
    DictationMode m_dictationMode;
    bool m_showFloatingBar;
    bool m_muteBackgroundAudio;
    bool m_privacyMode;
    QString m_micUID;
    bool m_openAtLogin;
    qint64 m_wordsDictated;
};

} // namespace orvanta
