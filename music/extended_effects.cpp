// Extended effects E0y..EFy, one handler per sub-command for the row tick and for the other
// ticks, chosen by table.
#include "effects.h"

#include "sequencer.h"

namespace {

// E1y and E2y fine portamento, once on the row tick, no limits.
void FinePortaUp(EffectContext& e) {
    Remember(e.channel.finePortaUpSpeed, e.y);
    e.channel.period = SaturatingAdd(e.channel.period, -4 * e.channel.finePortaUpSpeed);
}
void FinePortaDown(EffectContext& e) {
    Remember(e.channel.finePortaDownSpeed, e.y);
    e.channel.period = SaturatingAdd(e.channel.period, 4 * e.channel.finePortaDownSpeed);
}

// E4y vibrato control and E7y tremolo control.
void VibratoControl(EffectContext& e) {
    e.channel.waveControl = uint8_t((e.channel.waveControl & 0xF0) | e.y);
}
void TremoloControl(EffectContext& e) {
    e.channel.waveControl = uint8_t((e.channel.waveControl & 0x0F) | (e.y << 4));
}

// E5y set finetune, written into the sample itself for every later note. The shared silent
// sample is never changed.
void SetFinetune(EffectContext& e) {
    if (&e.sample != &EmptySample) e.sample.finetune = int8_t(e.y);
}

// E6y pattern loop: E60 marks the start, E6y plays the loop body y + 1 times.
void PatternLoop(EffectContext& e) {
    Channel& c = e.channel;
    if (e.y == 0) {
        c.loopRow = e.song.row;
        return;
    }
    if (c.loopCount == 0) c.loopCount = e.y + 1;
    c.loopCount -= 1;
    if (c.loopCount != 0) e.song.nextRow = c.loopRow;
}

// E8y coarse panning.
void CoarsePanning(EffectContext& e) {
    e.channel.panning = 16 * e.y;
    e.channel.flags |= UpdatePanning;
}

// E9y retrigger every y ticks.
void RetriggerTick(EffectContext& e) {
    if (e.y == 0 || e.song.tick % e.y != 0) return;
    e.channel.flags |= TriggerNote | UpdateVolume | UpdatePitch;
}

// EAy and EBy fine volume slides, sharing one signed memory.
void FineVolumeUp(EffectContext& e) {
    if (e.y != 0) e.channel.fineVolumeSlide = int8_t(-e.y);
    e.channel.volume -= e.channel.fineVolumeSlide;
}
void FineVolumeDown(EffectContext& e) {
    if (e.y != 0) e.channel.fineVolumeSlide = int8_t(e.y);
    e.channel.volume -= e.channel.fineVolumeSlide;
}

// ECy note cut on tick y.
void NoteCutTick(EffectContext& e) {
    if (e.song.tick != e.y) return;
    e.channel.volume = 0;
    e.channel.flags |= UpdateVolume;
}

// EDy note delay: the row's note sounds from tick y; until then the previous note plays on.
void NoteDelayRow(EffectContext& e) {
    Channel& c = e.channel;
    c.period = e.before.period;
    c.volume = e.before.volume;
    c.panning = e.before.panning;
    c.flags = 0;
}
void NoteDelayTick(EffectContext& e) {
    Channel& c = e.channel;
    if (e.song.tick != e.y) {
        c.flags = 0;
        return;
    }
    StartInstrument(c, e.sample);
    c.period = c.notePeriod;
    c.flags |= TriggerNote | UpdatePitch;
    ApplyVolumeColumn(c, e.cell.volumeColumn);
}

// EEy pattern delay: y more rows' worth of ticks at the present speed.
void PatternDelay(EffectContext& e) {
    e.song.patternDelay = e.y * e.song.speed;
}

const EffectHandler kExtendedRowHandlers[16] = {
    NoEffect,       // E0 filter
    FinePortaUp,    // E1 fine portamento up
    FinePortaDown,  // E2 fine portamento down
    NoEffect,       // E3 glissando control
    VibratoControl, // E4 vibrato control
    SetFinetune,    // E5 set finetune
    PatternLoop,    // E6 pattern loop
    TremoloControl, // E7 tremolo control
    CoarsePanning,  // E8 coarse panning
    NoEffect,       // E9 retrigger
    FineVolumeUp,   // EA fine volume slide up
    FineVolumeDown, // EB fine volume slide down
    NoEffect,       // EC note cut
    NoteDelayRow,   // ED note delay
    PatternDelay,   // EE pattern delay
    NoEffect,       // EF
};

const EffectHandler kExtendedTickHandlers[16] = {
    NoEffect,      // E0 filter
    NoEffect,      // E1 fine portamento up
    NoEffect,      // E2 fine portamento down
    NoEffect,      // E3 glissando control
    NoEffect,      // E4 vibrato control
    NoEffect,      // E5 set finetune
    NoEffect,      // E6 pattern loop
    NoEffect,      // E7 tremolo control
    NoEffect,      // E8 coarse panning
    RetriggerTick, // E9 retrigger
    NoEffect,      // EA fine volume slide up
    NoEffect,      // EB fine volume slide down
    NoteCutTick,   // EC note cut
    NoteDelayTick, // ED note delay
    NoEffect,      // EE pattern delay
    NoEffect,      // EF
};

} // namespace

void RunExtendedRowEffect(EffectContext& context) {
    kExtendedRowHandlers[context.x](context);
}

void RunExtendedTickEffect(EffectContext& context) {
    kExtendedTickHandlers[context.x](context);
}
