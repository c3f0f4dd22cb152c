#pragma once

#include "DictationStatus.h"

#include <QObject>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace orvanta {

// The rules with numbers and decisions in them, for the QML views. Statuses are passed as
// DictationStatus.Kind values (DictationStatus.Idle, .Recording, …).
class ViewRules : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // {label, colour}
    Q_INVOKABLE QVariantMap statusPill(orvanta::DictationStatus::Kind status) const;
    // {title, symbol, enabled}
    Q_INVOKABLE QVariantMap primaryButton(orvanta::DictationStatus::Kind status) const;
    // "signIn", "inputAccessWarning", "hint" or "activateUnavailable".
    Q_INVOKABLE QString contentCard(bool signedIn, bool inputAccessGranted,
                                    bool activateBindingCanFire) const;

    // The dictionary's input row and counter.
    Q_INVOKABLE bool canAddTerm(const QString &input) const;
    Q_INVOKABLE bool refocusAfterAdd(bool termAppended) const;
    Q_INVOKABLE QString dictionaryCounterText(int terms) const;
    // The account's plan card.
    Q_INVOKABLE bool isPro(const QString &plan) const;
    Q_INVOKABLE double usageFraction(qint64 used, qint64 limit) const;
    Q_INVOKABLE bool usageFull(double fraction) const;
    Q_INVOKABLE QString usageText(bool pro, qint64 used, qint64 limit) const;
};

} // namespace orvanta
