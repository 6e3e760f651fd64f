// The mixer: resamples every voice with linear interpolation, applies its gains and gain ramps,
// adds it into the float mix buffer and moves it through its forward or ping-pong loop.
#include "mixer.h"
#include "mixer_loops.h"

#include <cmath>

namespace {

constexpr float kGainScale = 0.003921569f;   // the float nearest to 1/255
constexpr float kRampScale = 2.8212724e-05f; // the float nearest to 1/(255 x 139)
const int32_t kRampFrames = 139;
const uint64_t kSlowStepDivisor = 97391;      // stands in for a step below 2^-24 frame per frame
const uint64_t kFixedOne = uint64_t(1) << 32; // one frame in 32.32 fixed point

static_assert(kGainScale == float(1.0 / 255), "gain scale must be the float nearest 1/255");
static_assert(kRampScale == float(1.0 / 35445), "ramp scale must be the float nearest 1/35445");

// A stored position of 0xFFFFFFFF is frame -1: a loop wrap or a reflection at S can leave the
// position a fraction of a frame before S, and for S = 0 that is before the first frame. Other
// values count as unsigned; from 2^30 on they all lie beyond any sample (below 2^22 frames).
const uint32_t kFarBeyond = 1u << 30;
int64_t WholeFrames(uint32_t position) {
    if (position == 0xFFFFFFFFu) return -1;
    return position < kFarBeyond ? int64_t(position) : int64_t(kFarBeyond);
}

// The voice's play position as signed 32.32 fixed point.
int64_t SignedPosition(const Voice& voice) {
    return WholeFrames(voice.position) * int64_t(kFixedOne) + int64_t(voice.fraction);
}

// Whole frames of a signed 32.32 position, rounded down.
int64_t FloorFrames(int64_t x) {
    return x >= 0 ? x >> 32 : ~(~x >> 32);
}

int64_t FixedFrames(uint32_t frames) {
    return int64_t(frames) * int64_t(kFixedOne);
}

void StorePosition(Voice& voice, int64_t x) {
    voice.position = static_cast<uint32_t>(static_cast<uint64_t>(x) >> 32);
    voice.fraction = static_cast<uint32_t>(x);
}

// Step 1: the 32.32 distance to the next boundary; false when the voice lies beyond it. A voice
// moving backward from above its loop end would read behind the sample, so it counts as beyond.
bool BoundaryDistance(const Voice& voice, const Sample& sample, int64_t x, uint64_t& distance) {
    int64_t whole = FloorFrames(x);
    int64_t loopEnd = int64_t(sample.loopStart) + sample.loopLength;
    if (voice.backward == 0) {
        int64_t boundary = (whole < loopEnd ? loopEnd : int64_t(sample.length)) << 32;
        if (x > boundary) return false;
        distance = static_cast<uint64_t>(boundary - x);
    } else {
        int64_t boundary = FixedFrames(sample.loopStart);
        if (whole > loopEnd || x < boundary) return false;
        distance = static_cast<uint64_t>(x - boundary);
    }
    return true;
}

// Step 2: F, the frames until the boundary, both operands taken with 24 fractional bits and the
// quotient rounded up. The chunk is F frames when F <= `frames` (the boundary is reached at its
// end), else `frames`; deciding that needs no division (F <= m exactly when D' <= m x step'), and
// the division that remains is mostly a 32-bit one.
bool ChunkToBoundary(uint64_t distance, uint64_t step, uint32_t frames, uint32_t& chunk) {
    uint64_t divisor = step >> 8;
    if (divisor == 0) divisor = kSlowStepDivisor;
    uint64_t numerator = distance >> 8;
    if (numerator > frames * divisor) {
        chunk = frames;
        return false;
    }
    if (numerator == 0)
        chunk = 0;
    else if (numerator <= 0xFFFFFFFFu && divisor <= 0xFFFFFFFFu)
        chunk = (uint32_t(numerator) - 1) / uint32_t(divisor) + 1;
    else
        chunk = static_cast<uint32_t>((numerator - 1) / divisor + 1);
    return true;
}

// Step 3: go on with the running ramp, or start a new one towards changed targets.
void SetUpRamp(Voice& voice) {
    if (voice.rampFrames > 0 && voice.rightVolume == voice.rampRightTarget &&
        voice.leftVolume == voice.rampLeftTarget)
        return;
    voice.rampRightTarget = voice.rightVolume;
    voice.rampLeftTarget = voice.leftVolume;
    int32_t rightDelta = voice.rightVolume - voice.currentRight;
    int32_t leftDelta = voice.leftVolume - voice.currentLeft;
    voice.rampRightStep = rightDelta ? static_cast<float>(rightDelta) * kRampScale : 0.0f;
    voice.rampLeftStep = leftDelta ? static_cast<float>(leftDelta) * kRampScale : 0.0f;
    voice.rampFrames = (rightDelta != 0 || leftDelta != 0) ? kRampFrames : 0;
}

// Steps 4 and 5: mixes `frames` frames of the voice from position `start`, stores its gains and
// position and returns the position. The last move may leave it up to a step past the boundary.
int64_t MixChunk(Voice& voice, int64_t start, float* out, uint32_t frames) {
    const int16_t* data = voice.sample->data;
    uint64_t x = static_cast<uint64_t>(start);
    uint64_t move = voice.backward ? uint64_t(0) - voice.step : voice.step;
    if (voice.rampFrames > 0) {
        RampGains gains = {static_cast<float>(voice.currentLeft) * kGainScale,
                           static_cast<float>(voice.currentRight) * kGainScale, voice.rampLeftStep,
                           voice.rampRightStep};
        x = MixRamp(data, x, move, gains, out, frames);
        voice.currentLeft = static_cast<int32_t>(std::nearbyint(gains.left * 255.0));
        voice.currentRight = static_cast<int32_t>(std::nearbyint(gains.right * 255.0));
        voice.rampFrames -= static_cast<int32_t>(frames);
        if (voice.rampFrames == 0) {
            voice.rampLeftStep = voice.rampRightStep = 0.0f;
            voice.currentLeft = voice.leftVolume;
            voice.currentRight = voice.rightVolume;
        }
    } else if (voice.leftVolume == 0 && voice.rightVolume == 0) {
        x = AdvanceSilently(x, move, frames);
    } else {
        x = MixSteady(data, x, move, static_cast<float>(voice.leftVolume) * kGainScale,
                      static_cast<float>(voice.rightVolume) * kGainScale, out, frames);
    }
    StorePosition(voice, static_cast<int64_t>(x));
    return static_cast<int64_t>(x);
}

void EndVoice(Voice& voice) {
    voice.sample = nullptr;
    voice.position = 0;
    voice.fraction = 0;
}

// Forward loop: back by the loop length, and again while the position is at or past E.
void WrapForward(Voice& voice, const Sample& sample, int64_t x) {
    int64_t loopEnd = int64_t(sample.loopStart) + sample.loopLength;
    int64_t whole = FloorFrames(x) - sample.loopLength;
    if (whole >= loopEnd) whole -= ((whole - loopEnd) / sample.loopLength + 1) * sample.loopLength;
    voice.position = static_cast<uint32_t>(whole);
}

// Ping-pong loop: x becomes 2E - x or 2S - x, less 2^-32, and the reflections alternate while
// the position lies outside the loop. With u = x - S, each pair of reflections (at E, then S)
// takes u back by two loop lengths, so the repetition is a remainder.
void ReflectPingPong(Voice& voice, const Sample& sample, int64_t x) {
    int64_t span = FixedFrames(sample.loopLength);
    int64_t u = x - FixedFrames(sample.loopStart);
    bool reflectAtStart = voice.backward != 0;
    if (!reflectAtStart) {
        u = 2 * span - 1 - u; // reflect at E
        voice.backward = 1;
        reflectAtStart = u < 0;
    }
    if (reflectAtStart) {
        u = -1 - u; // reflect at S
        voice.backward = 0;
        if (u >= span) {
            u %= 2 * span;
            if (u >= span) {
                u = 2 * span - 1 - u; // reflect at E
                voice.backward = 1;
            }
        }
    }
    StorePosition(voice, u + FixedFrames(sample.loopStart));
}

// The loop rule at a boundary reached at position x; false when the voice has ended.
bool ApplyLoopRule(Voice& voice, int64_t x) {
    const Sample& sample = *voice.sample;
    if ((sample.loopType != 1 && sample.loopType != 2) || sample.loopLength == 0) {
        EndVoice(voice);
        return false;
    }
    if (sample.loopType == 1 && voice.backward == 0)
        WrapForward(voice, sample, x);
    else
        ReflectPingPong(voice, sample, x);
    return true;
}

// One voice through n frames: chunks end at boundaries and at ramp ends.
void MixVoice(Voice& voice, float* out, uint32_t frames) {
    for (;;) {
        int64_t x = SignedPosition(voice);
        uint64_t distance;
        if (!BoundaryDistance(voice, *voice.sample, x, distance)) return;
        uint32_t chunk;
        bool reachesBoundary = ChunkToBoundary(distance, voice.step, frames, chunk);
        SetUpRamp(voice);
        bool cutByRamp = voice.rampFrames > 0 && chunk > uint32_t(voice.rampFrames);
        if (cutByRamp) chunk = static_cast<uint32_t>(voice.rampFrames);
        x = MixChunk(voice, x, out, chunk);
        out += 2 * chunk;
        frames -= chunk;
        if (cutByRamp) continue;
        if (!reachesBoundary || !ApplyLoopRule(voice, x) || frames == 0) return;
    }
}

} // namespace

void MixVoices(float* destination, uint32_t n) {
    if (n == 0) return;
    for (Voice& voice : gPlayer.voices)
        if (voice.sample != nullptr) MixVoice(voice, destination, n);
}
