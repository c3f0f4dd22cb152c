#include "MenuRules.h"

namespace orvanta::MenuRules {

PrimaryAction primaryAction(const DictationStatus &status) {
    switch (status.kind()) {
    case DictationStatus::Kind::Recording:
        return PrimaryAction::Stop;
    case DictationStatus::Kind::Transcribing:
        return PrimaryAction::Nothing;
    case DictationStatus::Kind::Idle:
    case DictationStatus::Kind::Error:
        break;
    }
    return PrimaryAction::Start;
}

StatusPill statusPill(const DictationStatus &status) {
    switch (status.kind()) {
    case DictationStatus::Kind::Idle:
        return {QStringLiteral("Ready"), QStringLiteral("green")};
    case DictationStatus::Kind::Recording:
        return {QStringLiteral("Recording"), QStringLiteral("red")};
    case DictationStatus::Kind::Transcribing:
        return {QStringLiteral("Transcribing"), QStringLiteral("blue")};
    case DictationStatus::Kind::Error:
        break;
    }
    return {QStringLiteral("Error"), QStringLiteral("orange")};
}

PrimaryButton primaryButton(const DictationStatus &status) {
    if (status.is(DictationStatus::Kind::Recording))
        return {QStringLiteral("Stop Dictation"), QStringLiteral("stop.fill"), true};
    return {QStringLiteral("Start Dictation"), QStringLiteral("mic.fill"),
            !status.is(DictationStatus::Kind::Transcribing)};
}

ContentCard contentCard(bool signedIn, bool inputAccessGranted, bool activateBindingCanFire) {
    if (!signedIn)
        return ContentCard::SignIn;
    if (!inputAccessGranted)
        return ContentCard::InputAccessWarning;
    return activateBindingCanFire ? ContentCard::Hint : ContentCard::ActivateUnavailable;
}

} // namespace orvanta::MenuRules
