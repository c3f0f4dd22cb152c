#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QVariantList>

#include <functional>

namespace orvanta {

class AppState;
class PermissionsPort;
class Settings;

// What the General section shows beyond the stores' own properties: the greeting, the
// counter, the four pickers with their selection, and the permission buttons.
class GeneralSectionModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString greeting READ greeting NOTIFY greetingChanged)
    Q_PROPERTY(QString wordsText READ wordsText NOTIFY wordsTextChanged)
    Q_PROPERTY(QVariantList microphoneEntries READ microphoneEntries NOTIFY microphoneChanged)
    Q_PROPERTY(int microphoneIndex READ microphoneIndex NOTIFY microphoneChanged)
    Q_PROPERTY(QVariantList modelEntries READ modelEntries NOTIFY modelChanged)
    Q_PROPERTY(int modelIndex READ modelIndex NOTIFY modelChanged)
    Q_PROPERTY(QVariantList languageEntries READ languageEntries CONSTANT)
    Q_PROPERTY(int languageIndex READ languageIndex NOTIFY languageChanged)
    Q_PROPERTY(QVariantList modeEntries READ modeEntries CONSTANT)
    Q_PROPERTY(int modeIndex READ modeIndex NOTIFY modeChanged)

public:
    // The microphones as (id, name) pairs, in the sound server's order.
    using DeviceList = std::function<QList<std::pair<QString, QString>>()>;
    using Clock = std::function<QDateTime()>;

    GeneralSectionModel(Settings &settings, AppState &appState, PermissionsPort &permissions,
                        DeviceList listDevices, QObject *parent = nullptr);

    void setClock(Clock clock);

    QString greeting() const;
    QString wordsText() const;
    QVariantList microphoneEntries() const;
    int microphoneIndex() const;
    QVariantList modelEntries() const;
    int modelIndex() const;
    QVariantList languageEntries() const;
    int languageIndex() const;
    QVariantList modeEntries() const;
    int modeIndex() const;

    // Each time the page is shown: the devices are read anew and the greeting follows the hour.
    Q_INVOKABLE void pageShown();
    Q_INVOKABLE void selectMicrophone(int index);
    Q_INVOKABLE void selectModel(int index);
    Q_INVOKABLE void selectLanguage(int index);
    Q_INVOKABLE void selectMode(int index);
    // Asks for the microphone; where access is refused, shows how to allow it. The
    // permission flags are read again whatever the answer.
    Q_INVOKABLE void grantMicrophone();
    Q_INVOKABLE void grantInputAccess();

signals:
    void greetingChanged();
    void wordsTextChanged();
    void microphoneChanged();
    void modelChanged();
    void languageChanged();
    void modeChanged();

private:
    Settings &m_settings;
    QPointer<AppState> m_appState;
    PermissionsPort &m_permissions;
    DeviceList m_listDevices;
    Clock m_clock;
    QList<std::pair<QString, QString>> m_devices;
};

} // namespace orvanta
