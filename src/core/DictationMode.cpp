#include "DictationMode.h"

namespace orvanta {

QString rawValue(DictationMode mode) {
    switch (mode) {
    case DictationMode::Clean:
        return QStringLiteral("clean");
    case DictationMode::Verbatim:
        return QStringLiteral("verbatim");
    case DictationMode::Summary:
        return QStringLiteral("summary");
    case DictationMode::Email:
        return QStringLiteral("email");
    }
    return {};
}

QString label(DictationMode mode) {
    switch (mode) {
    case DictationMode::Clean:
        return QStringLiteral("Clean");
    case DictationMode::Verbatim:
        return QStringLiteral("Verbatim");
    case DictationMode::Summary:
        return QStringLiteral("Summary");
    case DictationMode::Email:
        return QStringLiteral("Email");
    }
    return {};
}

std::optional<DictationMode> dictationModeFromRawValue(const QString &raw) {
    for (DictationMode mode : allDictationModes) {
        if (rawValue(mode) == raw)
            return mode;
    }
    return std::nullopt;
}

} // namespace orvanta
