#include "Ports.h"

#include <QTimer>

namespace orvanta {

void QtScheduler::schedule(std::chrono::milliseconds delay, QObject *context,
                           std::function<void()> task) {
    QTimer::singleShot(delay, context, std::move(task));
}

} // namespace orvanta
