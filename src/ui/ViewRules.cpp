#include "ViewRules.h"

#include "DictationStatus.h"
#include "FloatingBarGeometry.h"
#include "MenuRules.h"
#include "SettingsRules.h"

namespace orvanta {

namespace {

DictationStatus statusNamed(const QString &name) {
    if (name == u"recording")
        return DictationStatus::recording();
    if (name == u"transcribing")
        return DictationStatus::transcribing();
    if (name == u"error")
        return DictationStatus::error({});
    return DictationStatus::idle();
}

} // namespace

int ViewRules::waveformBars() const {
    return FloatingBarGeometry::waveformBars;
}

int ViewRules::loadingDotCount() const {
    return FloatingBarGeometry::loadingDotCount;
}

int ViewRules::loadingDotInterval() const {
    return int(FloatingBarGeometry::loadingDotInterval.count());
}

double ViewRules::waveformBarHeight(int index, int bars, double level) const {
    return FloatingBarGeometry::waveformBarHeight(index, bars, level);
}

int ViewRules::nextLoadingPhase(int phase) const {
    return FloatingBarGeometry::nextLoadingPhase(phase);
}

QString ViewRules::primaryAction(const QString &statusName) const {
    switch (MenuRules::primaryAction(statusNamed(statusName))) {
    case MenuRules::PrimaryAction::Start:
        return QStringLiteral("start");
    case MenuRules::PrimaryAction::Stop:
        return QStringLiteral("stop");
    case MenuRules::PrimaryAction::Nothing:
        break;
    }
    return QStringLiteral("nothing");
}

QVariantMap ViewRules::statusPill(const QString &statusName) const {
    const MenuRules::StatusPill pill = MenuRules::statusPill(statusNamed(statusName));
    return {{QStringLiteral("label"), pill.label}, {QStringLiteral("colour"), pill.colour}};
}

QVariantMap ViewRules::primaryButton(const QString &statusName) const {
    const MenuRules::PrimaryButton button = MenuRules::primaryButton(statusNamed(statusName));
    return {{QStringLiteral("title"), button.title},
            {QStringLiteral("symbol"), button.symbol},
            {QStringLiteral("enabled"), button.enabled}};
}

QString ViewRules::contentCard(bool signedIn, bool inputAccessGranted,
                               bool activateBindingCanFire) const {
    switch (MenuRules::contentCard(signedIn, inputAccessGranted, activateBindingCanFire)) {
    case MenuRules::ContentCard::SignIn:
        return QStringLiteral("signIn");
    case MenuRules::ContentCard::InputAccessWarning:
        return QStringLiteral("inputAccessWarning");
    case MenuRules::ContentCard::Hint:
        return QStringLiteral("hint");
    case MenuRules::ContentCard::ActivateUnavailable:
        break;
    }
    return QStringLiteral("activateUnavailable");
}

QSize ViewRules::floatingBarSize(const QString &statusName) const {
    return FloatingBarGeometry::size(statusNamed(statusName));
}

bool ViewRules::canAddTerm(const QString &input) const {
    return SettingsRules::canAddTerm(input);
}

bool ViewRules::refocusAfterAdd(bool termAppended) const {
    return SettingsRules::refocusAfterAdd(termAppended);
}

QString ViewRules::dictionaryCounterText(int terms) const {
    return SettingsRules::dictionaryCounterText(terms);
}

bool ViewRules::isPro(const QString &plan) const {
    return SettingsRules::isPro(plan);
}

double ViewRules::usageFraction(qint64 used, qint64 limit) const {
    return SettingsRules::usageFraction(used, limit);
}

bool ViewRules::usageFull(double fraction) const {
    return SettingsRules::usageFull(fraction);
}

QString ViewRules::usageText(bool pro, qint64 used, qint64 limit) const {
    return SettingsRules::usageText(pro, used, limit);
}

} // namespace orvanta
