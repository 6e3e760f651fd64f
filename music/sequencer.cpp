// The tick engine: tick scheduling, the row tick and the other ticks for every channel, the
// choice of the next song position, and the channel defaults of an instrument start.
#include "sequencer.h"

#include "effects.h"
#include "envelopes.h"

namespace {

int16_t emptyFrames[4];                   // the slot before frame 0 and three zero slots
const Instrument kEmptyInstrument = {};   // no samples, every map entry 0
const Cell kEmptyRow[kChannelCount] = {}; // read where the position lies outside the patterns
const Pattern kNoPattern = {};            // no rows: the next row moves on to the next order

uint32_t ActiveChannels() {
    uint32_t count = gPlayer.song.channelCount;
    return count < kChannelCount ? count : kChannelCount;
}

const Pattern& PatternAtOrder(int32_t order) {
    const Song& song = gPlayer.song;
    if (order < 0 || order >= 256 || song.patterns == nullptr) return kNoPattern;
    uint8_t number = song.orderTable[order];
    return number < song.patternCount ? song.patterns[number] : kNoPattern;
}

// The cells of the row being played. A row past the pattern's end (a pattern break aimed at a
// longer pattern than the one it lands in) is played as an empty row.
const Cell* CurrentRowCells() {
    const Song& song = gPlayer.song;
    const Pattern& pattern = PatternAtOrder(song.order);
    if (pattern.cells == nullptr || song.row < 0 || song.row >= pattern.rowCount) return kEmptyRow;
    return pattern.cells + size_t(song.row) * song.channelCount;
}

bool TonePortamentoInForce(const Cell& cell) {
    return cell.effect == 3 || cell.effect == 5 || cell.volumeColumn >= 0xF0;
}

// Step 7 of the row tick: the note's period; the channel's period too unless a tone
// portamento is to approach it.
void ApplyCellNote(Channel& channel, const Cell& cell, const Sample& sample) {
    int32_t n = int32_t(uint8_t(cell.note + sample.relativeNote)) - 1;
    channel.noteIndex = uint8_t(n);
    bool linear = (gPlayer.song.flags & 1) != 0;
    channel.notePeriod = linear ? LinearPeriod(n, sample) : AmigaPeriod(n, sample);
    if (!TonePortamentoInForce(cell)) channel.period = channel.notePeriod;
    channel.flags |= TriggerNote;
}

// Envelopes and fade-out of one tick. On the row tick a released note without a volume
// envelope falls silent at once.
void RunEnvelopeSteps(Channel& channel, const Instrument& instrument, bool rowTick) {
    if (instrument.volumeType & 1)
        AdvanceEnvelope(channel, instrument, UpdateVolume);
    else if (rowTick && channel.keyOff)
        channel.volumeEnvelopeValue = 0;
    if (instrument.panningType & 1) AdvanceEnvelope(channel, instrument, UpdatePanning);
    if (channel.keyOff) {
        ApplyFadeout(channel, instrument);
        channel.flags |= UpdateVolume;
    }
}

EffectContext MakeContext(Channel& channel, const Cell& cell, Sample& sample,
                          const Instrument& instrument, bool* positionJumpSeen) {
    uint8_t p = cell.parameter;
    ChannelBefore before = {channel.period, channel.volume, channel.panning};
    return {channel,    cell,         p,      uint8_t(p >> 4), uint8_t(p & 15), sample,
            instrument, gPlayer.song, before, positionJumpSeen};
}

// The row tick of one channel, steps 1 to 15 of the rule.
void PlayCell(Channel& channel, const Cell& cell, bool& positionJumpSeen) {
    bool tonePortamento = TonePortamentoInForce(cell);
    if (!tonePortamento && cell.instrument >= 1 && cell.instrument <= 128)
        channel.instrument = uint8_t(cell.instrument - 1);
    if (!tonePortamento && cell.note >= 1 && cell.note <= 96) channel.key = uint8_t(cell.note - 1);
    const Instrument& instrument = ChannelInstrument(channel);
    Sample& sample = ChannelSample(channel, instrument);
    EffectContext context = MakeContext(channel, cell, sample, instrument, &positionJumpSeen);

    if (channel.lastEffect == 7 && cell.effect != 7) channel.volume += channel.volumeOffset;
    channel.lastEffect = cell.effect;
    channel.volumeOffset = 0;
    channel.periodOffset = 0;
    channel.flags = UpdatePitch | UpdateVolume;
    if (cell.note >= 1 && cell.note <= 96) ApplyCellNote(channel, cell, sample);
    if (cell.instrument != 0) StartInstrument(channel, sample);
    ApplyVolumeColumn(channel, cell.volumeColumn);
    if (cell.note >= 97 || cell.effect == 20) channel.keyOff = 1;
    RunEnvelopeSteps(channel, instrument, true);
    RunRowEffect(context);
    UpdateVoice(channel, sample, instrument);
}

// The next position, chosen right after the row tick. False when the order list has run out
// and the song is not to loop.
bool ChooseNextPosition(const Pattern& played) {
    Song& song = gPlayer.song;
    int32_t row = song.nextRow >= 0 ? song.nextRow : song.row + 1;
    if (row < played.rowCount) {
        song.nextRow = row;
        return true;
    }
    song.nextRow = 0;
    int32_t order = song.order + 1;
    if (order < song.songLength) {
        song.nextOrder = order;
        return true;
    }
    if (gPlayer.noLoop) return false;
    song.nextOrder = song.restartPosition < song.songLength ? song.restartPosition : 0;
    return true;
}

} // namespace

Sample EmptySample = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, emptyFrames + 1};

const Instrument& ChannelInstrument(const Channel& channel) {
    const Song& song = gPlayer.song;
    if (song.instruments == nullptr || channel.instrument >= song.instrumentCount)
        return kEmptyInstrument;
    return song.instruments[channel.instrument];
}

Sample& ChannelSample(const Channel& channel, const Instrument& instrument) {
    if (channel.key >= 96) return EmptySample;
    uint8_t slot = instrument.sampleMap[channel.key];
    if (slot >= 16 || instrument.samples[slot] == nullptr) return EmptySample;
    return *instrument.samples[slot];
}

void SetBpm(uint32_t bpm) {
    gPlayer.song.samplesPerTick = bpm == 0 ? 120000 : 120000 / bpm;
}

void StartSongPosition() {
    Song& song = gPlayer.song;
    song.globalVolume = 64;
    for (uint32_t v = 0; v < kVoiceCount; ++v) {
        gPlayer.voices[v].index = v;
        gPlayer.voices[v].step = uint64_t(1) << 32;
    }
    song.speed = song.defaultTempo;
    song.tickFramesLeft = 0;
    song.tick = 0;
    song.patternDelay = 0;
    song.globalVolumeSlide = 0;
    song.nextOrder = 0;
    song.nextRow = 0;
    song.elapsedMs = 0;
    for (uint32_t c = 0; c < ActiveChannels(); ++c) gPlayer.channels[c].voice = &gPlayer.voices[c];
    SetBpm(song.defaultBpm);
}

bool RunTick() {
    Song& song = gPlayer.song;
    bool playing = true;
    if (song.tick == 0)
        playing = ChooseNextPosition(ProcessRow());
    else
        ProcessTick();
    song.tick += 1;
    if (song.tick >= song.speed + song.patternDelay) {
        song.tick = 0;
        song.patternDelay = 0;
    }
    song.tickFramesLeft = int32_t(song.samplesPerTick);
    return playing;
}

const Pattern& ProcessRow() {
    Song& song = gPlayer.song;
    if (song.nextOrder >= 0) song.order = song.nextOrder;
    if (song.nextRow >= 0) song.row = song.nextRow;
    song.nextOrder = -1;
    song.nextRow = -1;
    const Cell* cells = CurrentRowCells();
    bool positionJumpSeen = false;
    for (uint32_t c = 0; c < ActiveChannels(); ++c)
        PlayCell(gPlayer.channels[c], cells[c], positionJumpSeen);
    return PatternAtOrder(song.order);
}

void ProcessTick() {
    const Cell* cells = CurrentRowCells();
    for (uint32_t c = 0; c < ActiveChannels(); ++c) {
        Channel& channel = gPlayer.channels[c];
        const Instrument& instrument = ChannelInstrument(channel);
        Sample& sample = ChannelSample(channel, instrument);
        channel.volumeOffset = 0;
        channel.periodOffset = 0;
        channel.flags = 0;
        RunEnvelopeSteps(channel, instrument, false);
        VolumeColumnTick(channel, cells[c].volumeColumn);
        EffectContext context = MakeContext(channel, cells[c], sample, instrument, nullptr);
        RunTickEffect(context);
        UpdateVoice(channel, sample, instrument);
    }
}

void StartInstrument(Channel& channel, const Sample& sample) {
    channel.volume = sample.volume;
    channel.panning = sample.panning;
    channel.volumeEnvelopeValue = 64;
    channel.panningEnvelopeValue = 32;
    channel.fadeoutVolume = 65536;
    channel.volumeEnvelopeTick = channel.volumeEnvelopePoint = channel.volumeEnvelopeSlope = 0;
    channel.panningEnvelopePoint = channel.panningEnvelopeTick = channel.panningEnvelopeSlope = 0;
    channel.autoVibratoSweep = channel.autoVibratoPosition = 0;
    channel.keyOff = channel.volumeEnvelopeDone = channel.panningEnvelopeDone = 0;
    if ((channel.waveControl & 0x0F) < 4) channel.vibratoPosition = 0;
    if ((channel.waveControl >> 4) < 4) channel.tremoloPosition = 0;
    channel.flags |= UpdateVolume | UpdatePanning;
}
