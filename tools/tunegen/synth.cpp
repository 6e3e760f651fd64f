// Sample synthesis: band-limited pitched waves with a decaying level and brightness followed by
// a clean loop of whole periods, and one-shot drums from a gliding sine and filtered noise.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>

namespace {

const double kPi = 3.14159265358979323846;
const size_t kLongestSample = size_t(1) << 22; // frames; the player refuses longer samples

[[noreturn]] void Fail(const ScoreInstrument& instrument, const std::string& message) {
    throw std::runtime_error("line " + std::to_string(instrument.line) + ": instrument " +
                             instrument.name + ": " + message);
}

// A setting's value, or `fallback` when the score leaves it out; checked against its range.
double Setting(const ScoreInstrument& instrument, const std::string& key, double fallback,
               double low, double high) {
    auto found = instrument.settings.find(key);
    const double value = found == instrument.settings.end() ? fallback : found->second;
    if (!(value >= low && value <= high))
        Fail(instrument, key + " must lie in " + std::to_string(low) + ".." + std::to_string(high));
    return value;
}

void CheckKeys(const ScoreInstrument& instrument, const std::set<std::string>& known) {
    for (const auto& setting : instrument.settings)
        if (!known.count(setting.first)) Fail(instrument, "unknown setting " + setting.first);
}

// Cosine and sine coefficients of harmonic k (1-based) of a wave with period 2 pi.
void Harmonic(const std::string& wave, double duty, int k, double& a, double& b) {
    a = 0.0;
    b = 0.0;
    if (wave == "sine") {
        b = k == 1 ? 1.0 : 0.0;
    } else if (wave == "saw") {
        b = (k % 2 == 1 ? 2.0 : -2.0) / (kPi * k);
    } else if (wave == "square") {
        b = k % 2 == 1 ? 4.0 / (kPi * k) : 0.0;
    } else if (wave == "triangle") {
        b = k % 2 == 1 ? ((k / 2) % 2 == 0 ? 8.0 : -8.0) / (kPi * kPi * k * k) : 0.0;
    } else { // pulse: +1 for the first `duty` of the period, -1 after, without its offset
        a = 2.0 / (kPi * k) * std::sin(2.0 * kPi * k * duty);
        b = 2.0 / (kPi * k) * (1.0 - std::cos(2.0 * kPi * k * duty));
    }
}

// Scales the frames so that the highest peak is `gain` of full scale, and rounds them to 8 bits.
std::vector<int8_t> Quantise(const std::vector<double>& frames, double gain) {
    double peak = 1e-9;
    for (double value : frames) peak = std::max(peak, std::fabs(value));
    std::vector<int8_t> result(frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        result[i] = static_cast<int8_t>(std::lround(frames[i] / peak * gain * 127.0));
    return result;
}

// 1 at the start, 0 at progress 1, falling faster at first for a larger `curve`.
double Fall(double progress, double curve) {
    if (curve <= 0.0) return 1.0 - progress;
    return (std::exp(-curve * progress) - std::exp(-curve)) / (1.0 - std::exp(-curve));
}

// The shape of a pitched sound over time: level and low-pass corner at each frame.
struct PitchedShape {
    int cycle;
    int decayFrames;
    double bright, dark, sustain, attackFrames, curve;
};

// One frame of a band-limited wave given by its harmonics, shaped by `shape` at frame i.
double PitchedFrame(const std::vector<double>& a, const std::vector<double>& b,
                    const PitchedShape& shape, size_t i) {
    const double fall =
        Fall(std::min(1.0, double(i) / std::max(1, shape.decayFrames)), shape.curve);
    const double corner = shape.dark + (shape.bright - shape.dark) * fall;
    double level = shape.sustain + (1.0 - shape.sustain) * fall;
    if (i < shape.attackFrames) level *= std::sin(0.5 * kPi * i / shape.attackFrames);
    const double phase = 2.0 * kPi * double(i % shape.cycle) / shape.cycle;
    double value = 0.0;
    for (size_t k = 1; k < a.size(); ++k) {
        const double weight = 1.0 / std::sqrt(1.0 + std::pow(k / corner, 4.0));
        value += weight * (a[k] * std::cos(k * phase) + b[k] * std::sin(k * phase));
    }
    return level * value;
}

SynthSample Pitched(const ScoreInstrument& instrument) {
    CheckKeys(instrument, {"cycle", "duty", "bright", "dark", "decay", "sustain", "loop", "attack",
                           "curve", "gain", "volume", "pan", "finetune"});
    PitchedShape shape;
    shape.cycle = static_cast<int>(Setting(instrument, "cycle", 64, 16, 1024));
    if ((shape.cycle & (shape.cycle - 1)) != 0) Fail(instrument, "cycle must be a power of two");
    const double duty = Setting(instrument, "duty", 0.5, 0.01, 0.99);
    shape.bright = Setting(instrument, "bright", 1000, 0.5, 1000);
    shape.dark = Setting(instrument, "dark", shape.bright, 0.5, 1000);
    const int decay = static_cast<int>(Setting(instrument, "decay", 0, 0, 4096));
    shape.decayFrames = decay * shape.cycle;
    shape.sustain = Setting(instrument, "sustain", 1, 0, 1);
    const int loop =
        shape.sustain > 0 ? static_cast<int>(Setting(instrument, "loop", 1, 1, 64)) : 0;
    shape.attackFrames = Setting(instrument, "attack", 0, 0, 4096) * shape.cycle;
    shape.curve = Setting(instrument, "curve", 4, 0, 20);
    if (decay + loop == 0) Fail(instrument, "a sample without loop needs a decay");
    if (size_t(decay + loop) * shape.cycle >= kLongestSample)
        Fail(instrument, "the sample is too long for the player");

    // Harmonics below the sample's own Nyquist frequency only, so nothing folds back.
    std::vector<double> a(shape.cycle / 2), b(shape.cycle / 2);
    for (size_t k = 1; k < a.size(); ++k) Harmonic(instrument.wave, duty, int(k), a[k], b[k]);
    std::vector<double> frames((decay + loop) * shape.cycle);
    for (size_t i = 0; i < frames.size(); ++i) frames[i] = PitchedFrame(a, b, shape, i);

    SynthSample sample;
    sample.frames = Quantise(frames, Setting(instrument, "gain", 0.9, 0.05, 1));
    sample.loopStart = loop > 0 ? shape.decayFrames : 0;
    sample.loopLength = loop * shape.cycle;
    sample.relativeNote = static_cast<int8_t>(std::lround(12.0 * std::log2(shape.cycle / 32.0)));
    return sample;
}

// The tonal part of a drum: a sine whose period glides from `tone` to `toneEnd` frames.
std::vector<double> DrumTone(const ScoreInstrument& instrument, int length) {
    const double tone = Setting(instrument, "tone", 64, 2, 4096);
    const double toneEnd = Setting(instrument, "toneEnd", tone, 2, 4096);
    const double sweep = Setting(instrument, "sweep", 1, 1, 65536);
    const double decay = Setting(instrument, "toneDecay", 1, 1, 65536);
    const double level = Setting(instrument, "toneLevel", 0, 0, 1);
    std::vector<double> frames(length);
    double phase = 0.0;
    for (int i = 0; i < length; ++i) {
        frames[i] = std::sin(phase) * level * std::exp(-i / decay);
        phase += 2.0 * kPi / (toneEnd + (tone - toneEnd) * std::exp(-i / sweep));
    }
    return frames;
}

// The noisy part of a drum: white noise through a one-pole low-pass and high-pass.
std::vector<double> DrumNoise(const ScoreInstrument& instrument, int length) {
    const double decay = Setting(instrument, "noiseDecay", 1, 1, 65536);
    const double level = Setting(instrument, "noiseLevel", 0, 0, 1);
    const double smooth = Setting(instrument, "smooth", 1, 0.01, 1);
    const double airy = Setting(instrument, "airy", 0, 0, 1);
    uint32_t seed = static_cast<uint32_t>(Setting(instrument, "seed", 1, 0, 4294967295.0));
    std::vector<double> frames(length);
    double smoothed = 0.0, low = 0.0;
    for (int i = 0; i < length; ++i) {
        seed = seed * 1664525u + 1013904223u; // the same noise on every build
        const double white = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
        smoothed += smooth * (white - smoothed);
        low += airy * (smoothed - low);
        frames[i] = (smoothed - low) * level * std::exp(-i / decay);
    }
    return frames;
}

SynthSample Drum(const ScoreInstrument& instrument) {
    CheckKeys(instrument, {"length", "tone", "toneEnd", "sweep", "toneDecay", "toneLevel",
                           "noiseDecay", "noiseLevel", "smooth", "airy", "seed", "relnote", "gain",
                           "volume", "pan", "finetune"});
    const int length = static_cast<int>(Setting(instrument, "length", 2000, 16, 65536));
    std::vector<double> frames = DrumTone(instrument, length);
    const std::vector<double> noise = DrumNoise(instrument, length);
    for (int i = 0; i < length; ++i) {
        const double tail = std::min(1.0, double(length - i) / (length / 8.0)); // ends at 0
        frames[i] = (frames[i] + noise[i]) * tail * tail;
    }
    SynthSample sample;
    sample.frames = Quantise(frames, Setting(instrument, "gain", 0.9, 0.05, 1));
    sample.relativeNote = static_cast<int8_t>(Setting(instrument, "relnote", 0, -48, 48));
    return sample;
}

} // namespace

SynthSample SynthesiseInstrument(const ScoreInstrument& instrument) {
    static const std::set<std::string> kPitched = {"sine", "triangle", "saw", "square", "pulse"};
    SynthSample sample;
    if (kPitched.count(instrument.wave)) {
        sample = Pitched(instrument);
    } else if (instrument.wave == "drum") {
        sample = Drum(instrument);
    } else {
        Fail(instrument, "wave must be sine, triangle, saw, square, pulse or drum");
    }
    sample.volume = static_cast<uint8_t>(Setting(instrument, "volume", 64, 0, 64));
    sample.panning = static_cast<uint8_t>(Setting(instrument, "pan", 128, 0, 255));
    sample.finetune = static_cast<int8_t>(Setting(instrument, "finetune", 0, -128, 127));
    return sample;
}
