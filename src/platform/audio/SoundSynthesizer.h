#pragma once

#include <QString>

#include <vector>

namespace orvanta {

// Makes the application's short sounds: mono float samples at `sampleRate`.
class SoundSynthesizer {
public:
    static constexpr int sampleRate = 44100;

    static const QStringList &names();
    // Empty for a name that is not one of ours.
    static std::vector<float> synthesize(const QString &name);
};

} // namespace orvanta
