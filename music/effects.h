// The two command columns of a cell: effect handlers for the row tick and for the other ticks,
// the volume column, and the shared steps (vibrato, tremolo, tone portamento, tremor).
#pragma once

#include "player_state.h"

// The channel's period, volume and panning before the row's cell was applied.
struct ChannelBefore {
    int32_t period;
    int32_t volume;
    int32_t panning;
};

// What an effect handler works on for one channel and one tick.
struct EffectContext {
    Channel& channel;
    const Cell& cell;
    uint8_t parameter; // p
    uint8_t x;         // high nibble of p
    uint8_t y;         // low nibble of p
    Sample& sample;    // the sample chosen for this tick
    const Instrument& instrument;
    Song& song;
    ChannelBefore before;   // row tick only: what note delay puts back
    bool* positionJumpSeen; // row tick only: the row's mark shared by B and D
};

using EffectHandler = void (*)(EffectContext& context);

// The handler of an effect that does nothing in a phase.
inline void NoEffect(EffectContext&) {}

// value + change, held within the 32-bit range. Slides without a limit (2xx, E1y, E2y, X, the
// volume column's panning slides) can run for days; they stop at the end of the range instead
// of wrapping, and are the plain sum everywhere before it.
inline int32_t SaturatingAdd(int32_t value, int32_t change) {
    int64_t sum = int64_t(value) + change;
    return sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : int32_t(sum);
}

// A memory keeps the last non-zero value given to its effect.
inline void Remember(uint8_t& memory, uint8_t value) {
    if (value != 0) memory = value;
}

// Row-tick handler of the cell's effect (effects 1..33; the others have none).
void RunRowEffect(EffectContext& context);

// Other-tick handler of the cell's effect (effects 0..29; the others have none).
void RunTickEffect(EffectContext& context);

// Extended effect Exy, row tick and other ticks, chosen by x.
void RunExtendedRowEffect(EffectContext& context);
void RunExtendedTickEffect(EffectContext& context);

// The volume column's row-tick form; also run again when a delayed note starts.
void ApplyVolumeColumn(Channel& channel, uint8_t volumeColumn);

// The volume column's work on the ticks after the row tick.
void VolumeColumnTick(Channel& channel, uint8_t volumeColumn);

// Vibrato offset at the present position (replaces periodOffset); sets UpdatePitch.
void ApplyVibrato(Channel& channel);
// Moves the vibrato position on by vibratoSpeed, wrapping into -32..31.
void AdvanceVibrato(Channel& channel);
// Tremolo offset at the present position, then moves the position on; sets UpdateVolume.
void ApplyTremolo(Channel& channel);
// Slides period towards portaTarget by 4 x portaSpeed without passing it; sets UpdatePitch.
void ApplyTonePortamento(Channel& channel);
// One tick of the tremor's on/off counter; silences the tick while off; sets UpdateVolume.
void ApplyTremor(Channel& channel);
