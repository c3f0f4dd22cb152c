#include "SoundSynthesizer.h"

#include <QStringList>

#include <cmath>
#include <numbers>

namespace orvanta {

namespace {

struct Partial {
    double frequency;
    double amplitude;
    double decayPerSecond; // exponential fade of this partial
};

struct Voice {
    double seconds;
    std::vector<Partial> partials;
    double glideTo = 1.0; // frequency factor reached at the end (a falling "pop")
};

// A short attack and a closing fade keep every sound free of clicks.
std::vector<float> render(const Voice &voice) {
    const auto count = static_cast<std::size_t>(voice.seconds * SoundSynthesizer::sampleRate);
    constexpr double attack = 0.004;
    constexpr double release = 0.02;
    std::vector<float> samples(count);
    std::vector<double> phases(voice.partials.size(), 0.0);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / SoundSynthesizer::sampleRate;
        const double progress = t / voice.seconds;
        const double glide = 1.0 + (voice.glideTo - 1.0) * progress;
        double value = 0;
        for (std::size_t p = 0; p < voice.partials.size(); ++p) {
            const Partial &partial = voice.partials[p];
            phases[p] +=
                2 * std::numbers::pi * partial.frequency * glide / SoundSynthesizer::sampleRate;
            value +=
                partial.amplitude * std::exp(-partial.decayPerSecond * t) * std::sin(phases[p]);
        }
        const double envelope = std::min({1.0, t / attack, (voice.seconds - t) / release});
        samples[i] = static_cast<float>(value * envelope);
    }
    return samples;
}

Voice voiceFor(const QString &name) {
    if (name == QStringLiteral("Tink")) // a light, high tap
        return {0.14, {{2637, 0.35, 30}, {5274, 0.12, 45}, {7902, 0.05, 60}}};
    if (name == QStringLiteral("Pop")) // a short falling blip
        return {0.09, {{620, 0.45, 25}, {1240, 0.1, 40}}, 0.45};
    if (name == QStringLiteral("Glass")) // a bright two-note chime
        return {0.6, {{1568, 0.28, 6}, {2093, 0.22, 7}, {4186, 0.06, 12}, {5920, 0.03, 16}}};
    if (name == QStringLiteral("Bottle")) // a hollow, low note
        return {0.35, {{392, 0.42, 9}, {784, 0.06, 14}, {1176, 0.03, 20}}};
    if (name == QStringLiteral("Basso")) // a low, buzzing refusal
        return {0.5,
                {{110, 0.3, 4}, {220, 0.18, 5}, {330, 0.12, 6}, {440, 0.08, 7}, {550, 0.05, 8}}};
    return {};
}

} // namespace

const QStringList &SoundSynthesizer::names() {
    static const QStringList all{QStringLiteral("Tink"), QStringLiteral("Pop"),
                                 QStringLiteral("Glass"), QStringLiteral("Bottle"),
                                 QStringLiteral("Basso")};
    return all;
}

std::vector<float> SoundSynthesizer::synthesize(const QString &name) {
    if (!names().contains(name))
        return {};
    return render(voiceFor(name));
}

} // namespace orvanta
