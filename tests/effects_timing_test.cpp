// The effects that move the song position or act on chosen ticks: position jump, pattern
// break and loop, note cut and delay, retrigger, pattern delay, speed, tempo, global volume.
#include "effects.h"
#include "sequencer.h"
#include "song_builder.h"

#include <gtest/gtest.h>

namespace {

// Order and row played at the row tick after the first row.
std::pair<int, int> PositionAfterRowZero(Cell first, Cell second) {
    NewSong(2, 8, 64);
    CellAt(0, 0, 0) = first;
    CellAt(0, 0, 1) = second;
    StartSong();
    RunTicks(7);
    return {gPlayer.song.order, gPlayer.song.row};
}

TEST(PositionJump, JumpAndBreakInBothOrders) {
    using P = std::pair<int, int>;
    Cell b05 = {0, 0, 0, Fx('B'), 5}, d10 = {0, 0, 0, Fx('D'), 0x10};
    EXPECT_EQ(PositionAfterRowZero(b05, d10), P(5, 10));
    EXPECT_EQ(PositionAfterRowZero(d10, b05), P(5, 0));
    EXPECT_EQ(PositionAfterRowZero(d10, {}), P(1, 10));
    EXPECT_EQ(PositionAfterRowZero({0, 0, 0, Fx('D'), 0x70}, {}), P(1, 0)); // past row 63
    EXPECT_EQ(PositionAfterRowZero({0, 0, 0, Fx('B'), 9}, {}), P(0, 0));    // past the song
}

TEST(PositionJump, BreakNibblesAreTakenAsTheyAreAndTheLastOrderWrapsToZero) {
    NewSong(1, 2, 200);
    gPlayer.noLoop = 1;
    gPlayer.song.restartPosition = 1;
    Put(1, 0, 0, 0, 0, 0, Fx('D'), 0xFF);
    StartSong();
    gPlayer.song.nextOrder = 1;
    EXPECT_TRUE(RunTicks(7));
    EXPECT_EQ(gPlayer.song.order, 0); // not the restart position, and no end
    EXPECT_EQ(gPlayer.song.row, 165);
}

TEST(PatternLoop, PlaysTheLoopBodyOncePlusTheCountTimes) {
    NewSong();
    gPlayer.song.defaultTempo = 1;
    Put(0, 4, 0, 0, 0, 0, Fx('E'), 0x60);
    Put(0, 8, 0, 0, 0, 0, Fx('E'), 0x62);
    StartSong();
    EXPECT_EQ(Trace(20, [] { return gPlayer.song.row; }),
              (Values{0, 1, 2, 3, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 4, 5, 6, 7, 8, 9}));
}

// ---- Note cut, delay, retrigger, pattern delay

TEST(NoteCut, CutsOnItsTickAndNeverForZero) {
    NoteWith(Fx('E'), 0xC3);
    StartSong();
    EXPECT_EQ(Volumes(6), (Values{64, 64, 64, 0, 0, 0}));
    EXPECT_EQ(VoiceOf().volume, 0);
    NoteWith(Fx('E'), 0xC0);
    StartSong();
    EXPECT_EQ(Volumes(6), Values(6, 64));
}

TEST(NoteDelay, ThePreviousNotePlaysOnUntilTheDelayedNoteStarts) {
    NoteWith(Fx('C'), 32);
    SampleOf(1).panning = 100;
    Put(0, 1, 0, Note(5, 0), 1, 0x20, Fx('E'), 0xD2);
    StartSong();
    RunTicks(1);
    Ch().panning = 50;
    RunTicks(5);
    struct Tick {
        int32_t period, volume, panning, voice;
    };
    std::vector<Tick> ticks;
    for (int i = 0; i < 4; ++i) {
        RunTick();
        ticks.push_back({Ch().period, Ch().volume, Ch().panning, int32_t(VoiceOf().index)});
    }
    for (int i = 0; i < 2; ++i) { // ticks 0 and 1 of row 1: the old note
        EXPECT_EQ(ticks[i].period, 1712);
        EXPECT_EQ(ticks[i].volume, 32);
        EXPECT_EQ(ticks[i].panning, 50);
        EXPECT_EQ(ticks[i].voice, 0);
    }
    for (int i = 2; i < 4; ++i) { // from tick 2: the new note, with the volume column again
        EXPECT_EQ(ticks[i].period, 856);
        EXPECT_EQ(ticks[i].volume, 16);
        EXPECT_EQ(ticks[i].panning, 100);
        EXPECT_EQ(ticks[i].voice, 32);
    }
}

TEST(NoteDelay, ZeroOrUnreachedDelayNeverStartsTheNote) {
    for (uint8_t parameter : {0xD0, 0xD9}) {
        NoteWith(0, 0);
        Put(0, 1, 0, Note(5, 0), 1, 0, Fx('E'), parameter);
        StartSong();
        EXPECT_EQ(VoiceNumbers(12), Values(12, 0)) << int(parameter);
        EXPECT_EQ(Ch().period, 1712);
    }
}

TEST(PatternDelay, CountsTicksOverTheWholeLongerRow) {
    NewSong(4);
    AddInstrument(40000);
    Put(0, 0, 0, 0, 0, 0, Fx('E'), 0xE1);
    Put(0, 0, 1, kNoteC4, 1, 0, Fx('E'), 0xC9);
    Put(0, 0, 2, kNoteC4, 1, 0, Fx('E'), 0xD8);
    Put(0, 0, 3, kNoteC4, 1, 0, Fx('E'), 0x95);
    StartSong();
    Values cut, delayed, retrig;
    for (int i = 0; i < 12; ++i) {
        RunTick();
        cut.push_back(Ch(1).volume);
        delayed.push_back(int32_t(Ch(2).voice->sample != nullptr));
        retrig.push_back(int32_t(Ch(3).voice->index));
    }
    EXPECT_EQ(cut, (Values{64, 64, 64, 64, 64, 64, 64, 64, 64, 0, 0, 0}));
    EXPECT_EQ(delayed, (Values{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(retrig, (Values{3, 3, 3, 3, 3, 35, 35, 35, 35, 35, 3, 3}));
    EXPECT_EQ(gPlayer.song.row, 0);
    RunTicks(1);
    EXPECT_EQ(gPlayer.song.row, 1);
}

TEST(MultiRetrig, RestartsOnEveryIntervalTickWithItsVolumeChange) {
    NoteWith(Fx('R'), 0x24);
    StartSong();
    EXPECT_EQ(VoiceNumbers(6), (Values{0, 0, 0, 0, 32, 32}));
    EXPECT_EQ(Ch().volume, 62);
    NoteWith(Fx('R'), 0x80);
    StartSong();
    EXPECT_EQ(VoiceNumbers(6), Values(6, 0));
}

TEST(MultiRetrig, VolumeFunctionTable) {
    const int32_t expected[16] = {40, 39, 38, 36, 32, 24, 26, 20, 40, 41, 42, 44, 48, 56, 60, 64};
    for (uint8_t code = 0; code < 16; ++code) {
        NoteWith(Fx('C'), 40);
        Put(0, 1, 0, 0, 0, 0, Fx('R'), uint8_t(code << 4 | 1));
        StartSong();
        RunTicks(8);
        EXPECT_EQ(Ch().volume, expected[code]) << int(code);
        EXPECT_EQ((Ch().flags & UpdateVolume) != 0, code != 0) << int(code);
    }
}

// ---- Speed, tempo, global volume

TEST(SpeedAndTempo, BelowThirtyTwoSetsSpeedFromThirtyTwoTheBpm) {
    NoteWith(Fx('F'), 0x1F);
    StartSong();
    RunTicks(1);
    EXPECT_EQ(gPlayer.song.speed, 31);
    NoteWith(Fx('F'), 0x20);
    StartSong();
    RunTicks(1);
    EXPECT_EQ(gPlayer.song.samplesPerTick, 3750u);
    EXPECT_EQ(gPlayer.song.tickFramesLeft, 3750);
}

TEST(GlobalVolume, SetIsCappedAndTheSlideKeepsOneSongMemory) {
    NewSong(2);
    Put(0, 0, 0, 0, 0, 0, Fx('G'), 0x50);
    Put(0, 1, 0, 0, 0, 0, Fx('H'), 0x0A);
    Put(0, 2, 1, 0, 0, 0, Fx('H'), 0x00); // the other channel repeats it
    Put(0, 3, 0, 0, 0, 0, Fx('H'), 0xF0);
    StartSong();
    RunTicks(1);
    EXPECT_EQ(gPlayer.song.globalVolume, 64);
    RunTicks(6);
    EXPECT_EQ(Trace(5, [] { return gPlayer.song.globalVolume; }), (Values{54, 44, 34, 24, 14}));
    EXPECT_EQ(Trace(6, [] { return gPlayer.song.globalVolume; }), (Values{14, 4, 0, 0, 0, 0}));
    RunTicks(6);
    EXPECT_EQ(gPlayer.song.globalVolume, 64);
}

} // namespace
