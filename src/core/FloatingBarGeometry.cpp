#include "FloatingBarGeometry.h"

#include <algorithm>
#include <cmath>

namespace orvanta::FloatingBarGeometry {

QSize size(const DictationStatus &status) {
    switch (status.kind()) {
    case DictationStatus::Kind::Recording:
        return {210, 40};
    case DictationStatus::Kind::Transcribing:
        return {150, 38};
    case DictationStatus::Kind::Idle:
    case DictationStatus::Kind::Error:
        break;
    }
    return {120, 34};
}

QRect frame(const DictationStatus &status, const QRect &availableGeometry) {
    const QSize barSize = size(status);
    const int x = availableGeometry.x() + (availableGeometry.width() - barSize.width()) / 2;
    const int bottom = availableGeometry.y() + availableGeometry.height();
    return {QPoint(x, bottom - bottomMargin - barSize.height()), barSize};
}

double waveformBarHeight(int index, int bars, double level) {
    const double mid = (bars - 1) * 0.5;
    const double distance = mid > 0 ? std::abs(index - mid) / mid : 0.0;
    const double shape = std::max(1.0 - distance * 1.2, 0.12);
    const double clamped = std::isfinite(level) ? std::clamp(level, 0.05, 1.0) : 0.05;
    return clamped * 16.0 * shape + 3.0;
}

int nextLoadingPhase(int phase, int count) {
    if (count <= 0)
        return 0;
    return ((phase + 1) % count + count) % count;
}

QSize idleHandle(bool hovering) {
    return hovering ? QSize(92, 24) : QSize(66, 5);
}

QRect reactiveArea(const DictationStatus &status, const QSize &windowSize) {
    if (status.is(DictationStatus::Kind::Recording) ||
        status.is(DictationStatus::Kind::Transcribing))
        return QRect(QPoint(0, 0), windowSize);
    const QSize footprint = idleHandle(true).boundedTo(windowSize);
    return QRect(QPoint((windowSize.width() - footprint.width()) / 2,
                        (windowSize.height() - footprint.height()) / 2),
                 footprint);
}

} // namespace orvanta::FloatingBarGeometry
