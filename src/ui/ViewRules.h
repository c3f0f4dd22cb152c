#pragma once

#include "DictationStatus.h"

#include <QObject>
#include <QRect>
#include <QSize>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace orvanta {

// The rules with numbers and decisions in them, for the QML views. Statuses are passed as
// DictationStatus.Kind values (DictationStatus.Idle, .Recording, …).
class ViewRules : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(int waveformBars READ waveformBars CONSTANT)
    Q_PROPERTY(int loadingDotCount READ loadingDotCount CONSTANT)
    Q_PROPERTY(int loadingDotInterval READ loadingDotInterval CONSTANT)

public:
    using QObject::QObject;

    int waveformBars() const;
    int loadingDotCount() const;
    int loadingDotInterval() const;

    Q_INVOKABLE double waveformBarHeight(int index, int bars, double level) const;
    Q_INVOKABLE int nextLoadingPhase(int phase) const;
    // {label, colour}
    Q_INVOKABLE QVariantMap statusPill(orvanta::DictationStatus::Kind status) const;
    // {title, symbol, enabled}
    Q_INVOKABLE QVariantMap primaryButton(orvanta::DictationStatus::Kind status) const;
    // "signIn", "inputAccessWarning", "hint" or "activateUnavailable".
    Q_INVOKABLE QString contentCard(bool signedIn, bool inputAccessGranted,
                                    bool activateBindingCanFire) const;
    // The size of the floating bar's window for a status.
    Q_INVOKABLE QSize floatingBarSize(orvanta::DictationStatus::Kind status) const;
    Q_INVOKABLE QSize idleHandleSize(bool hovering) const;
    // Where the bar's window reacts to the pointer.
    Q_INVOKABLE QRect floatingBarReactiveArea(orvanta::DictationStatus::Kind status, int width,
                                              int height) const;

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
