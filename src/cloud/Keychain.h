#pragma once

#include <QString>

#include <optional>

namespace orvanta {

// Text values kept in the desktop's Secret Service under the service "com.orvanta.app" and an
// account name. Synchronous. Failures are silent: a failed read is nothing, a failed write
// leaves no item. The first failure of a run logs one warning that tokens cannot be kept.
class Keychain {
public:
    static inline const QString service = QStringLiteral("com.orvanta.app");

    // The stored text, or nothing when there is no item, the store fails, the data is not
    // valid UTF-8 or the text is empty.
    static std::optional<QString> get(const QString &account);
    // Deletes any item of the account, then stores `value` unless it is absent or empty.
    static void set(const std::optional<QString> &value, const QString &account);
};

} // namespace orvanta
