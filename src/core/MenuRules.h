#pragma once

#include "DictationStatus.h"

#include <QString>

namespace orvanta::MenuRules {

// What a click on the start/stop button or on the bar's idle handle does in a status.
enum class PrimaryAction { Start, Stop, Nothing };
PrimaryAction primaryAction(const DictationStatus &status);

struct StatusPill {
    QString label;
    QString colour; // a colour name the views map onto their palette
};
StatusPill statusPill(const DictationStatus &status);

struct PrimaryButton {
    QString title;
    QString symbol;
    bool enabled;
};
PrimaryButton primaryButton(const DictationStatus &status);

// Which card the menu shows above its start/stop button.
enum class ContentCard { SignIn, InputAccessWarning, Hint, ActivateUnavailable };
ContentCard contentCard(bool signedIn, bool inputAccessGranted, bool activateBindingCanFire);

} // namespace orvanta::MenuRules
