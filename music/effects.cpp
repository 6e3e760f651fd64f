// The effect column: one handler per effect for the row tick and one for the other ticks,
// chosen by table. Effects without a handler in a phase point at NoEffect.
#include "effects.h"

#include "envelopes.h"
#include "sequencer.h"

namespace {

const int kEffectCount = 36; // 0..9, then A = 10 up to Z = 35

// One step of the slides A, 5, 6, H and P: up by the high nibble, or else down by the low one.
int32_t SlideStep(uint8_t speed) {
    return (speed >> 4) != 0 ? (speed >> 4) : -(speed & 15);
}

int32_t Clamp(int32_t value, int32_t lowest, int32_t highest) {
    return value < lowest ? lowest : value > highest ? highest : value;
}

// The volume slide of effects A, 5 and 6 with the shared memory's nibbles.
void SlideVolume(Channel& channel) {
    channel.volume += SlideStep(channel.volumeSlideSpeed);
    channel.flags |= UpdateVolume;
}

void StartTonePortamento(Channel& channel) {
    channel.portaTarget = channel.notePeriod;
    channel.flags &= uint8_t(~TriggerNote);
}

// 0xy arpeggio: the base note, x semitones up, y semitones up, by tick mod 3.
void ArpeggioTick(EffectContext& e) {
    if (e.parameter == 0) return;
    int32_t phase = e.song.tick % 3;
    int32_t semitones = phase == 0 ? 0 : phase == 1 ? e.x : e.y;
    Channel& c = e.channel;
    if (e.song.flags & 1)
        c.periodOffset = 64 * semitones;
    else
        c.periodOffset =
            AmigaPeriod(c.noteIndex + semitones, e.sample) - AmigaPeriod(c.noteIndex, e.sample);
    c.flags |= UpdatePitch;
}

// 1xx and 2xx portamento up and down: 4 period units per step of speed each tick.
void PortaUpRow(EffectContext& e) {
    Remember(e.channel.portaUpSpeed, e.parameter);
}
void PortaUpTick(EffectContext& e) {
    Channel& c = e.channel;
    c.period = SaturatingAdd(c.period, -4 * c.portaUpSpeed);
    if (c.period < 56) c.period = 56;
    c.periodOffset = 0;
    c.flags |= UpdatePitch;
}
void PortaDownRow(EffectContext& e) {
    Remember(e.channel.portaDownSpeed, e.parameter);
}
void PortaDownTick(EffectContext& e) {
    Channel& c = e.channel;
    c.period = SaturatingAdd(c.period, 4 * c.portaDownSpeed);
    c.periodOffset = 0;
    c.flags |= UpdatePitch;
}

// 3xx tone portamento: the row's note becomes the target instead of starting.
void TonePortaRow(EffectContext& e) {
    Remember(e.channel.portaSpeed, e.parameter);
    StartTonePortamento(e.channel);
}
void TonePortaTick(EffectContext& e) {
    ApplyTonePortamento(e.channel);
}

// 4xy vibrato: offset at the present position on the row tick, then moving on.
void VibratoRow(EffectContext& e) {
    Remember(e.channel.vibratoSpeed, e.x);
    Remember(e.channel.vibratoDepth, e.y);
    ApplyVibrato(e.channel);
}
void VibratoTick(EffectContext& e) {
    ApplyVibrato(e.channel);
    AdvanceVibrato(e.channel);
}

// 5xy tone portamento with volume slide (the portamento keeps its speed).
void TonePortaSlideRow(EffectContext& e) {
    Remember(e.channel.volumeSlideSpeed, e.parameter);
    StartTonePortamento(e.channel);
}
void TonePortaSlideTick(EffectContext& e) {
    ApplyTonePortamento(e.channel);
    SlideVolume(e.channel);
}

// 6xy vibrato with volume slide.
void VibratoSlideRow(EffectContext& e) {
    Remember(e.channel.volumeSlideSpeed, e.parameter);
    ApplyVibrato(e.channel);
}
void VibratoSlideTick(EffectContext& e) {
    VibratoTick(e);
    SlideVolume(e.channel);
}

// 7xy tremolo.
void TremoloRow(EffectContext& e) {
    Remember(e.channel.tremoloSpeed, e.x);
    Remember(e.channel.tremoloDepth, e.y);
}
void TremoloTick(EffectContext& e) {
    ApplyTremolo(e.channel);
}

// 8xx set panning.
void SetPanning(EffectContext& e) {
    e.channel.panning = e.parameter;
    e.channel.flags |= UpdatePanning;
}

// 9xx sample offset: the next note start on this channel begins p x 256 frames in; an offset
// past the sample's end restarts the sample already playing instead of starting the note.
void SampleOffset(EffectContext& e) {
    Channel& c = e.channel;
    if (e.parameter != 0) c.sampleOffset = e.parameter * 256;
    if (int64_t(c.sampleOffset) < int64_t(e.sample.loopStart) + e.sample.loopLength) {
        c.voice->startOffset = c.sampleOffset;
        return;
    }
    c.flags = uint8_t((c.flags & ~TriggerNote) | RestartVoice);
}

// Axy volume slide.
void VolumeSlideRow(EffectContext& e) {
    Remember(e.channel.volumeSlideSpeed, e.parameter);
}
void VolumeSlideTick(EffectContext& e) {
    SlideVolume(e.channel);
}

// Bxx position jump; order numbers past the song go to order 0.
void PositionJump(EffectContext& e) {
    e.song.nextRow = 0;
    e.song.nextOrder = e.parameter < e.song.songLength ? e.parameter : 0;
    *e.positionJumpSeen = true;
}

// Cxx set volume.
void SetVolume(EffectContext& e) {
    e.channel.volume = e.parameter;
}

// Dxy pattern break to row 10x + y of the next order (or of the order a jump chose).
void PatternBreak(EffectContext& e) {
    e.song.nextRow = 10 * e.x + e.y;
    if (*e.positionJumpSeen) return;
    int32_t next = e.song.order + 1;
    e.song.nextOrder = next < e.song.songLength ? next : 0;
}

// Fxx speed below 32, tempo (BPM) from 32 on.
void SpeedOrTempo(EffectContext& e) {
    if (e.parameter < 32)
        e.song.speed = e.parameter;
    else
        SetBpm(e.parameter);
}

// Gxx global volume, at most 64.
void GlobalVolume(EffectContext& e) {
    e.song.globalVolume = e.parameter < 64 ? e.parameter : 64;
}

// Hxy global volume slide; one memory for the whole song.
void GlobalSlideRow(EffectContext& e) {
    Remember(e.song.globalVolumeSlide, e.parameter);
}
void GlobalSlideTick(EffectContext& e) {
    e.song.globalVolume = Clamp(e.song.globalVolume + SlideStep(e.song.globalVolumeSlide), 0, 64);
}

// Lxx set envelope position, for an instrument whose volume envelope is on.
void EnvelopePosition(EffectContext& e) {
    if (e.instrument.volumeType & 1)
        SetVolumeEnvelopePosition(e.channel, e.instrument, e.parameter);
}

// Pxy panning slide, held within 0..255.
void PanningSlideRow(EffectContext& e) {
    if (e.parameter == 0) return;
    e.channel.panningSlideSpeed = e.parameter;
    e.channel.flags |= UpdatePanning;
}
void PanningSlideTick(EffectContext& e) {
    Channel& c = e.channel;
    c.panning = Clamp(SaturatingAdd(c.panning, SlideStep(c.panningSlideSpeed)), 0, 255);
    c.flags |= UpdatePanning;
}

// Rxy multi retrig: volume change x, interval y.
struct RetrigChange {
    int8_t add;
    uint8_t multiply;
    uint8_t divide; // 2: rounded down; 3: truncated
};
const RetrigChange kRetrigVolume[16] = {
    {0, 1, 1}, {-1, 1, 1}, {-2, 1, 1}, {-4, 1, 1}, {-8, 1, 1}, {-16, 1, 1}, {0, 2, 3}, {0, 1, 2},
    {0, 1, 1}, {1, 1, 1},  {2, 1, 1},  {4, 1, 1},  {8, 1, 1},  {16, 1, 1},  {0, 3, 2}, {0, 2, 1},
};

int32_t RetrigVolume(int32_t volume, uint8_t code) {
    const RetrigChange& change = kRetrigVolume[code & 15];
    int32_t scaled = volume * change.multiply;
    if (change.divide == 2) scaled >>= 1;
    if (change.divide == 3) scaled /= 3;
    return scaled + change.add;
}

void RetrigRow(EffectContext& e) {
    if (e.parameter == 0) return;
    e.channel.retrigVolume = e.x;
    e.channel.retrigInterval = e.y;
}
void RetrigTick(EffectContext& e) {
    Channel& c = e.channel;
    if (c.retrigInterval == 0 || e.song.tick % c.retrigInterval != 0) return;
    c.flags |= TriggerNote;
    if (c.retrigVolume == 0) return;
    c.flags |= UpdateVolume;
    c.volume = RetrigVolume(c.volume, c.retrigVolume);
}

// Txy tremor: on for x + 1 ticks, off for y + 1 ticks.
void TremorRow(EffectContext& e) {
    if (e.parameter != 0) {
        e.channel.tremorOn = e.x;
        e.channel.tremorOff = e.y;
    }
    ApplyTremor(e.channel);
}
void TremorTick(EffectContext& e) {
    ApplyTremor(e.channel);
}

// X1y and X2y extra fine portamento, 1 period unit per step, no limits.
void ExtraFinePorta(EffectContext& e) {
    Channel& c = e.channel;
    if (e.x == 1) {
        Remember(c.extraFineUpSpeed, e.y);
        c.period = SaturatingAdd(c.period, -c.extraFineUpSpeed);
    } else if (e.x == 2) {
        Remember(c.extraFineDownSpeed, e.y);
        c.period = SaturatingAdd(c.period, c.extraFineDownSpeed);
    }
}

const EffectHandler kRowHandlers[kEffectCount] = {
    NoEffect,             // 0 arpeggio: the base note sounds
    PortaUpRow,           // 1 portamento up
    PortaDownRow,         // 2 portamento down
    TonePortaRow,         // 3 tone portamento
    VibratoRow,           // 4 vibrato
    TonePortaSlideRow,    // 5 tone portamento + volume slide
    VibratoSlideRow,      // 6 vibrato + volume slide
    TremoloRow,           // 7 tremolo
    SetPanning,           // 8 set panning
    SampleOffset,         // 9 sample offset
    VolumeSlideRow,       // A volume slide
    PositionJump,         // B position jump
    SetVolume,            // C set volume
    PatternBreak,         // D pattern break
    RunExtendedRowEffect, // E extended
    SpeedOrTempo,         // F speed or tempo
    GlobalVolume,         // G global volume
    GlobalSlideRow,       // H global volume slide
    NoEffect,             // I
    NoEffect,             // J
    NoEffect,             // K key off: taken by the row tick itself
    EnvelopePosition,     // L set envelope position
    NoEffect,             // M
    NoEffect,             // N
    NoEffect,             // O
    PanningSlideRow,      // P panning slide
    NoEffect,             // Q
    RetrigRow,            // R multi retrig
    NoEffect,             // S
    TremorRow,            // T tremor
    NoEffect,             // U
    NoEffect,             // V
    NoEffect,             // W
    ExtraFinePorta,       // X extra fine portamento
    NoEffect,             // Y
    NoEffect,             // Z
};

const EffectHandler kTickHandlers[kEffectCount] = {
    ArpeggioTick,          // 0 arpeggio
    PortaUpTick,           // 1 portamento up
    PortaDownTick,         // 2 portamento down
    TonePortaTick,         // 3 tone portamento
    VibratoTick,           // 4 vibrato
    TonePortaSlideTick,    // 5 tone portamento + volume slide
    VibratoSlideTick,      // 6 vibrato + volume slide
    TremoloTick,           // 7 tremolo
    NoEffect,              // 8 set panning
    NoEffect,              // 9 sample offset
    VolumeSlideTick,       // A volume slide
    NoEffect,              // B position jump
    NoEffect,              // C set volume
    NoEffect,              // D pattern break
    RunExtendedTickEffect, // E extended
    NoEffect,              // F speed or tempo
    NoEffect,              // G global volume
    GlobalSlideTick,       // H global volume slide
    NoEffect,              // I
    NoEffect,              // J
    NoEffect,              // K key off
    NoEffect,              // L set envelope position
    NoEffect,              // M
    NoEffect,              // N
    NoEffect,              // O
    PanningSlideTick,      // P panning slide
    NoEffect,              // Q
    RetrigTick,            // R multi retrig
    NoEffect,              // S
    TremorTick,            // T tremor
    NoEffect,              // U
    NoEffect,              // V
    NoEffect,              // W
    NoEffect,              // X extra fine portamento
    NoEffect,              // Y
    NoEffect,              // Z
};

} // namespace

void RunRowEffect(EffectContext& context) {
    if (context.cell.effect < kEffectCount) kRowHandlers[context.cell.effect](context);
}

void RunTickEffect(EffectContext& context) {
    if (context.cell.effect < kEffectCount) kTickHandlers[context.cell.effect](context);
}
