#include "SettingsRules.h"

#include "DictationMode.h"

#include <QTime>

#include <algorithm>

namespace orvanta::SettingsRules {

QString greeting(int hour) {
    if (hour < 12)
        return QStringLiteral("Good morning");
    if (hour < 18)
        return QStringLiteral("Good afternoon");
    return QStringLiteral("Good evening");
}

QString greeting(const QTime &localTime) {
    return greeting(localTime.hour());
}

QString wordsDictatedText(qint64 words) {
    return QString::number(words) + QStringLiteral(" words dictated");
}

QString dictionaryCounterText(qsizetype terms) {
    return QString::number(terms) + QStringLiteral("/800 entries");
}

bool canAddTerm(const QString &input) {
    return std::any_of(input.begin(), input.end(), [](QChar c) { return c != u' ' && c != u'\t'; });
}

bool refocusAfterAdd(bool termAppended) {
    return termAppended;
}

QList<PickerEntry> microphoneEntries(const QList<std::pair<QString, QString>> &devices) {
    QList<PickerEntry> entries{{QStringLiteral("Default (System)"), QStringLiteral("__default__")}};
    for (const auto &[id, name] : devices)
        entries.append({name, id});
    return entries;
}

QList<PickerEntry> modelEntries(const QStringList &options, const QString &stored) {
    QList<PickerEntry> entries;
    for (const QString &option : options)
        entries.append({option, option});
    if (!options.contains(stored))
        entries.append({stored, stored});
    return entries;
}

QList<PickerEntry> languageEntries(const QList<std::pair<QString, QString>> &options) {
    QList<PickerEntry> entries;
    for (const auto &[code, label] : options)
        entries.append({label, code});
    return entries;
}

QList<PickerEntry> dictationModeEntries() {
    QList<PickerEntry> entries;
    for (DictationMode mode : allDictationModes)
        entries.append({label(mode), rawValue(mode)});
    return entries;
}

int selectedIndex(const QList<PickerEntry> &entries, const QString &value) {
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (entries[i].value == value)
            return int(i);
    }
    return -1;
}

bool isPro(const QString &plan) {
    return plan == u"pro";
}

double usageFraction(qint64 used, qint64 limit) {
    if (limit < 1)
        return 0;
    return std::clamp(double(used) / double(limit), 0.0, 1.0);
}

bool usageFull(double fraction) {
    return fraction >= 1.0;
}

QString usageText(bool pro, qint64 used, qint64 limit) {
    if (pro)
        return QString::number(used) + QStringLiteral(" words");
    return QString::number(used) + QStringLiteral(" / ") + QString::number(limit) +
           QStringLiteral(" words");
}

} // namespace orvanta::SettingsRules
