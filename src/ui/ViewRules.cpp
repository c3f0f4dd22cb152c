#include "ViewRules.h"

#include "DictationStatus.h"
#include "MenuRules.h"
#include "SettingsRules.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace orvanta {

namespace {

DictationStatus statusOfKind(DictationStatus::Kind kind) {
    switch (kind) {
    case DictationStatus::Kind::Recording:
        return DictationStatus::recording();
    case DictationStatus::Kind::Transcribing:
        return DictationStatus::transcribing();
    case DictationStatus::Kind::Error:
        return DictationStatus::error({});
    case DictationStatus::Kind::Idle:
        break;
    }
    return DictationStatus::idle();
}

// The views compare statuses as DictationStatus.Recording and so on.
void registerStatusKinds() {
    qmlRegisterUncreatableMetaObject(DictationStatus::staticMetaObject, "Orvanta", 1, 0,
                                     "DictationStatus",
                                     QStringLiteral("DictationStatus only names the kinds"));
}
Q_COREAPP_STARTUP_FUNCTION(registerStatusKinds)

} // namespace

QVariantMap ViewRules::statusPill(DictationStatus::Kind status) const {
    const MenuRules::StatusPill pill = MenuRules::statusPill(statusOfKind(status));
    return {{QStringLiteral("label"), pill.label}, {QStringLiteral("colour"), pill.colour}};
}

QVariantMap ViewRules::primaryButton(DictationStatus::Kind status) const {
    const MenuRules::PrimaryButton button = MenuRules::primaryButton(statusOfKind(status));
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
