// Small songs built straight into the player's records on its private heap.
#include "song_builder.h"

#include "sequencer.h"
#include "sources.h"

#include <cstring>
#include <stdexcept>

namespace {

const uint32_t kInstrumentCapacity = 16;

void SetEnvelope(EnvelopePoint* target, uint8_t& count, const std::vector<EnvelopePoint>& points) {
    count = uint8_t(points.size());
    for (size_t i = 0; i < points.size() && i < 12; ++i) target[i] = points[i];
}

} // namespace

void NewSong(uint32_t channels, uint32_t patterns, uint16_t rows) {
    DestroyPlayerHeap();
    CreatePlayerHeap();
    Song& song = gPlayer.song;
    std::memset(&song, 0, sizeof song);
    gPlayer.noLoop = 0;
    song.channelCount = channels;
    song.patternCount = uint16_t(patterns);
    song.songLength = uint16_t(patterns);
    song.defaultTempo = 6;
    song.defaultBpm = 125;
    song.patterns = static_cast<Pattern*>(PlayerAlloc(
        uint32_t(patterns * sizeof(Pattern) + kInstrumentCapacity * sizeof(Instrument))));
    song.instruments = reinterpret_cast<Instrument*>(song.patterns + patterns);
    for (uint32_t p = 0; p < patterns; ++p) {
        song.orderTable[p] = uint8_t(p);
        song.patterns[p].rowCount = rows;
        song.patterns[p].cells =
            static_cast<Cell*>(PlayerAlloc(uint32_t(rows * channels * sizeof(Cell))));
    }
}

Sample& AddSample(Instrument& instrument, int slot, uint32_t frames) {
    uint32_t bytes = uint32_t(sizeof(Sample) + (1 + frames + 3) * sizeof(int16_t));
    Sample* sample = static_cast<Sample*>(PlayerAlloc(bytes));
    sample->data = reinterpret_cast<int16_t*>(sample + 1) + 1;
    for (uint32_t i = 0; i < frames; ++i) sample->data[i] = int16_t(i * 1000 % 30000);
    sample->length = frames;
    sample->loopLength = frames;
    sample->volume = 64;
    sample->panning = 128;
    instrument.samples[slot] = sample;
    return *sample;
}

Instrument& AddInstrument(uint32_t frames, uint8_t loopType) {
    Song& song = gPlayer.song;
    if (song.instrumentCount == kInstrumentCapacity)
        throw std::length_error("a built song holds at most 16 instruments");
    Instrument& instrument = song.instruments[song.instrumentCount++];
    Sample& sample = AddSample(instrument, 0, frames);
    sample.loopType = loopType;
    if (loopType != 0) sample.data[frames] = sample.data[0];
    return instrument;
}

Sample& SampleOf(int number) {
    return *gPlayer.song.instruments[number - 1].samples[0];
}

void SetVolumeEnvelope(Instrument& instrument, const std::vector<EnvelopePoint>& points,
                       uint8_t type, uint8_t sustain, uint8_t loopStart, uint8_t loopEnd) {
    SetEnvelope(instrument.volumeEnvelope, instrument.volumePointCount, points);
    instrument.volumeType = type;
    instrument.volumeSustain = sustain;
    instrument.volumeLoopStart = loopStart;
    instrument.volumeLoopEnd = loopEnd;
}

void SetPanningEnvelope(Instrument& instrument, const std::vector<EnvelopePoint>& points,
                        uint8_t type, uint8_t sustain, uint8_t loopStart, uint8_t loopEnd) {
    SetEnvelope(instrument.panningEnvelope, instrument.panningPointCount, points);
    instrument.panningType = type;
    instrument.panningSustain = sustain;
    instrument.panningLoopStart = loopStart;
    instrument.panningLoopEnd = loopEnd;
}

Cell& CellAt(uint32_t pattern, uint32_t row, uint32_t channel) {
    const Song& song = gPlayer.song;
    return song.patterns[pattern].cells[row * song.channelCount + channel];
}

void Put(uint32_t pattern, uint32_t row, uint32_t channel, uint8_t note, uint8_t instrument,
         uint8_t volumeColumn, uint8_t effect, uint8_t parameter) {
    CellAt(pattern, row, channel) = Cell{note, instrument, volumeColumn, effect, parameter};
}

void StartSong() {
    std::memset(gPlayer.voices, 0, sizeof gPlayer.voices);
    std::memset(gPlayer.channels, 0, sizeof gPlayer.channels);
    StartSongPosition();
}

bool RunTicks(int ticks) {
    bool playing = true;
    for (int i = 0; i < ticks; ++i) playing = RunTick() && playing;
    return playing;
}

std::vector<int32_t> Trace(int ticks, const std::function<int32_t()>& read) {
    std::vector<int32_t> values;
    for (int i = 0; i < ticks; ++i) {
        RunTick();
        values.push_back(read());
    }
    return values;
}

Channel& Ch(uint32_t channel) {
    return gPlayer.channels[channel];
}
Voice& VoiceOf(uint32_t channel) {
    return *gPlayer.channels[channel].voice;
}

void NoteWith(uint8_t effect, uint8_t parameter, bool linear, uint8_t volumeColumn) {
    NewSong();
    gPlayer.song.flags = linear ? 1 : 0;
    AddInstrument(4000);
    Put(0, 0, 0, kNoteC4, 1, volumeColumn, effect, parameter);
}

Values Periods(int ticks) {
    return Trace(ticks, [] { return Ch().period; });
}
Values PeriodOffsets(int ticks) {
    return Trace(ticks, [] { return Ch().periodOffset; });
}
Values Volumes(int ticks) {
    return Trace(ticks, [] { return Ch().volume; });
}
Values VolumeOffsets(int ticks) {
    return Trace(ticks, [] { return Ch().volumeOffset; });
}
Values VoiceNumbers(int ticks, uint32_t channel) {
    return Trace(ticks, [channel] { return int32_t(Ch(channel).voice->index); });
}
