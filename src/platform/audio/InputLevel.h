#pragma once

#include <cstddef>
#include <functional>

namespace orvanta {

// The input level the meters show: (dBFS + 60) / 60, 0 for -60 dB and below (and for
// digital silence), 1 at full scale, no upper bound.
float levelFromDecibels(float decibels);
float decibelsFromRms(double rms);

// Turns a stream of samples into one level per window of `windowSamples` samples.
class LevelWindow {
public:
    explicit LevelWindow(std::size_t windowSamples);

    void add(const float *samples, std::size_t count, const std::function<void(float)> &onLevel);

private:
    std::size_t m_windowSamples;
    std::size_t m_filled = 0;
    double m_sumOfSquares = 0;
};

} // namespace orvanta
