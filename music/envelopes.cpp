// Volume and panning envelopes in 16.16 fixed point, fade-out after key-off, the instrument's
// auto-vibrato, and the envelope repositioning of effect Lxx. Envelope data is never trusted:
// point indices stay below the point count (at most 12) and no segment divides by zero.
#include "envelopes.h"

#include <cmath>

namespace {

const int32_t kMaxPoints = 12;
const int32_t kMaxValue = 64;
const float kAutoVibratoUnit = 0.024543688f; // 2 pi / 256 in single precision

// One envelope of an instrument, with its point count bounded to the points stored.
struct EnvelopeShape {
    const EnvelopePoint* points;
    int32_t count;
    int32_t sustain;
    int32_t loopStart;
    int32_t loopEnd;
    uint8_t type; // bit 0 on, bit 1 sustain, bit 2 loop
};

// One envelope's running state in a channel.
struct EnvelopeState {
    int32_t& tick;
    int32_t& point;
    int32_t& slope; // 16.16 per tick
    int32_t& fixed; // 16.16
    int32_t& value;
    uint8_t& done;
};

EnvelopeShape ShapeOf(const Instrument& in, uint8_t which) {
    if (which == UpdateVolume)
        return {
            in.volumeEnvelope, in.volumePointCount < kMaxPoints ? in.volumePointCount : kMaxPoints,
            in.volumeSustain,  in.volumeLoopStart,
            in.volumeLoopEnd,  in.volumeType};
    return {
        in.panningEnvelope, in.panningPointCount < kMaxPoints ? in.panningPointCount : kMaxPoints,
        in.panningSustain,  in.panningLoopStart,
        in.panningLoopEnd,  in.panningType};
}

EnvelopeState StateOf(Channel& c, uint8_t which) {
    if (which == UpdateVolume)
        return {c.volumeEnvelopeTick,  c.volumeEnvelopePoint, c.volumeEnvelopeSlope,
                c.volumeEnvelopeFixed, c.volumeEnvelopeValue, c.volumeEnvelopeDone};
    return {c.panningEnvelopeTick,  c.panningEnvelopePoint, c.panningEnvelopeSlope,
            c.panningEnvelopeFixed, c.panningEnvelopeValue, c.panningEnvelopeDone};
}

// A point's value, bounded to the envelope range so that 16.16 values cannot overflow.
int32_t PointValue(const EnvelopePoint& point) {
    return point.y < kMaxValue ? point.y : kMaxValue;
}

int32_t FixedFromValue(int32_t value) {
    return value * 65536;
}
int32_t ValueFromFixed(int32_t fixed) {
    return fixed >> 16;
} // arithmetic: rounds down

// Change per tick from one point to the next, truncated; 0 where x does not rise.
int32_t SegmentSlope(const EnvelopePoint& from, const EnvelopePoint& to) {
    int32_t ticks = int32_t(to.x) - int32_t(from.x);
    if (ticks <= 0) return 0;
    return FixedFromValue(PointValue(to) - PointValue(from)) / ticks;
}

// Ends the envelope at point i, holding that point's value.
void HoldForGood(EnvelopeState& state, const EnvelopeShape& shape, int32_t i) {
    state.point = i;
    state.value = PointValue(shape.points[i]);
    state.done = 1;
}

// Step 4 of the envelope rule: the envelope has arrived at its point.
void ArriveAtPoint(EnvelopeState& state, const EnvelopeShape& shape, bool keyOff) {
    const EnvelopePoint* p = shape.points;
    int32_t i = state.point;
    if ((shape.type & 4) && i == shape.loopEnd && shape.loopStart < shape.count) {
        i = shape.loopStart;
        state.tick = p[i].x;
    }
    state.point = i;
    state.value = PointValue(p[i]);
    if (i == shape.count - 1) {
        state.done = 1;
        return;
    }
    if ((shape.type & 2) && i == shape.sustain && !keyOff) return;
    // A next point at the same or an earlier tick can never be reached: hold here.
    if (p[i + 1].x <= p[i].x) return HoldForGood(state, shape, i);
    state.fixed = FixedFromValue(PointValue(p[i]));
    state.slope = SegmentSlope(p[i], p[i + 1]);
    state.point = i + 1;
    state.value = ValueFromFixed(state.fixed);
    state.tick += 1;
}

// Auto-vibrato waveform value -64..64 at phase p (0..255).
int32_t AutoVibratoWave(uint8_t type, int32_t p) {
    switch (type) {
    case 0:
        return int32_t(std::llrint(std::sin(double(p) * double(kAutoVibratoUnit)) * 64.0));
    case 1:
        return p < 128 ? 64 : -64;
    case 2:
        return (128 - ((p - 128) & 255)) >> 1;
    default:
        return (128 - ((-128 - p) & 255)) >> 1;
    }
}

} // namespace

void AdvanceEnvelope(Channel& channel, const Instrument& instrument, uint8_t which) {
    channel.flags |= which;
    EnvelopeShape shape = ShapeOf(instrument, which);
    EnvelopeState state = StateOf(channel, which);
    if (state.done) return;
    if (shape.count == 0) {
        state.done = 1; // no points: the value stays as the instrument start left it
        return;
    }
    if (state.point < 0 || state.point >= shape.count)
        return HoldForGood(state, shape, shape.count - 1);
    if (state.tick != shape.points[state.point].x) {
        state.fixed += state.slope;
        state.value = ValueFromFixed(state.fixed);
        state.tick += 1;
        return;
    }
    ArriveAtPoint(state, shape, channel.keyOff != 0);
}

void ApplyFadeout(Channel& channel, const Instrument& instrument) {
    channel.fadeoutVolume -= instrument.fadeout;
    if (channel.fadeoutVolume < 0) channel.fadeoutVolume = 0;
}

void ApplyAutoVibrato(Channel& channel, const Instrument& instrument) {
    int32_t p = channel.autoVibratoPosition;
    int32_t depth = AutoVibratoWave(instrument.vibratoType, p) * instrument.vibratoDepth;
    if (instrument.vibratoSweep != 0)
        depth = channel.autoVibratoSweep * depth / instrument.vibratoSweep;
    channel.periodOffset += depth >> 6;
    if (channel.autoVibratoSweep < instrument.vibratoSweep) channel.autoVibratoSweep += 1;
    channel.flags |= UpdatePitch;
    p += instrument.vibratoRate;
    channel.autoVibratoPosition = p >= 256 ? p - 256 : p;
}

void SetVolumeEnvelopePosition(Channel& channel, const Instrument& instrument, int32_t tick) {
    EnvelopeShape shape = ShapeOf(instrument, UpdateVolume);
    if (shape.count == 0) return;
    const EnvelopePoint* p = shape.points;
    int32_t i = 0;
    while (i < shape.count - 1 && tick > p[i + 1].x) ++i;
    channel.volumeEnvelopePoint = i;
    if (i >= shape.count - 1) {
        channel.volumeEnvelopeValue = PointValue(p[shape.count - 1]);
        channel.volumeEnvelopeDone = 1;
        return;
    }
    // A tick before the first point starts the envelope at the first point.
    if (tick < p[i].x) tick = p[i].x;
    int32_t slope = SegmentSlope(p[i], p[i + 1]);
    channel.volumeEnvelopeDone = 0;
    channel.volumeEnvelopeTick = tick;
    channel.volumeEnvelopeSlope = slope;
    channel.volumeEnvelopeFixed = FixedFromValue(PointValue(p[i])) + (tick - p[i].x) * slope;
    channel.volumeEnvelopeValue = ValueFromFixed(channel.volumeEnvelopeFixed);
    channel.volumeEnvelopePoint = i + 1;
}
