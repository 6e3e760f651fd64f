// Volume and panning envelopes, fade-out and auto-vibrato, driven tick by tick from a note
// that starts its instrument on row 0.
#include "envelopes.h"
#include "sequencer.h"
#include "song_builder.h"
#include "xm_builder.h"

#include <gtest/gtest.h>

namespace {

// One channel, instrument 1 with the given volume envelope, C-4 on row 0 at speed 6.
Instrument& VolumeEnvelopeSong(const std::vector<EnvelopePoint>& points, uint8_t type,
                               uint8_t sustain = 0, uint8_t loopStart = 0, uint8_t loopEnd = 0) {
    NewSong();
    Instrument& instrument = AddInstrument();
    SetVolumeEnvelope(instrument, points, type, sustain, loopStart, loopEnd);
    Put(0, 0, 0, kNoteC4, 1);
    return instrument;
}

Values EnvelopeValues(int ticks) {
    return Trace(ticks, [] { return Ch().volumeEnvelopeValue; });
}

TEST(VolumeEnvelope, FallsAlongItsSegmentAndStopsAtTheLastPoint) {
    VolumeEnvelopeSong({{0, 64}, {10, 0}}, 1);
    StartSong();
    EXPECT_EQ(EnvelopeValues(14), (Values{64, 57, 51, 44, 38, 32, 25, 19, 12, 6, 0, 0, 0, 0}));
    EXPECT_EQ(Ch().volumeEnvelopeDone, 1);
    EXPECT_EQ(VoiceOf().volume, 0);
}

TEST(VolumeEnvelope, HoldsAtTheSustainPointUntilKeyOff) {
    VolumeEnvelopeSong({{0, 64}, {4, 32}, {8, 0}}, 3, 1);
    Put(0, 1, 0, 0, 0, 0, Fx('K'), 0);
    StartSong();
    EXPECT_EQ(EnvelopeValues(6), (Values{64, 56, 48, 40, 32, 32})); // held on row 0
    EXPECT_EQ(EnvelopeValues(6), (Values{32, 24, 16, 8, 0, 0}));    // released on row 1
    EXPECT_EQ(Ch().volumeEnvelopeDone, 1);
}

TEST(VolumeEnvelope, ALoopJumpsBackBeforeTheLoopEndValueIsTaken) {
    VolumeEnvelopeSong({{0, 0}, {2, 64}}, 5, 0, 0, 1);
    StartSong();
    EXPECT_EQ(EnvelopeValues(8), (Values{0, 32, 0, 32, 0, 32, 0, 32}));
}

TEST(VolumeEnvelope, ALoopFromALaterPointRepeatsOnlyThatPart) {
    VolumeEnvelopeSong({{0, 0}, {4, 64}, {8, 32}}, 5, 0, 1, 2);
    StartSong();
    EXPECT_EQ(EnvelopeValues(16),
              (Values{0, 16, 32, 48, 64, 56, 48, 40, 64, 56, 48, 40, 64, 56, 48, 40}));
}

TEST(VolumeEnvelope, ASustainPointAtTheLoopEndDoesNotHoldButOneAtTheLoopStartDoes) {
    VolumeEnvelopeSong({{0, 0}, {4, 64}, {8, 32}}, 7, 2, 1, 2);
    StartSong();
    EXPECT_EQ(EnvelopeValues(12), (Values{0, 16, 32, 48, 64, 56, 48, 40, 64, 56, 48, 40}));
    VolumeEnvelopeSong({{0, 0}, {4, 64}, {8, 32}}, 7, 1, 1, 2);
    StartSong();
    EXPECT_EQ(EnvelopeValues(8), (Values{0, 16, 32, 48, 64, 64, 64, 64}));
}

// Loaded from an XM image: a loop end at or past the point count is never reached, and a loop
// starting there is ignored, so the envelope runs to its last point and holds it.
TEST(VolumeEnvelope, ALoadedLoopOutsideThePointsIsNeverTaken) {
    struct Case {
        uint8_t count, loopStart, loopEnd;
        Values values;
    } const cases[] = {
        {3, 1, 3, {0, 16, 32, 48, 64, 56, 48, 40, 32, 32, 32, 32, 32, 32, 32, 32}},
        {4, 1, 11, {0, 16, 32, 48, 64, 56, 48, 40, 32, 28, 24, 20, 16, 16, 16, 16}},
        {4, 4, 2, {0, 16, 32, 48, 64, 56, 48, 40, 32, 28, 24, 20, 16, 16, 16, 16}},
    };
    for (const Case& c : cases) {
        XmModulePlan plan = MinimalModule();
        std::vector<Cell> cells(4 * 64);
        cells[0] = Cell{kNoteC4, 1, 0, 0, 0};
        plan.patterns[0] = PatternOf(64, cells);
        plan.instruments.push_back(InstrumentWith({Sample8({1, 2, 3, 4})}));
        plan.instruments[0].volume = XmEnvelopePlan{
            {{0, 0}, {4, 64}, {8, 32}, {12, 16}}, c.count, 0, c.loopStart, c.loopEnd, 5};
        ASSERT_TRUE(LoadPlan(plan));
        StartSong();
        EXPECT_EQ(EnvelopeValues(16), c.values) << int(c.count) << " points";
        EXPECT_EQ(Ch().volumeEnvelopeDone, 1);
    }
}

TEST(VolumeEnvelope, ANoteWithoutInstrumentDoesNotRestartTheEnvelope) {
    VolumeEnvelopeSong({{0, 64}, {10, 0}}, 1);
    Put(0, 1, 0, kNoteC4, 0);
    StartSong();
    EXPECT_EQ(EnvelopeValues(8), (Values{64, 57, 51, 44, 38, 32, 25, 19}));
}

TEST(PanningEnvelope, MovesThePanningAndMarksItForTheVoice) {
    NewSong();
    Instrument& instrument = AddInstrument();
    SetPanningEnvelope(instrument, {{0, 32}, {4, 64}}, 1);
    Put(0, 0, 0, kNoteC4, 1);
    StartSong();
    EXPECT_EQ(Trace(6, [] { return Ch().panningEnvelopeValue; }), (Values{32, 40, 48, 56, 64, 64}));
    EXPECT_EQ(VoiceOf().panning, 128 + 32 * 4 > 255 ? 255 : 128 + 32 * 4);
    EXPECT_TRUE(Ch().flags & UpdatePanning);
}

TEST(Fadeout, ReachesSilenceAfterSixteenTicksOfRelease) {
    NewSong();
    Instrument& instrument = AddInstrument();
    instrument.fadeout = 4096;
    Put(0, 0, 0, kNoteC4, 1);
    Put(0, 1, 0, kKeyOff, 0);
    StartSong();
    RunTicks(6);
    Values fade = Trace(17, [] { return Ch().fadeoutVolume; });
    EXPECT_EQ(fade[0], 65536 - 4096);
    EXPECT_EQ(fade[14], 4096);
    EXPECT_EQ(fade[15], 0);
    EXPECT_EQ(fade[16], 0);
}

TEST(Fadeout, AFadeoutOfZeroNeverFades) {
    NewSong();
    AddInstrument();
    Put(0, 0, 0, kNoteC4, 1, 0, Fx('K'), 0);
    StartSong();
    EXPECT_EQ(Trace(3, [] { return Ch().fadeoutVolume; }), (Values{65536, 65536, 65536}));
}

// Auto-vibrato contributions of successive ticks on a bare channel.
Values AutoVibrato(const Instrument& instrument, int ticks, int32_t position = 0) {
    Channel channel = {};
    channel.autoVibratoPosition = position;
    Values values;
    for (int i = 0; i < ticks; ++i) {
        channel.periodOffset = 0;
        ApplyAutoVibrato(channel, instrument);
        values.push_back(channel.periodOffset);
        EXPECT_TRUE(channel.flags & UpdatePitch);
    }
    return values;
}

Instrument Vibrato(uint8_t type, uint8_t depth, uint8_t sweep, uint8_t rate) {
    Instrument instrument = {};
    instrument.vibratoType = type;
    instrument.vibratoDepth = depth;
    instrument.vibratoSweep = sweep;
    instrument.vibratoRate = rate;
    return instrument;
}

TEST(AutoVibrato, SquareAlternatesEveryHalfTurn) {
    EXPECT_EQ(AutoVibrato(Vibrato(1, 8, 0, 64), 6), (Values{8, 8, -8, -8, 8, 8}));
}

TEST(AutoVibrato, SweepRaisesTheDepthOverItsTicks) {
    EXPECT_EQ(AutoVibrato(Vibrato(0, 16, 4, 0), 7, 64), (Values{0, 4, 8, 12, 16, 16, 16}));
}

TEST(AutoVibrato, WaveformsOverOneTurn) {
    // With depth 64 the contribution is the waveform value itself.
    Values sine = AutoVibrato(Vibrato(0, 64, 0, 1), 256);
    EXPECT_EQ(Values(sine.begin(), sine.begin() + 5), (Values{0, 2, 3, 5, 6}));
    EXPECT_EQ(sine[64], 64);
    EXPECT_EQ(sine[128], 0);
    EXPECT_EQ(sine[192], -64);

    Values down = AutoVibrato(Vibrato(2, 64, 0, 1), 256);
    EXPECT_EQ(down[0], 0);
    EXPECT_EQ(down[1], -1); // the shift rounds down
    EXPECT_EQ(down[127], -64);
    EXPECT_EQ(down[128], 64);
    EXPECT_EQ(down[255], 0);

    Values up = AutoVibrato(Vibrato(3, 64, 0, 1), 256);
    EXPECT_EQ(up[0], 0);
    EXPECT_EQ(up[128], 64);
    EXPECT_EQ(up[129], -64);
    EXPECT_EQ(up[255], -1);
    EXPECT_EQ(AutoVibrato(Vibrato(9, 64, 0, 1), 256), up); // larger types are the ramp up
}

TEST(AutoVibrato, RampDownAtPositionOneWithDepthOneGivesMinusOne) {
    EXPECT_EQ(AutoVibrato(Vibrato(2, 1, 0, 0), 1, 1), (Values{-1}));
}

TEST(AutoVibrato, PositionWrapsAt256) {
    Channel channel = {};
    channel.autoVibratoPosition = 250;
    Instrument instrument = Vibrato(0, 0, 0, 10);
    ApplyAutoVibrato(channel, instrument);
    EXPECT_EQ(channel.autoVibratoPosition, 4);
}

TEST(AutoVibrato, RunsInOppositePhaseInTheTwoTables) {
    for (bool linear : {true, false}) {
        NewSong();
        gPlayer.song.flags = linear;
        Instrument& instrument = AddInstrument();
        instrument.vibratoType = 1;
        instrument.vibratoDepth = 64;
        Put(0, 0, 0, kNoteC4, 1);
        StartSong();
        uint64_t plain = linear ? (uint64_t(8363) << 32) / 48000 : (uint64_t(8362) << 32) / 48000;
        RunTicks(1);
        EXPECT_EQ(VoiceOf().step > plain, linear); // +64 raises linear pitch, lowers Amiga
    }
}

// Envelope data that breaks the rules: every case plays 300 ticks without leaving the 12
// stored points and ends with the value given.
TEST(VolumeEnvelope, BrokenEnvelopeDataStaysInsideItsPoints) {
    struct Case {
        const char* what;
        uint8_t count, type, sustain, loopStart, loopEnd;
        int32_t finalValue;
    } const cases[] = {
        {"point count above 12", 200, 1, 0, 0, 0, 30},
        {"point count 0", 0, 1, 0, 0, 0, 64},
        {"point count 1", 1, 1, 0, 0, 0, 10},
        {"loop start past the points", 4, 5, 0, 9, 2, 0},
        {"loop end past the points", 4, 5, 0, 1, 9, 0},
        {"sustain past the points", 4, 3, 9, 0, 0, 0},
    };
    for (const Case& c : cases) {
        NewSong();
        Instrument& instrument = AddInstrument();
        for (int i = 0; i < 12; ++i) instrument.volumeEnvelope[i] = {uint16_t(4 * i), 10};
        instrument.volumeEnvelope[3].y = 0;
        instrument.volumeEnvelope[11].y = 30;
        instrument.volumePointCount = c.count;
        instrument.volumeType = c.type;
        instrument.volumeSustain = c.sustain;
        instrument.volumeLoopStart = c.loopStart;
        instrument.volumeLoopEnd = c.loopEnd;
        Put(0, 0, 0, kNoteC4, 1);
        StartSong();
        RunTicks(300);
        EXPECT_EQ(Ch().volumeEnvelopeValue, c.finalValue) << c.what;
        EXPECT_LT(Ch().volumeEnvelopePoint, 12) << c.what;
    }
}

TEST(VolumeEnvelope, EqualOrFallingPositionsHoldTheEarlierPoint) {
    for (uint16_t x : {uint16_t(4), uint16_t(2)}) {
        VolumeEnvelopeSong({{0, 20}, {4, 40}, {x, 0}, {12, 64}}, 1);
        StartSong();
        EXPECT_EQ(EnvelopeValues(8), (Values{20, 25, 30, 35, 40, 40, 40, 40})) << x;
        RunTicks(200);
        EXPECT_EQ(Ch().volumeEnvelopeValue, 40);
    }
}

TEST(VolumeEnvelope, ValuesAboveTheRangeCountAs64) {
    VolumeEnvelopeSong({{0, 65535}, {2, 0}}, 1);
    StartSong();
    EXPECT_EQ(EnvelopeValues(3), (Values{64, 32, 0}));
}

TEST(VolumeEnvelope, APointIndexPastTheCountEndsTheEnvelope) {
    VolumeEnvelopeSong({{0, 64}, {10, 0}}, 1);
    StartSong();
    RunTicks(1);
    Ch().volumeEnvelopePoint = 7; // state left by an instrument with more points
    RunTicks(1);
    EXPECT_EQ(Ch().volumeEnvelopeValue, 0);
    EXPECT_EQ(Ch().volumeEnvelopeDone, 1);
}

} // namespace
