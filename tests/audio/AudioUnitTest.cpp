// The audio parts that need no sound server.
#include "AudioDevices.h"
#include "AudioTestSupport.h"
#include "InputLevel.h"
#include "M4aWriter.h"
#include "PulseClient.h"
#include "QtPrinters.h"
#include "TempEnvironment.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

using namespace orvanta;
using namespace orvanta::test;

// The meter shows (dBFS + 60) / 60, with no upper bound; silence and garbage show nothing.
TEST(InputLevel, MapsDecibelsOntoTheMeterScale) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, float> cases[]{{-30, 0.5f}, {0, 1.0f},   {-60, 0.0f}, {-75, 0.0f},
                                          {6, 1.1f},   {-inf, 0.f}, {nan, 0.0f}};
    for (const auto &[decibels, level] : cases)
        EXPECT_FLOAT_EQ(levelFromDecibels(decibels), level) << decibels << " dB";
}

// The stored choice while it is a microphone, else the default, else the first microphone;
// a monitor is never taken for a microphone, not even when it is asked for.
TEST(AudioDeviceChoice, FollowsTheStoredChoiceAndFallsBackToAMicrophone) {
    const std::vector<PulseSource> sources{{"speakers.monitor", "Monitor of Speakers", true},
                                           {"usb_mic", "USB Microphone", false},
                                           {"builtin_mic", "Built-in Microphone", false}};
    const std::vector<PulseSource> onlyMonitors{sources[0]};
    const struct {
        const std::vector<PulseSource> &sources;
        QString defaultSource, choice;
        std::optional<QString> chosen;
    } cases[]{{sources, "builtin_mic", "usb_mic", "usb_mic"},
              {sources, "builtin_mic", "__default__", "builtin_mic"},
              {sources, "builtin_mic", "unplugged_mic", "builtin_mic"},
              {sources, "builtin_mic", "speakers.monitor", "builtin_mic"},
              {sources, "speakers.monitor", "__default__", "usb_mic"},
              {onlyMonitors, "speakers.monitor", "usb_mic", std::nullopt}};
    for (const auto &c : cases)
        EXPECT_EQ(AudioDevices::choose(c.sources, c.defaultSource, c.choice), c.chosen)
            << c.choice.toStdString() << " with default " << c.defaultSource.toStdString();
}

TEST(M4aWriter, WritesAacLcThatDecodesToTheSameSound) {
    TempFolder folder;
    const QString file = folder.filePath("tone.m4a");
    // A tone whose loudness swells and falls like syllables, so silence and sound alternate.
    std::vector<float> input(3 * M4aWriter::sampleRate);
    for (std::size_t i = 0; i < input.size(); ++i) {
        const double t = double(i) / M4aWriter::sampleRate;
        const double envelope = std::max(0.0, std::sin(2 * std::numbers::pi * 2 * t));
        input[i] = float(0.4 * envelope * std::sin(2 * std::numbers::pi * 300 * t));
    }

    M4aWriter writer;
    ASSERT_TRUE(writer.open(file)) << writer.errorText().toStdString();
    // Odd chunk sizes, as the sound server delivers them.
    for (std::size_t done = 0; done < input.size();) {
        const std::size_t chunk = std::min<std::size_t>(777, input.size() - done);
        ASSERT_TRUE(writer.write(input.data() + done, chunk));
        done += chunk;
    }
    ASSERT_TRUE(writer.finish()) << writer.errorText().toStdString();

    const QHash<QString, QString> format = probeAudio(file);
    EXPECT_EQ(format.value("codec_name"), "aac");
    EXPECT_EQ(format.value("profile"), "LC");
    EXPECT_EQ(format.value("TAG:major_brand"), "M4A ");
    EXPECT_EQ(format.value("sample_rate"), "16000");
    EXPECT_EQ(format.value("channels"), "1");
    EXPECT_NEAR(format.value("duration").toDouble(), 3.0, 0.3);
    EXPECT_NEAR(rmsDecibels(decodeAudio(file)), rmsDecibels(input), 1.5);
    // About 32 kbit/s: 4 kB per second, give or take the container.
    EXPECT_LT(QFileInfo(file).size(), 3 * 6000);

    // A recording with nothing in it still finishes; one that cannot be created fails.
    M4aWriter empty, failing;
    ASSERT_TRUE(empty.open(folder.filePath("empty.m4a")));
    EXPECT_TRUE(empty.finish());
    EXPECT_FALSE(failing.open("/nonexistent-folder/recording.m4a"));
    const float sample = 0.5f;
    EXPECT_FALSE(failing.write(&sample, 1));
    EXPECT_FALSE(failing.finish());
}
