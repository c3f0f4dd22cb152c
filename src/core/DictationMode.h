#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <optional>

namespace orvanta {
Q_NAMESPACE

// The output style: its raw value is stored and sent to the service, its label is shown.
enum class DictationMode { Clean, Verbatim, Summary, Email };
Q_ENUM_NS(DictationMode)

inline constexpr std::array<DictationMode, 4> allDictationModes{
    DictationMode::Clean, DictationMode::Verbatim, DictationMode::Summary, DictationMode::Email};

QString rawValue(DictationMode mode);
QString label(DictationMode mode);
// Accepts exactly the four raw values, case-sensitively.
std::optional<DictationMode> dictationModeFromRawValue(const QString &raw);

} // namespace orvanta
