// The volume column: one handler per command (high nibble) for the row tick and for the other
// ticks, chosen by table. The column keeps no memories and its panning slides do not clamp.
#include "effects.h"

namespace {

using ColumnHandler = void (*)(Channel& channel, uint8_t v);

void Nothing(Channel&, uint8_t) {}

// 0x10..0x50 set volume 0..64; 0x51..0x5F do nothing.
void ColumnSetVolume(Channel& c, uint8_t v) {
    if (v <= 0x50) c.volume = v - 0x10;
}

// 0x6y and 0x7y slide on every tick, 0x8y and 0x9y on the row tick only.
void VolumeDown(Channel& c, uint8_t v) {
    c.volume -= v & 15;
}
void VolumeUp(Channel& c, uint8_t v) {
    c.volume += v & 15;
}
void VolumeDownTick(Channel& c, uint8_t v) {
    VolumeDown(c, v);
    c.flags |= UpdateVolume;
}
void VolumeUpTick(Channel& c, uint8_t v) {
    VolumeUp(c, v);
    c.flags |= UpdateVolume;
}

// 0xAy vibrato speed, 0xBy vibrato with depth y.
void VibratoSpeed(Channel& c, uint8_t v) {
    c.vibratoSpeed = v & 15;
}
void VibratoDepth(Channel& c, uint8_t v) {
    c.vibratoDepth = v & 15;
}
void ColumnVibratoTick(Channel& c, uint8_t v) {
    VibratoDepth(c, v);
    ApplyVibrato(c);
    AdvanceVibrato(c);
}

// 0xCy set panning, 0xDy and 0xEy panning slides left and right.
void ColumnSetPanning(Channel& c, uint8_t v) {
    c.panning = 16 * (v & 15);
    c.flags |= UpdatePanning;
}
void PanningLeft(Channel& c, uint8_t v) {
    c.panning = SaturatingAdd(c.panning, -(v & 15));
    c.flags |= UpdatePanning;
}
void PanningRight(Channel& c, uint8_t v) {
    c.panning = SaturatingAdd(c.panning, v & 15);
    c.flags |= UpdatePanning;
}

// 0xFy tone portamento at speed 16y; 0xF0 keeps the speed it had.
void TonePortamento(Channel& c, uint8_t v) {
    if ((v & 15) != 0) c.portaSpeed = uint8_t(16 * (v & 15));
    c.flags &= uint8_t(~TriggerNote);
    c.portaTarget = c.notePeriod;
}
void TonePortamentoTick(Channel& c, uint8_t) {
    ApplyTonePortamento(c);
}

// The row-tick and the other-tick handler of each command.
struct ColumnCommand {
    ColumnHandler row;
    ColumnHandler tick;
};

const ColumnCommand kColumnCommands[16] = {
    {Nothing, Nothing},                   // 0x0y none
    {ColumnSetVolume, Nothing},           // 0x1y set volume
    {ColumnSetVolume, Nothing},           // 0x2y set volume
    {ColumnSetVolume, Nothing},           // 0x3y set volume
    {ColumnSetVolume, Nothing},           // 0x4y set volume
    {ColumnSetVolume, Nothing},           // 0x50 set volume 64
    {VolumeDown, VolumeDownTick},         // 0x6y volume slide down
    {VolumeUp, VolumeUpTick},             // 0x7y volume slide up
    {VolumeDown, Nothing},                // 0x8y fine volume slide down
    {VolumeUp, Nothing},                  // 0x9y fine volume slide up
    {VibratoSpeed, Nothing},              // 0xAy set vibrato speed
    {VibratoDepth, ColumnVibratoTick},    // 0xBy vibrato
    {ColumnSetPanning, Nothing},          // 0xCy set panning
    {PanningLeft, PanningLeft},           // 0xDy panning slide left
    {PanningRight, PanningRight},         // 0xEy panning slide right
    {TonePortamento, TonePortamentoTick}, // 0xFy tone portamento
};

} // namespace

void ApplyVolumeColumn(Channel& channel, uint8_t volumeColumn) {
    kColumnCommands[volumeColumn >> 4].row(channel, volumeColumn);
}

void VolumeColumnTick(Channel& channel, uint8_t volumeColumn) {
    kColumnCommands[volumeColumn >> 4].tick(channel, volumeColumn);
}
