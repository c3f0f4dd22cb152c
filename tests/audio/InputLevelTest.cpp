#include "InputLevel.h"
#include "AudioDevices.h"
#include "PulseClient.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace orvanta;

namespace {

std::vector<float> sine(double amplitude, std::size_t count, double frequency = 440) {
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] =
            float(amplitude * std::sin(2 * std::numbers::pi * frequency * double(i) / 16000.0));
    return samples;
}

std::vector<float> levelsOf(LevelWindow &window, const std::vector<float> &samples) {
    std::vector<float> levels;
    window.add(samples.data(), samples.size(), [&levels](float level) { levels.push_back(level); });
    return levels;
}

} // namespace

TEST(InputLevel, MapsDecibelsOntoTheMeterScale) {
    EXPECT_FLOAT_EQ(levelFromDecibels(-30), 0.5f);
    EXPECT_FLOAT_EQ(levelFromDecibels(-12), 0.8f);
    EXPECT_FLOAT_EQ(levelFromDecibels(0), 1.0f);
    EXPECT_FLOAT_EQ(levelFromDecibels(-60), 0.0f);
    EXPECT_FLOAT_EQ(levelFromDecibels(-75), 0.0f);
    EXPECT_GT(levelFromDecibels(6), 1.0f) << "there is no upper clamp";
    EXPECT_EQ(levelFromDecibels(-std::numeric_limits<float>::infinity()), 0.0f);
    EXPECT_EQ(levelFromDecibels(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

TEST(InputLevel, MeasuresEachWindowOfSamples) {
    LevelWindow window(800);
    // A full-scale sine has an RMS of 1/sqrt(2): -3.01 dBFS.
    const auto loud = levelsOf(window, sine(1.0, 1600));
    ASSERT_EQ(loud.size(), 2u);
    EXPECT_NEAR(loud[0], (60 - 3.0103) / 60, 1e-3);

    // Amplitude sqrt(2) * 10^(-30/20) gives -30 dBFS.
    const auto quiet = levelsOf(window, sine(std::sqrt(2.0) * std::pow(10.0, -1.5), 800));
    ASSERT_EQ(quiet.size(), 1u);
    EXPECT_NEAR(quiet[0], 0.5, 1e-3);

    EXPECT_EQ(levelsOf(window, std::vector<float>(800, 0.0f)), std::vector<float>{0.0f});
}

TEST(InputLevel, CarriesPartialWindowsOver) {
    LevelWindow window(800);
    EXPECT_TRUE(levelsOf(window, sine(0.5, 500)).empty());
    const auto levels = levelsOf(window, sine(0.5, 500, 440));
    ASSERT_EQ(levels.size(), 1u) << "300 + 500 samples complete one window";
    EXPECT_TRUE(levelsOf(window, std::vector<float>(599, 0.0f)).empty());
    EXPECT_EQ(levelsOf(window, std::vector<float>(1, 0.0f)).size(), 1u);
}

TEST(AudioDeviceChoice, FollowsTheStoredChoiceAndFallsBackToTheDefault) {
    const std::vector<PulseSource> sources{
        {"speakers.monitor", "Monitor of Speakers", true},
        {"usb_mic", "USB Microphone", false},
        {"builtin_mic", "Built-in Microphone", false},
    };
    EXPECT_EQ(AudioDevices::choose(sources, "builtin_mic", "usb_mic"), QString("usb_mic"));
    EXPECT_EQ(AudioDevices::choose(sources, "builtin_mic", "__default__"), QString("builtin_mic"));
    EXPECT_EQ(AudioDevices::choose(sources, "builtin_mic", ""), QString("builtin_mic"));
    EXPECT_EQ(AudioDevices::choose(sources, "builtin_mic", "unplugged_mic"),
              QString("builtin_mic"));
    // A monitor is never taken for a microphone, not even when it is asked for.
    EXPECT_EQ(AudioDevices::choose(sources, "builtin_mic", "speakers.monitor"),
              QString("builtin_mic"));
    EXPECT_EQ(AudioDevices::choose(sources, "speakers.monitor", "__default__"), QString("usb_mic"));
}

TEST(AudioDeviceChoice, FindsNothingWithoutAMicrophone) {
    const std::vector<PulseSource> onlyMonitors{{"speakers.monitor", "Monitor", true}};
    EXPECT_EQ(AudioDevices::choose(onlyMonitors, "speakers.monitor", "__default__"), std::nullopt);
    EXPECT_EQ(AudioDevices::choose({}, "", "usb_mic"), std::nullopt);
}
