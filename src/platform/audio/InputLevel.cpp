#include "InputLevel.h"

#include <cmath>
#include <limits>

namespace orvanta {

float levelFromDecibels(float decibels) {
    const float level = (decibels + 60.0f) / 60.0f;
    return level >= 0.0f ? level : 0.0f; // also catches NaN
}

float decibelsFromRms(double rms) {
    if (!(rms > 0.0))
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(20.0 * std::log10(rms));
}

LevelWindow::LevelWindow(std::size_t windowSamples)
    : m_windowSamples(windowSamples) {}

void LevelWindow::add(const float *samples, std::size_t count,
                      const std::function<void(float)> &onLevel) {
    for (std::size_t i = 0; i < count; ++i) {
        m_sumOfSquares += static_cast<double>(samples[i]) * samples[i];
        if (++m_filled < m_windowSamples)
            continue;
        const double rms = std::sqrt(m_sumOfSquares / static_cast<double>(m_filled));
        m_filled = 0;
        m_sumOfSquares = 0;
        onLevel(levelFromDecibels(decibelsFromRms(rms)));
    }
}

} // namespace orvanta
