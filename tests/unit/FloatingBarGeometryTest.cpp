#include "FloatingBarGeometry.h"

#include <gtest/gtest.h>

using namespace orvanta;
namespace geometry = orvanta::FloatingBarGeometry;

namespace {

TEST(FloatingBarGeometryTest, FrameSitsCentredJustAboveTheBottomOfTheAvailableArea) {
    const QRect available(0, 0, 1920, 1050); // a panel takes the bottom 30 pixels
    const QRect recording = geometry::frame(DictationStatus::recording(), available);
    EXPECT_EQ(recording.size(), QSize(210, 40));
    EXPECT_EQ(recording.center().x(), available.center().x());
    EXPECT_EQ(recording.bottom() + 1 + 6, 1050);

    const QRect second(1920, 100, 1280, 800); // a screen right of the first
    const QRect idle = geometry::frame(DictationStatus::error("x"), second);
    EXPECT_EQ(idle, QRect(1920 + (1280 - 120) / 2, 100 + 800 - 6 - 34, 120, 34));
    EXPECT_EQ(geometry::frame(DictationStatus::transcribing(), second).size(), QSize(150, 38));
}

TEST(FloatingBarGeometryTest, WaveformPeaksInTheMiddleWithinFixedBounds) {
    const int bars = geometry::waveformBars;
    EXPECT_DOUBLE_EQ(geometry::waveformBarHeight(7, bars, 0.0), 3.8);
    EXPECT_DOUBLE_EQ(geometry::waveformBarHeight(7, bars, 1.0), 19.0);
    EXPECT_DOUBLE_EQ(geometry::waveformBarHeight(7, bars, 2.0), 19.0);
    EXPECT_DOUBLE_EQ(geometry::waveformBarHeight(7, bars, std::nan("")), 3.8);
    // The outer bars stop at the shape floor.
    EXPECT_DOUBLE_EQ(geometry::waveformBarHeight(0, bars, 1.0), 1.0 * 16 * 0.12 + 3);
    EXPECT_DOUBLE_EQ(geometry::waveformBarHeight(1, bars, 1.0),
                     geometry::waveformBarHeight(0, bars, 1.0));
    for (int i = 0; i < bars; ++i) {
        EXPECT_DOUBLE_EQ(geometry::waveformBarHeight(i, bars, 0.6),
                         geometry::waveformBarHeight(bars - 1 - i, bars, 0.6));
        if (i > 0 && i <= 7) {
            EXPECT_GE(geometry::waveformBarHeight(i, bars, 0.6),
                      geometry::waveformBarHeight(i - 1, bars, 0.6));
        }
    }
    EXPECT_DOUBLE_EQ(geometry::waveformBarHeight(0, 1, 1.0), 19.0)
        << "a single bar is a centre bar";
}

TEST(FloatingBarGeometryTest, LoadingDotsRunAcrossAndWrap) {
    int phase = 0;
    QList<int> seen;
    for (int tick = 0; tick < geometry::loadingDotCount; ++tick) {
        phase = geometry::nextLoadingPhase(phase);
        seen.append(phase);
    }
    EXPECT_EQ(seen, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
    EXPECT_EQ(geometry::loadingDotInterval.count() * geometry::loadingDotCount, 1200);
}

} // namespace
