#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class QTime;

namespace orvanta::SettingsRules {

// "Good morning" (0–11 h), "Good afternoon" (12–17 h) or "Good evening" (18–23 h).
QString greeting(int hour);
QString greeting(const QTime &localTime);

// "1234 words dictated"
QString wordsDictatedText(qint64 words);
// "3/800 entries": 800 is wording only, nothing limits the number of terms.
QString dictionaryCounterText(qsizetype terms);

// The Add button works once the input holds more than spaces and tabs.
bool canAddTerm(const QString &input);
// After the add step the field is emptied; it keeps the focus only when a term was added.
bool refocusAfterAdd(bool termAppended);

// One entry of a picker: what it shows and the value it selects.
struct PickerEntry {
    QString label;
    QString value;
    friend bool operator==(const PickerEntry &, const PickerEntry &) = default;
};

// "Default (System)" first, then the devices as (id, name) in the given order.
QList<PickerEntry> microphoneEntries(const QList<std::pair<QString, QString>> &devices);
// The identifiers themselves; a stored model outside them is added last so it stays listed.
QList<PickerEntry> modelEntries(const QStringList &options, const QString &stored);
// (code, label) pairs shown by label.
QList<PickerEntry> languageEntries(const QList<std::pair<QString, QString>> &options);
// The output styles in their order, shown by label, selecting the raw value.
QList<PickerEntry> dictationModeEntries();
// The position of the entry selecting `value`, or -1 (the picker shows no selection).
int selectedIndex(const QList<PickerEntry> &entries, const QString &value);

// Only the exact plan text "pro" counts as pro.
bool isPro(const QString &plan);
// used / limit within 0…1; 0 when the limit is below 1.
double usageFraction(qint64 used, qint64 limit);
// The usage bar turns red once the fraction reaches 1.0.
bool usageFull(double fraction);
// "1200 words" for pro, "300 / 1000 words" otherwise.
QString usageText(bool pro, qint64 used, qint64 limit);

} // namespace orvanta::SettingsRules
