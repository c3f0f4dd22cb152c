#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

namespace orvanta {

// Text values kept in the desktop's Secret Service under the service "com.orvanta.app" and an
// account name. The store is only ever reached from a worker thread of its own, one operation
// at a time in the order they were asked for, so a slow or stalled store never holds up the
// calling thread, and a read sees every write asked for before it. Failures are silent: a
// failed read is nothing, a failed write leaves no item. The first failure of a run logs one
// warning that tokens cannot be kept. Writes still queued when the process ends are done first.
class Keychain {
public:
    static inline const QString service = QStringLiteral("com.orvanta.app");

    // The stored text, or nothing when there is no item, the store fails, the data is not
    // valid UTF-8 or the text is empty. Resumes on the thread that asked.
    static QCoro::Task<std::optional<QString>> get(QString account);
    // Queues: deletes any item of the account, then stores `value` unless it is absent or empty.
    static void set(const std::optional<QString> &value, const QString &account);
};

} // namespace orvanta
