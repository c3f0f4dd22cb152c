#include "GeneralSectionModel.h"

#include "AppState.h"
#include "Ports.h"
#include "Settings.h"
#include "SettingsRules.h"

#include <QDateTime>

namespace orvanta {

namespace {

using SettingsRules::PickerEntry;

QVariantList toVariant(const QList<PickerEntry> &entries) {
    QVariantList list;
    for (const PickerEntry &entry : entries)
        list.append(QVariantMap{{QStringLiteral("label"), entry.label},
                                {QStringLiteral("value"), entry.value}});
    return list;
}

QList<PickerEntry> microphones(const QList<std::pair<QString, QString>> &devices) {
    return SettingsRules::microphoneEntries(devices);
}

std::optional<QString> valueAt(const QList<PickerEntry> &entries, int index) {
    if (index < 0 || index >= entries.size())
        return std::nullopt;
    return entries[index].value;
}

} // namespace

GeneralSectionModel::GeneralSectionModel(Settings &settings, AppState &appState,
                                         PermissionsPort &permissions, DeviceList listDevices,
                                         QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_appState(&appState)
    , m_permissions(permissions)
    , m_listDevices(std::move(listDevices))
    , m_clock([] { return QDateTime::currentDateTime(); }) {
    connect(&settings, &Settings::wordsDictatedChanged, this,
            &GeneralSectionModel::wordsTextChanged);
    connect(&settings, &Settings::micUIDChanged, this, &GeneralSectionModel::microphoneChanged);
    connect(&settings, &Settings::modelChanged, this, &GeneralSectionModel::modelChanged);
    connect(&settings, &Settings::languageChanged, this, &GeneralSectionModel::languageChanged);
    connect(&settings, &Settings::dictationModeChanged, this, &GeneralSectionModel::modeChanged);
}

void GeneralSectionModel::setClock(Clock clock) {
    m_clock = std::move(clock);
    emit greetingChanged();
}

QString GeneralSectionModel::greeting() const {
    return SettingsRules::greeting(m_clock().time());
}

QString GeneralSectionModel::wordsText() const {
    return SettingsRules::wordsDictatedText(m_settings.wordsDictated());
}

QVariantList GeneralSectionModel::microphoneEntries() const {
    return toVariant(microphones(m_devices));
}

int GeneralSectionModel::microphoneIndex() const {
    return SettingsRules::selectedIndex(microphones(m_devices), m_settings.micUID());
}

QVariantList GeneralSectionModel::modelEntries() const {
    return toVariant(SettingsRules::modelEntries(Settings::modelOptions(), m_settings.model()));
}

int GeneralSectionModel::modelIndex() const {
    return SettingsRules::selectedIndex(
        SettingsRules::modelEntries(Settings::modelOptions(), m_settings.model()),
        m_settings.model());
}

QVariantList GeneralSectionModel::languageEntries() const {
    return toVariant(SettingsRules::languageEntries(Settings::languageOptions()));
}

int GeneralSectionModel::languageIndex() const {
    return SettingsRules::selectedIndex(SettingsRules::languageEntries(Settings::languageOptions()),
                                        m_settings.language());
}

QVariantList GeneralSectionModel::modeEntries() const {
    return toVariant(SettingsRules::dictationModeEntries());
}

int GeneralSectionModel::modeIndex() const {
    return SettingsRules::selectedIndex(SettingsRules::dictationModeEntries(),
                                        rawValue(m_settings.dictationMode()));
}

void GeneralSectionModel::pageShown() {
    m_devices = m_listDevices ? m_listDevices() : QList<std::pair<QString, QString>>();
    emit microphoneChanged();
    emit greetingChanged();
}

void GeneralSectionModel::selectMicrophone(int index) {
    if (const auto value = valueAt(microphones(m_devices), index))
        m_settings.setMicUID(*value);
}

void GeneralSectionModel::selectModel(int index) {
    const auto entries = SettingsRules::modelEntries(Settings::modelOptions(), m_settings.model());
    if (const auto value = valueAt(entries, index))
        m_settings.setModel(*value);
}

void GeneralSectionModel::selectLanguage(int index) {
    const auto entries = SettingsRules::languageEntries(Settings::languageOptions());
    if (const auto value = valueAt(entries, index))
        m_settings.setLanguage(*value);
}

void GeneralSectionModel::selectMode(int index) {
    const auto value = valueAt(SettingsRules::dictationModeEntries(), index);
    if (const auto mode = value ? dictationModeFromRawValue(*value) : std::nullopt)
        m_settings.setDictationMode(*mode);
}

void GeneralSectionModel::grantMicrophone() {
    QPointer<GeneralSectionModel> self(this);
    m_permissions.requestMicrophone([self](bool granted) {
        if (!self)
            return;
        if (self->m_appState)
            self->m_appState->refreshPermissions();
        if (!granted)
            self->m_permissions.openPrivacyPane(PrivacyPane::Microphone);
    });
}

void GeneralSectionModel::grantInputAccess() {
    m_permissions.openPrivacyPane(PrivacyPane::InputAccess);
}

} // namespace orvanta
