#include "M4aWriter.h"
#include "AudioTestSupport.h"
#include "QtPrinters.h"
#include "TempEnvironment.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace orvanta;
using namespace orvanta::test;

namespace {

// A tone whose loudness swells and falls like syllables, so silence and sound alternate.
std::vector<float> syllables(double seconds) {
    const auto count = static_cast<std::size_t>(seconds * M4aWriter::sampleRate);
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = double(i) / M4aWriter::sampleRate;
        const double envelope = std::max(0.0, std::sin(2 * std::numbers::pi * 2 * t));
        samples[i] = float(0.4 * envelope * std::sin(2 * std::numbers::pi * 300 * t));
    }
    return samples;
}

} // namespace

TEST(M4aWriter, WritesAacLcThatDecodesToTheSameSound) {
    TempFolder folder;
    const QString file = folder.filePath("tone.m4a");
    const std::vector<float> input = syllables(3.0);

    M4aWriter writer;
    ASSERT_TRUE(writer.open(file)) << writer.errorText().toStdString();
    // Odd chunk sizes, as the sound server delivers them.
    for (std::size_t done = 0; done < input.size();) {
        const std::size_t chunk = std::min<std::size_t>(777, input.size() - done);
        ASSERT_TRUE(writer.write(input.data() + done, chunk));
        done += chunk;
    }
    EXPECT_EQ(writer.samplesWritten(), std::int64_t(input.size()));
    ASSERT_TRUE(writer.finish()) << writer.errorText().toStdString();

    const DecodedAudio decoded = decodeAudio(file);
    EXPECT_EQ(decoded.codec, "aac");
    EXPECT_EQ(decoded.profile, "LC");
    EXPECT_EQ(decoded.brand, "M4A ");
    EXPECT_EQ(decoded.sampleRate, 16000);
    EXPECT_EQ(decoded.channels, 1);
    EXPECT_NEAR(decoded.durationSeconds, 3.0, 0.3);
    EXPECT_NEAR(rmsDecibels(decoded.samples), rmsDecibels(input), 1.5);
    // About 32 kbit/s: 4 kB per second, give or take the container.
    EXPECT_LT(QFileInfo(file).size(), 3 * 6000);
}

TEST(M4aWriter, ReportsFilesItCannotCreate) {
    M4aWriter writer;
    EXPECT_FALSE(writer.open("/nonexistent-folder/recording.m4a"));
    EXPECT_FALSE(writer.errorText().isEmpty());
    const float sample = 0.5f;
    EXPECT_FALSE(writer.write(&sample, 1));
    EXPECT_FALSE(writer.finish());
}

TEST(M4aWriter, CountsNoSamplesWhenNothingArrived) {
    TempFolder folder;
    M4aWriter writer;
    ASSERT_TRUE(writer.open(folder.filePath("empty.m4a")));
    EXPECT_TRUE(writer.finish());
    EXPECT_EQ(writer.samplesWritten(), 0);
}
