#pragma once

#include "DictationStatus.h"

#include <QRect>
#include <QSize>

#include <chrono>

namespace orvanta::FloatingBarGeometry {

inline constexpr int waveformBars = 15;
inline constexpr int loadingDotCount = 10;
inline constexpr std::chrono::milliseconds loadingDotInterval{120};
// Gap between the bar and the bottom of the screen's available area.
inline constexpr int bottomMargin = 6;

// The bar's window size for a status: recording 210×40, transcribing 150×38, otherwise 120×34.
QSize size(const DictationStatus &status);
// Horizontally centred, `bottomMargin` above the bottom of the available area.
QRect frame(const DictationStatus &status, const QRect &availableGeometry);

// The idle handle: a thin 66×5 strip, grown to 92×24 while the pointer is over it.
QSize idleHandle(bool hovering);
// Where the bar reacts to the pointer inside a window of `windowSize`: while idle (or in
// error) the grown handle's footprint, centred, so hovering anywhere the grown handle will
// cover grows it; while recording or transcribing the whole pill, which fills the window.
QRect reactiveArea(const DictationStatus &status, const QSize &windowSize);

// Height of waveform bar `index` of `bars` at an input level: highest in the middle, falling
// off towards both ends; the level counts between 0.05 and 1.0.
double waveformBarHeight(int index, int bars, double level);

// The bright dot moves one place per tick and wraps.
int nextLoadingPhase(int phase, int count = loadingDotCount);

} // namespace orvanta::FloatingBarGeometry
