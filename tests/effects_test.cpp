// The effects that shape pitch, volume and panning, family by family: each test builds a small
// song, drives the tick engine tick by tick and compares channel and voice state per tick.
#include "effects.h"
#include "sequencer.h"
#include "song_builder.h"

#include <gtest/gtest.h>

namespace {

// ---- Arpeggio

TEST(Arpeggio, CyclesBaseNoteAndBothIntervalsByTick) {
    NoteWith(0, 0x37, true);
    StartSong();
    EXPECT_EQ(PeriodOffsets(6), (Values{0, 192, 448, 0, 192, 448}));

    NoteWith(0, 0x37, false);
    StartSong();
    Sample& sample = SampleOf(1);
    int32_t up3 = AmigaPeriod(51, sample) - AmigaPeriod(48, sample);
    int32_t up7 = AmigaPeriod(55, sample) - AmigaPeriod(48, sample);
    EXPECT_EQ(PeriodOffsets(6), (Values{0, up3, up7, 0, up3, up7}));
    EXPECT_EQ(up3, 1440 - 1712);
}

TEST(Arpeggio, ZeroParameterDoesNothing) {
    NoteWith(0, 0, true);
    StartSong();
    EXPECT_EQ(PeriodOffsets(3), (Values{0, 0, 0}));
}

// ---- Portamentos

TEST(Portamento, UpAndDownSlideFourUnitsPerSpeedEachTick) {
    NoteWith(1, 0x02);
    StartSong();
    EXPECT_EQ(Periods(6), (Values{1712, 1704, 1696, 1688, 1680, 1672}));
    NoteWith(2, 0x03);
    StartSong();
    EXPECT_EQ(Periods(4), (Values{1712, 1724, 1736, 1748}));
}

TEST(Portamento, ZeroParameterRepeatsTheEffectsOwnMemory) {
    NoteWith(1, 0x02);
    Put(0, 1, 0, 0, 0, 0, 2, 0x05);
    Put(0, 2, 0, 0, 0, 0, 1, 0x00);
    Put(0, 3, 0, 0, 0, 0, 2, 0x00);
    StartSong();
    RunTicks(6);
    EXPECT_EQ(Ch().period, 1712 - 5 * 8);
    RunTicks(6);
    EXPECT_EQ(Ch().period, 1672 + 5 * 20);
    RunTicks(6);
    EXPECT_EQ(Ch().period, 1772 - 5 * 8);
    RunTicks(6);
    EXPECT_EQ(Ch().period, 1732 + 5 * 20);
}

TEST(Portamento, UpStopsAt56AndDropsTheTicksVibrato) {
    NoteWith(1, 0xFF, false, 0xBF);
    StartSong();
    Ch().vibratoSpeed = 4;
    EXPECT_EQ(Periods(3), (Values{1712, 692, 56}));
    EXPECT_EQ(Ch().periodOffset, 0);
}

TEST(Portamento, FineAndExtraFineSlideOnceOnTheRowTickWithTheirMemories) {
    struct Case {
        uint8_t effect, parameter, nextParameter;
        int32_t afterFirst, afterSecond;
    } const cases[] = {
        {Fx('E'), 0x13, 0x10, 1712 - 12, 1712 - 24}, // E1y
        {Fx('E'), 0x22, 0x20, 1712 + 8, 1712 + 16},  // E2y
        {Fx('X'), 0x15, 0x10, 1712 - 5, 1712 - 10},  // X1y
        {Fx('X'), 0x27, 0x20, 1712 + 7, 1712 + 14},  // X2y
        {Fx('X'), 0x35, 0x30, 1712, 1712},           // X3y: nothing
    };
    for (const Case& c : cases) {
        NoteWith(c.effect, c.parameter);
        Put(0, 1, 0, 0, 0, 0, c.effect, c.nextParameter);
        StartSong();
        EXPECT_EQ(Periods(6), Values(6, c.afterFirst)) << int(c.parameter);
        EXPECT_EQ(Periods(6), Values(6, c.afterSecond)) << int(c.parameter);
    }
}

// Hours of 2FF (or days of E2F, X2F, E1F) take the period to the end of the 32-bit range; the
// slides stop there, and the voice keeps its lowest or highest pitch.
TEST(Portamento, SlidesWithoutALimitStopAtTheEndOfTheRange) {
    struct Case {
        uint8_t effect, parameter;
        int32_t start, end;
    } const cases[] = {
        {2, 0xFF, INT32_MAX - 1000, INT32_MAX},     {Fx('E'), 0x2F, INT32_MAX - 10, INT32_MAX},
        {Fx('X'), 0x2F, INT32_MAX - 10, INT32_MAX}, {Fx('E'), 0x1F, INT32_MIN + 10, INT32_MIN},
        {Fx('X'), 0x1F, INT32_MIN + 10, INT32_MIN}, {1, 0xFF, INT32_MIN + 1000, 56},
    };
    for (const Case& c : cases) {
        NoteWith(c.effect, c.parameter);
        for (int row = 1; row < 8; ++row) Put(0, row, 0, 0, 0, 0, c.effect, c.parameter);
        StartSong();
        RunTicks(1);
        Ch().period = c.start;
        RunTicks(6 * 7);
        EXPECT_EQ(Ch().period, c.end) << int(c.effect) << " " << int(c.parameter);
        EXPECT_NE(VoiceOf().step, 0u);
    }
}

// ---- Tone portamento

TEST(TonePortamento, SlidesTowardsTheNoteWithoutOvershootOrRestart) {
    NoteWith(0, 0);
    AddInstrument();
    SampleOf(1).volume = 40;
    SampleOf(2).volume = 10;
    Put(0, 1, 0, Note(4, 1), 2, 0, 3, 0x10); // C#4 = 1616, instrument 2 named
    StartSong();
    RunTicks(6);
    Ch().volume = 5;
    EXPECT_EQ(Periods(6), (Values{1712, 1712 - 64, 1616, 1616, 1616, 1616}));
    EXPECT_EQ(Ch().instrument, 0);
    EXPECT_EQ(Ch().volume, 40); // reset from the sample the channel already plays
    EXPECT_EQ(Ch().voice, &gPlayer.voices[0]);
    EXPECT_EQ(Ch().portaTarget, 1616);
}

TEST(TonePortamento, SlidesUpTooAndKeepsItsSpeedForEffect5) {
    NoteWith(0, 0);
    Put(0, 1, 0, Note(3, 11), 0, 0, 3, 0x01); // B-3 = 1814
    Put(0, 2, 0, Note(3, 10), 0, 0, 5, 0x02); // A#3 = 1920, volume slide down 2
    StartSong();
    RunTicks(6);
    EXPECT_EQ(Periods(6), (Values{1712, 1716, 1720, 1724, 1728, 1732}));
    EXPECT_EQ(Periods(6), (Values{1732, 1736, 1740, 1744, 1748, 1752}));
    EXPECT_EQ(Ch().volume, 64 - 10);
}

TEST(TonePortamento, VolumeColumnSetsSixteenTimesItsSpeed) {
    NoteWith(0, 0);
    Put(0, 1, 0, Note(3, 11), 0, 0xF1);
    Put(0, 2, 0, 0, 0, 0xF0);
    StartSong();
    RunTicks(6);
    EXPECT_EQ(Periods(3), (Values{1712, 1712 + 64, 1712 + 102}));
    EXPECT_EQ(Ch().portaSpeed, 16);
}

// ---- Vibrato and tremolo

TEST(Vibrato, SineAtQuarterTurnsGivesTheDepthsOffsets) {
    struct Case {
        int8_t position;
        uint8_t depth;
        int32_t offset;
    } const cases[] = {{16, 8, -64}, {-16, 8, 64}, {16, 15, -120}, {-16, 15, 120}, {0, 15, 0}};
    for (const Case& c : cases) {
        Channel channel = {};
        channel.vibratoPosition = c.position;
        channel.vibratoDepth = c.depth;
        ApplyVibrato(channel);
        EXPECT_EQ(channel.periodOffset, c.offset) << int(c.position) << " " << int(c.depth);
        EXPECT_TRUE(channel.flags & UpdatePitch);
    }
}

// Magnitude at every position, read back through a depth that keeps it whole.
Values VibratoMagnitudes(uint8_t waveform) {
    Values magnitudes;
    for (int p = -32; p < 32; ++p) {
        Channel channel = {};
        channel.vibratoPosition = int8_t(p);
        channel.vibratoDepth = 128; // d = 4m
        channel.waveControl = waveform;
        ApplyVibrato(channel);
        magnitudes.push_back((p >= 0 ? -channel.periodOffset : channel.periodOffset) / 4);
    }
    return magnitudes;
}

Values TremoloMagnitudes(uint8_t waveform) {
    Values magnitudes;
    for (int p = -32; p < 32; ++p) {
        Channel channel = {};
        channel.tremoloPosition = int8_t(p);
        channel.tremoloDepth = 64; // d = m
        channel.waveControl = uint8_t(waveform << 4);
        channel.volume = p >= 0 ? -300 : 300; // far from the limits
        ApplyTremolo(channel);
        magnitudes.push_back(p >= 0 ? channel.volumeOffset : -channel.volumeOffset);
    }
    return magnitudes;
}

const Values kSine = {0,   25,  50,  74,  98,  121, 142, 162, 181,
                      198, 213, 226, 237, 245, 251, 255, 256};

int32_t SineAt(int p) {
    int a = p < 0 ? -p : p;
    return kSine[a <= 16 ? a : 32 - a];
}

TEST(Vibrato, WaveformMagnitudes) {
    Values sine = VibratoMagnitudes(0), ramp = VibratoMagnitudes(1);
    for (int p = -32; p < 32; ++p) {
        EXPECT_EQ(sine[p + 32], SineAt(p)) << p;
        EXPECT_EQ(ramp[p + 32], p >= 0 ? 8 * p : -8 * p - 1) << p;
    }
    EXPECT_EQ(VibratoMagnitudes(2), Values(64, 255));
    EXPECT_EQ(VibratoMagnitudes(3), Values(64, 255)); // square in the vibrato
}

TEST(Tremolo, WaveformMagnitudes) {
    Values ramp = TremoloMagnitudes(1);
    for (int p = -31; p < 32; ++p) EXPECT_EQ(ramp[p + 32], p >= 0 ? 8 * p : 255 + 8 * p) << p;
    EXPECT_EQ(ramp[0], 0); // position -32 changes nothing
    EXPECT_EQ(TremoloMagnitudes(2), Values(64, 255));
    for (uint8_t waveform : {0, 3}) { // sine in the tremolo
        Values sine = TremoloMagnitudes(waveform);
        for (int p = -32; p < 32; ++p) EXPECT_EQ(sine[p + 32], SineAt(p)) << p;
    }
}

TEST(Vibrato, RowTickAppliesWithoutAdvancingThenEachTickAdvances) {
    NoteWith(4, 0x88);
    StartSong();
    // Positions 0 (row tick), 0, 8, 16, 24, 32 = -32.
    EXPECT_EQ(PeriodOffsets(6), (Values{0, 0, -44, -64, -44, 0}));
    EXPECT_EQ(Ch().vibratoPosition, -24);
}

TEST(Vibrato, EffectSixSlidesTheVolumeToo) {
    NoteWith(4, 0x48);
    Put(0, 1, 0, 0, 0, 0, 6, 0x01);
    StartSong();
    RunTicks(6);
    EXPECT_EQ(Volumes(6), (Values{64, 63, 62, 61, 60, 59}));
    EXPECT_NE(Ch().periodOffset, 0);
}

TEST(Vibrato, VolumeColumnSetsSpeedAndDepth) {
    NoteWith(0, 0, false, 0xA8);
    Put(0, 1, 0, 0, 0, 0xB8);
    StartSong();
    RunTicks(6);
    EXPECT_EQ(PeriodOffsets(4), (Values{0, 0, -44, -64}));
}

TEST(Tremolo, OffsetsStayInsideTheVolumeRangeAndAreKeptWhenTheEffectEnds) {
    NoteWith(7, 0x8F);
    Put(0, 1, 0, 0, 0, 0, 0, 0);
    StartSong();
    RunTicks(1);
    Ch().volume = 40;
    Ch().tremoloPosition = 24;
    // Positions 24, -32, -24, -16, -8: the tremolo sets each tick's offset, at most 64 - 40
    // up and -40 down.
    EXPECT_EQ(VolumeOffsets(5), (Values{24, -0, -40, -40, -40}));
    EXPECT_EQ(VoiceOf().volume, 0);
    RunTicks(1); // row 1 without tremolo keeps the last offset
    EXPECT_EQ(Ch().volume, 0);
    EXPECT_EQ(Ch().volumeOffset, 0);
}

TEST(WaveControl, PositionsRestartWithAnInstrumentUnlessTheControlKeepsThem) {
    for (uint8_t control : {0x00, 0x44, 0x40, 0x04}) {
        NoteWith(Fx('E'), 0x40 | (control & 15));
        Put(0, 1, 0, 0, 0, 0, Fx('E'), 0x70 | (control >> 4));
        Put(0, 2, 0, kNoteC4, 1);
        StartSong();
        RunTicks(12);
        EXPECT_EQ(Ch().waveControl, control);
        Ch().vibratoPosition = 9;
        Ch().tremoloPosition = 9;
        RunTicks(1);
        EXPECT_EQ(Ch().vibratoPosition, (control & 15) >= 4 ? 9 : 0) << int(control);
        EXPECT_EQ(Ch().tremoloPosition, (control >> 4) >= 4 ? 9 : 0) << int(control);
    }
}

// ---- Volume and panning

TEST(VolumeSlide, EffectAUsesItsMemoryAndTheVoiceClamps) {
    NoteWith(Fx('A'), 0x0F);
    Put(0, 1, 0, 0, 0, 0, Fx('A'), 0x00);
    Put(0, 2, 0, 0, 0, 0, Fx('A'), 0x40);
    StartSong();
    EXPECT_EQ(Volumes(6), (Values{64, 49, 34, 19, 4, 0}));
    RunTicks(6);
    EXPECT_EQ(Volumes(6), (Values{0, 4, 8, 12, 16, 20}));
}

TEST(VolumeSlide, VolumeColumnSlidesOnEveryTickFineOnlyOnTheRowTick) {
    struct Case {
        uint8_t column;
        Values volumes;
    } const cases[] = {
        {0x65, {59, 54, 49, 44, 39, 34}}, {0x85, {59, 59, 59, 59, 59, 59}},
        {0x75, {64, 64, 64, 64, 64, 64}}, {0x30, {32, 32, 32, 32, 32, 32}},
        {0x55, {64, 64, 64, 64, 64, 64}}, {0x50, {64, 64, 64, 64, 64, 64}},
    };
    for (const Case& c : cases) {
        NoteWith(0, 0, false, c.column);
        StartSong();
        EXPECT_EQ(Volumes(6), c.volumes) << int(c.column);
    }
    NoteWith(Fx('C'), 20, false, 0x95);
    StartSong();
    EXPECT_EQ(Volumes(2), (Values{20, 20})); // C comes after the column
}

TEST(VolumeSlide, FineSlidesShareOneSignedMemory) {
    NoteWith(Fx('C'), 30);
    Put(0, 1, 0, 0, 0, 0, Fx('E'), 0xA4);
    Put(0, 2, 0, 0, 0, 0, Fx('E'), 0xB0); // repeats the +4 of EA4
    Put(0, 3, 0, 0, 0, 0, Fx('E'), 0xB3);
    Put(0, 4, 0, 0, 0, 0, Fx('E'), 0xA0); // repeats the -3 of EB3
    StartSong();
    RunTicks(1);
    Values volumes;
    for (int row = 1; row <= 4; ++row) volumes.push_back(Volumes(6).back());
    EXPECT_EQ(volumes, (Values{34, 38, 35, 32}));
}

TEST(Panning, SetCoarseAndSlides) {
    struct Case {
        uint8_t effect, parameter, column;
        Values panning;
    } const cases[] = {
        {8, 0x40, 0, {0x40, 0x40}},     {Fx('E'), 0x83, 0, {48, 48}},   {0, 0, 0xC4, {64, 64}},
        {Fx('P'), 0xF0, 0, {128, 143}}, {Fx('P'), 0x0F, 0, {128, 113}}, {0, 0, 0xD5, {123, 118}},
        {0, 0, 0xE5, {133, 138}},
    };
    for (const Case& c : cases) {
        NoteWith(c.effect, c.parameter, false, c.column);
        StartSong();
        EXPECT_EQ(Trace(2, [] { return Ch().panning; }), c.panning) << int(c.parameter);
    }
}

TEST(Panning, EffectPClampsButTheVolumeColumnSlidesDoNot) {
    NoteWith(Fx('P'), 0xF0, false, 0xEF);
    StartSong();
    RunTicks(6);
    EXPECT_EQ(Ch().panning, 255);
    NoteWith(0, 0, false, 0xDF);
    Put(0, 1, 0, 0, 0, 0xDF);
    StartSong();
    RunTicks(12);
    EXPECT_EQ(Ch().panning, 128 - 12 * 15);
    EXPECT_EQ(VoiceOf().panning, 0);
}

// The volume column's panning slides run on without a limit; after days they stop at the end of
// the 32-bit range, and a panning envelope still turns them into a voice panning of 0..255. A
// panning slide P that follows brings the panning back into 0..255 from there.
TEST(Panning, VolumeColumnSlidesStopAtTheEndOfTheRange) {
    struct Case {
        uint8_t column;
        int32_t start, end, voicePanning;
    } const cases[] = {
        {0xEF, INT32_MAX - 20, INT32_MAX, 255},
        {0xDF, INT32_MIN + 20, INT32_MIN, 0},
    };
    for (const Case& c : cases) {
        NewSong();
        SetPanningEnvelope(AddInstrument(), {{0, 64}, {1, 64}});
        Put(0, 0, 0, kNoteC4, 1, c.column);
        for (int row = 1; row < 4; ++row) Put(0, row, 0, 0, 0, c.column);
        Put(0, 4, 0, 0, 0, 0, Fx('P'), 0x11);
        StartSong();
        RunTicks(1);
        Ch().panning = c.start;
        RunTicks(6 * 3);
        EXPECT_EQ(Ch().panning, c.end) << int(c.column);
        EXPECT_EQ(Ch().panningEnvelopeValue, 64);
        EXPECT_EQ(VoiceOf().panning, c.voicePanning) << int(c.column);
        RunTicks(6 + 1);
        EXPECT_EQ(Ch().panning, c.voicePanning) << int(c.column);
    }
}

// ---- Tremor

TEST(Tremor, OnForXPlusOneTicksOffForYPlusOne) {
    NoteWith(Fx('T'), 0x11);
    Put(0, 1, 0, 0, 0, 0, Fx('T'), 0x00);
    StartSong();
    EXPECT_EQ(VolumeOffsets(12), (Values{0, 0, -64, -64, 0, 0, -64, -64, 0, 0, -64, -64}));
}

// ---- Sample offset, finetune, envelope position, effects without meaning

TEST(SampleOffset, PastTheSampleEndRestartsThePlayingVoiceInstead) {
    NoteWith(0, 0);
    Put(0, 1, 0, kNoteC4, 0, 0, 9, 0x20); // 8192 > 4000 frames
    StartSong();
    RunTicks(6);
    VoiceOf().position = 1234;
    RunTicks(1);
    EXPECT_EQ(Ch().voice, &gPlayer.voices[0]);
    EXPECT_EQ(VoiceOf().position, 0u);
    EXPECT_EQ(Ch().sampleOffset, 8192);
}

TEST(SetFinetune, WritesTheSampleForLaterNotesButNotTheEmptySample) {
    NoteWith(Fx('E'), 0x5F);
    Put(0, 1, 0, kNoteC4, 1);
    StartSong();
    RunTicks(1);
    EXPECT_EQ(SampleOf(1).finetune, 15);
    EXPECT_EQ(Ch().period, 1712);
    RunTicks(6);
    EXPECT_EQ(Ch().period, AmigaPeriod(48, SampleOf(1)));
    EXPECT_NE(Ch().period, 1712);

    NewSong();
    Put(0, 0, 0, kNoteC4, 1, 0, Fx('E'), 0x57);
    StartSong();
    RunTicks(1);
    EXPECT_EQ(EmptySample.finetune, 0);
}

TEST(SetEnvelopePosition, MovesTheVolumeEnvelopeToTheTick) {
    struct Case {
        uint8_t parameter;
        int32_t point, tick, value;
        uint8_t done;
    } const cases[] = {
        {0, 1, 0, 64, 0},   {5, 1, 5, 32, 0},  {15, 2, 15, 15, 0}, // 0 + 5 x 3.2, rounded down
        {20, 2, 20, 31, 0}, {21, 2, 1, 32, 1},                     // past the last point: done
    };
    for (const Case& c : cases) {
        NewSong();
        Instrument& instrument = AddInstrument();
        SetVolumeEnvelope(instrument, {{0, 64}, {10, 0}, {20, 32}}, 1);
        Put(0, 0, 0, kNoteC4, 1);
        Put(0, 1, 0, 0, 0, 0, Fx('L'), c.parameter);
        StartSong();
        RunTicks(6);
        Ch().volumeEnvelopeTick = 0;
        RunTicks(1); // the row tick advances the envelope first, then L moves it
        EXPECT_EQ(Ch().volumeEnvelopePoint, c.point) << int(c.parameter);
        EXPECT_EQ(Ch().volumeEnvelopeValue, c.value) << int(c.parameter);
        EXPECT_EQ(Ch().volumeEnvelopeDone, c.done) << int(c.parameter);
        EXPECT_EQ(Ch().volumeEnvelopeTick, c.tick) << int(c.parameter);
    }
}

TEST(SetEnvelopePosition, DoesNothingWithoutAVolumeEnvelope) {
    NoteWith(0, 0);
    Put(0, 1, 0, 0, 0, 0, Fx('L'), 5);
    StartSong();
    RunTicks(6);
    Channel before = Ch();
    RunTicks(1);
    EXPECT_EQ(Ch().volumeEnvelopeTick, before.volumeEnvelopeTick);
    EXPECT_EQ(Ch().volumeEnvelopePoint, before.volumeEnvelopePoint);
    EXPECT_EQ(Ch().volumeEnvelopeValue, before.volumeEnvelopeValue);
}

TEST(UnusedEffects, ChangeNothingOnAnyTick) {
    NoteWith(0, 0);
    StartSong();
    RunTicks(6);
    Channel plain = Ch();
    for (uint8_t effect :
         {Fx('I'), Fx('J'), Fx('K'), Fx('M'), Fx('N'), Fx('O'), Fx('Q'), Fx('S'), Fx('U'), Fx('V'),
          Fx('W'), Fx('Y'), Fx('Z'), uint8_t(36), uint8_t(255)}) {
        NoteWith(effect, 0x55);
        StartSong();
        RunTicks(6);
        EXPECT_EQ(Ch().period, plain.period) << int(effect);
        EXPECT_EQ(Ch().volume, plain.volume) << int(effect);
        EXPECT_EQ(Ch().panning, plain.panning) << int(effect);
        EXPECT_EQ(Ch().keyOff, effect == Fx('K') ? 1 : 0) << int(effect);
        EXPECT_EQ(gPlayer.song.speed, 6);
    }
}

} // namespace
