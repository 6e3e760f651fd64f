// The tick engine: note periods of both tables, frequencies and steps, tick lengths, row
// timing, the voice hand-over, instrument starts and the choice of the next position.
#include "envelopes.h"
#include "sequencer.h"
#include "song_builder.h"
#include "xm_builder.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

uint64_t StepOf(uint64_t hz) {
    uint64_t whole = hz / 48000;
    return (whole << 32) | (((hz % 48000) << 32) + whole) / 48000;
}

Sample WithFinetune(int finetune) {
    Sample sample = {};
    sample.finetune = int8_t(finetune);
    return sample;
}

TEST(NotePeriods, AmigaTableMatchesTheReferenceValues) {
    struct Case {
        int n, finetune, period;
    } const cases[] = {
        {0, 0, 27392},  {2, 0, 24404},   {12, 0, 13696},   {48, 0, 1712}, {48, 127, 1616},
        {48, 64, 1664}, {48, -64, 1763}, {48, -128, 1814}, {57, 0, 1018}, {95, 0, 113},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AmigaPeriod(c.n, WithFinetune(c.finetune)), c.period)
            << "n " << c.n << " finetune " << c.finetune;
}

TEST(NotePeriods, AmigaTableIsDefinedForEveryNoteIndexAndFinetune) {
    // Periods fall with the note and the finetune moves them towards the neighbour note.
    for (int n = -1; n <= 254; ++n) {
        int32_t period = AmigaPeriod(n, WithFinetune(0));
        EXPECT_GE(AmigaPeriod(n, WithFinetune(-128)), period) << n;
        EXPECT_LE(AmigaPeriod(n, WithFinetune(127)), period) << n;
        if (n > -1) {
            EXPECT_LE(period, AmigaPeriod(n - 1, WithFinetune(0))) << n;
        }
    }
}

TEST(NotePeriods, LinearTableUsesHalfTheFinetuneTruncated) {
    EXPECT_EQ(LinearPeriod(48, WithFinetune(0)), 4608);
    EXPECT_EQ(LinearPeriod(49, WithFinetune(0)), 4544);
    EXPECT_EQ(LinearPeriod(48, WithFinetune(3)), 4607);
    EXPECT_EQ(LinearPeriod(48, WithFinetune(-3)), 4609);
    EXPECT_EQ(LinearPeriod(-1, WithFinetune(-128)), 7680 + 64 + 64);
}

// One channel playing C-4 of instrument 1 on row 0.
void StartC4(bool linear, int relativeNote = 0) {
    NewSong();
    gPlayer.song.flags = linear ? 1 : 0;
    AddInstrument();
    SampleOf(1).relativeNote = int8_t(relativeNote);
    Put(0, 0, 0, kNoteC4, 1);
    StartSong();
    RunTicks(1);
}

TEST(Pitch, CFourPlaysAt8363HzLinearAnd8362HzAmiga) {
    StartC4(true);
    EXPECT_EQ(Ch().period, 4608);
    EXPECT_EQ(VoiceOf().step, StepOf(8363));
    StartC4(false);
    EXPECT_EQ(Ch().period, 1712);
    EXPECT_EQ(VoiceOf().step, StepOf(8362));
}

TEST(Pitch, RelativeNoteShiftsTheNoteIndex) {
    StartC4(true, 12);
    EXPECT_EQ(Ch().noteIndex, 60);
    EXPECT_EQ(Ch().period, 4608 - 768);
    EXPECT_EQ(VoiceOf().step, StepOf(16726));
}

TEST(Pitch, FrequencyBoundsAndTheZeroPeriod) {
    struct Case {
        bool linear;
        int32_t period, offset;
        uint64_t hz; // 0: the step stays as it was
    } const cases[] = {
        {false, 1712, 0, 8362},     // C-4
        {false, 200000, 0, 100},    // below 100 Hz
        {false, -50, 0, 100},       // negative periods play at the lowest pitch
        {false, 10, -10, 0},        // period plus offset 0: unchanged
        {false, 1, 0, 12287999},    // a step of 256 frames or more is held just below it
        {true, 4608, 0, 8363},      //
        {true, 4608, 768, 16726},   // a positive offset raises the linear pitch
        {true, 40000, 0, 100},      // far too low
        {true, -30000, 0, 100},     // beyond the signed 32-bit range
        {true, -4000, 0, 12287999}, // too high for the mixer's step
    };
    for (const Case& c : cases) {
        StartC4(c.linear);
        VoiceOf().step = 12345;
        Ch().period = c.period;
        Ch().periodOffset = c.offset;
        Ch().flags = UpdatePitch;
        UpdateVoice(Ch(), SampleOf(1), gPlayer.song.instruments[0]);
        EXPECT_EQ(VoiceOf().step, c.hz == 0 ? 12345 : StepOf(c.hz)) << c.period << " " << c.offset;
    }
}

TEST(Timing, TickLengthFollowsTheBpm) {
    struct Case {
        uint32_t bpm, frames;
    } const cases[] = {{125, 960}, {32, 3750}, {255, 470}, {0, 120000}, {1, 120000}};
    for (const Case& c : cases) {
        SetBpm(c.bpm);
        EXPECT_EQ(gPlayer.song.samplesPerTick, c.frames) << c.bpm;
    }
}

TEST(Timing, ATempoChangeAppliesToTheTickThatMadeIt) {
    NewSong();
    gPlayer.song.defaultBpm = 32;
    Put(0, 0, 0, 0, 0, 0, Fx('F'), 0x7D);
    StartSong();
    EXPECT_EQ(gPlayer.song.samplesPerTick, 3750u);
    RunTicks(1);
    EXPECT_EQ(gPlayer.song.tickFramesLeft, 960);
}

// Row number after each tick, starting from the song's start.
std::vector<int32_t> Rows(int ticks) {
    return Trace(ticks, [] { return gPlayer.song.row; });
}

TEST(Timing, ARowLastsSpeedPlusPatternDelayTicks) {
    NewSong();
    gPlayer.song.defaultTempo = 3;
    Put(0, 1, 0, 0, 0, 0, Fx('E'), 0xE1); // row 1: twice as long
    StartSong();
    EXPECT_EQ(Rows(12), (std::vector<int32_t>{0, 0, 0, 1, 1, 1, 1, 1, 1, 2, 2, 2}));
}

TEST(Timing, SpeedZeroMakesEveryTickARowTick) {
    NewSong();
    Put(0, 0, 0, 0, 0, 0, Fx('F'), 0x00);
    StartSong();
    EXPECT_EQ(Rows(4), (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST(VoiceHandOver, EachNewNoteMovesToThePartnerVoice) {
    NewSong(2);
    AddInstrument(4000);
    Put(0, 0, 1, kNoteC4, 1);
    Put(0, 1, 1, kNoteC4, 1);
    Put(0, 2, 1, kNoteC4, 1);
    StartSong();
    RunTicks(1);
    EXPECT_EQ(Ch(1).voice, &gPlayer.voices[1]);
    EXPECT_EQ(gPlayer.voices[1].sample, &SampleOf(1));
    EXPECT_EQ(gPlayer.voices[1].volume, 128);

    gPlayer.voices[1].position = 700; // the mixer has played on
    RunTicks(6);
    Voice& old = gPlayer.voices[1];
    Voice& fresh = gPlayer.voices[33];
    EXPECT_EQ(Ch(1).voice, &fresh);
    EXPECT_EQ(old.sample, &SampleOf(1));
    EXPECT_EQ(old.position, 700u);
    EXPECT_EQ(old.volume, 0);
    EXPECT_EQ(old.leftVolume, 0);
    EXPECT_EQ(old.rightVolume, 0);
    EXPECT_EQ(fresh.position, 0u);
    EXPECT_EQ(fresh.volume, 128);
    EXPECT_EQ(fresh.rightVolume, 128 * 128 / 255);

    RunTicks(6);
    EXPECT_EQ(Ch(1).voice, &gPlayer.voices[1]);
}

TEST(VoiceHandOver, ASampleOffsetStartsTheNewNoteThere) {
    NewSong();
    AddInstrument(4000);
    Put(0, 0, 0, kNoteC4, 1);
    Put(0, 1, 0, kNoteC4, 0, 0, 9, 0x02);
    StartSong();
    RunTicks(7);
    EXPECT_EQ(Ch().voice, &gPlayer.voices[32]);
    EXPECT_EQ(VoiceOf().position, 512u);
    EXPECT_EQ(VoiceOf().startOffset, 0);
}

TEST(VoiceUpdate, FinalVolumeAndGainsFollowTheFormula) {
    struct Case {
        int32_t volume, envelope, fadeout, global, panning, expectedVolume;
    } const cases[] = {
        {64, 64, 65536, 64, 128, 128}, // 127.5 rounds to even
        {32, 64, 65536, 64, 128, 64},  // 63.75
        {90, 64, 65536, 64, 128, 128}, // the channel volume is clamped to 64 first
        {64, 32, 32768, 32, 0, 16},    {1, 1, 65536, 64, 255, 0}, // 0.03
    };
    for (const Case& c : cases) {
        StartC4(false);
        Ch().volume = c.volume;
        Ch().volumeEnvelopeValue = c.envelope;
        Ch().fadeoutVolume = c.fadeout;
        gPlayer.song.globalVolume = c.global;
        Ch().panning = c.panning;
        Ch().flags = UpdateVolume | UpdatePanning;
        UpdateVoice(Ch(), SampleOf(1), gPlayer.song.instruments[0]);
        EXPECT_EQ(VoiceOf().volume, c.expectedVolume) << c.volume;
        EXPECT_EQ(VoiceOf().rightVolume, c.expectedVolume * c.panning / 255);
        EXPECT_EQ(VoiceOf().leftVolume, c.expectedVolume * (255 - c.panning) / 255);
        EXPECT_LE(Ch().volume, 64);
    }
}

TEST(VoiceUpdate, PanningEnvelopeMovesWithinTheRoomLeftAndIsClamped) {
    struct Case {
        int32_t panning, envelope, expected;
    } const cases[] = {{128, 64, 255}, {128, 48, 128 + 16 * 4}, {128, 0, 0},    {0, 64, 0},
                       {255, 0, 255},  {200, 64, 232},          {240, 64, 240}, {-40, 32, 0}};
    for (const Case& c : cases) {
        StartC4(false);
        Ch().panning = c.panning;
        Ch().panningEnvelopeValue = c.envelope;
        Ch().flags = UpdatePanning;
        UpdateVoice(Ch(), SampleOf(1), gPlayer.song.instruments[0]);
        EXPECT_EQ(VoiceOf().panning, c.expected) << c.panning << " " << c.envelope;
    }
}

TEST(RowTick, ANoteWithTonePortamentoOnlySetsTheTarget) {
    for (Cell cell : {Cell{Note(5, 0), 2, 0, 3, 0}, Cell{Note(5, 0), 2, 0, 5, 0},
                      Cell{Note(5, 0), 2, 0xF0, 0, 0}}) {
        NewSong();
        AddInstrument();
        AddInstrument();
        Put(0, 0, 0, kNoteC4, 1);
        CellAt(0, 1) = cell;
        StartSong();
        RunTicks(7);
        EXPECT_EQ(Ch().instrument, 0);
        EXPECT_EQ(Ch().key, 48);
        EXPECT_EQ(Ch().notePeriod, 856);
        EXPECT_NE(Ch().period, 856);
        EXPECT_EQ(Ch().voice, &gPlayer.voices[0]); // not restarted
    }
}

TEST(RowTick, AnInstrumentWithoutANoteResetsTheChannelButNotTheSample) {
    NewSong();
    AddInstrument(4000);
    SampleOf(1).volume = 40;
    SampleOf(1).panning = 60;
    Put(0, 0, 0, kNoteC4, 1, 0, Fx('C'), 10);
    Put(0, 1, 0, 0, 1);
    StartSong();
    RunTicks(1);
    EXPECT_EQ(Ch().volume, 10);
    Ch().keyOff = 1;
    Ch().fadeoutVolume = 300;
    VoiceOf().position = 99;
    RunTicks(6);
    EXPECT_EQ(Ch().volume, 40);
    EXPECT_EQ(Ch().panning, 60);
    EXPECT_EQ(Ch().keyOff, 0);
    EXPECT_EQ(Ch().fadeoutVolume, 65536);
    EXPECT_EQ(Ch().voice, &gPlayer.voices[0]);
    EXPECT_EQ(VoiceOf().position, 99u);
}

TEST(RowTick, KeyOffSilencesAnInstrumentWithoutVolumeEnvelopeAndStartsTheFade) {
    NewSong();
    Instrument& instrument = AddInstrument();
    instrument.fadeout = 1000;
    Put(0, 0, 0, kNoteC4, 1);
    Put(0, 1, 0, kKeyOff, 0);
    StartSong();
    RunTicks(6);
    EXPECT_EQ(VoiceOf().volume, 128);
    RunTicks(1);
    EXPECT_EQ(Ch().volumeEnvelopeValue, 0);
    EXPECT_EQ(VoiceOf().volume, 0);
    EXPECT_EQ(Trace(3, [] { return Ch().fadeoutVolume; }),
              (std::vector<int32_t>{64536 - 1000, 64536 - 2000, 64536 - 3000}));
}

// Through the loader, which keeps cell instruments up to the module's 150: instrument 150 is not
// taken as the channel's instrument, but it restarts the current one (its sample's volume).
TEST(RowTick, AnInstrumentAbove128RestartsTheCurrentInstrument) {
    XmModulePlan plan = MinimalModule();
    plan.channels = 1;
    plan.instruments.resize(150);
    XmSamplePlan quiet = RampSample8(100), loud = RampSample8(100);
    quiet.volume = 20;
    loud.volume = 50;
    plan.instruments[0] = InstrumentWith({quiet});
    plan.instruments[149] = InstrumentWith({loud});
    plan.patterns = {PatternOf(2, {Cell{kNoteC4, 1, 0x10 + 40, 0, 0}, Cell{0, 150, 0, 0, 0}})};
    ASSERT_TRUE(LoadPlan(plan));
    ASSERT_EQ(CellAt(0, 1).instrument, 150);
    StartSong();
    RunTicks(6);
    EXPECT_EQ(Ch().volume, 40);
    RunTicks(1);
    EXPECT_EQ(Ch().instrument, 0);
    EXPECT_EQ(Ch().volume, 20);
}

TEST(SongBuilder, RefusesASeventeenthInstrument) {
    NewSong();
    for (int i = 0; i < 16; ++i) AddInstrument();
    EXPECT_THROW(AddInstrument(), std::length_error);
}

TEST(RowTick, ASongWithoutInstrumentsPlaysSilenceOnItsNotes) {
    NewSong();
    Put(0, 0, 0, kNoteC4, 1);
    Put(0, 1, 0, kNoteC4, 200);
    StartSong();
    RunTicks(12);
    EXPECT_EQ(VoiceOf().sample, &EmptySample);
    EXPECT_EQ(VoiceOf().volume, 0);
    EXPECT_EQ(EmptySample.length, 0u);
}

TEST(RowTick, AMissingSampleSlotPlaysTheEmptySample) {
    NewSong();
    Instrument& instrument = AddInstrument();
    instrument.sampleMap[48] = 3;  // empty slot
    instrument.sampleMap[49] = 16; // no such slot
    Put(0, 0, 0, kNoteC4, 1);
    Put(0, 1, 0, Note(4, 1), 1);
    StartSong();
    RunTicks(1);
    EXPECT_EQ(VoiceOf().sample, &EmptySample);
    RunTicks(6);
    EXPECT_EQ(VoiceOf().sample, &EmptySample);
}

// (order, row) of every row tick in the first `rows` rows at speed 1.
std::vector<std::pair<int, int>> Positions(int rows) {
    std::vector<std::pair<int, int>> positions;
    for (int i = 0; i < rows; ++i) {
        RunTick();
        positions.push_back({gPlayer.song.order, gPlayer.song.row});
    }
    return positions;
}

TEST(NextPosition, TheEndOfTheOrderListGoesToTheRestartPosition) {
    for (int restart : {1, 3, 200}) {
        NewSong(1, 3, 2);
        gPlayer.song.defaultTempo = 1;
        gPlayer.song.restartPosition = uint16_t(restart);
        StartSong();
        int back = restart < 3 ? restart : 0;
        EXPECT_EQ(Positions(8),
                  (std::vector<std::pair<int, int>>{
                      {0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {back, 0}, {back, 1}}))
            << restart;
    }
}

TEST(NextPosition, WithNoLoopTheSongEndsAfterTheLastRowTick) {
    NewSong(1, 2, 2);
    gPlayer.noLoop = 1;
    StartSong();
    EXPECT_TRUE(RunTicks(6 * 3));
    EXPECT_FALSE(RunTick()); // the row tick of order 1, row 1
}

TEST(NextPosition, ABreakRowBeyondTheNextPatternPlaysAnEmptyRowThenMovesOn) {
    NewSong(1, 3, 64);
    gPlayer.song.patterns[1].rowCount = 16;
    gPlayer.song.defaultTempo = 1;
    Put(0, 0, 0, 0, 0, 0, Fx('D'), 0x40);
    StartSong();
    EXPECT_EQ(Positions(3), (std::vector<std::pair<int, int>>{{0, 0}, {1, 40}, {2, 0}}));
}

TEST(NextPosition, AnOrderNamingNoPatternIsPassedOver) {
    NewSong(1, 2, 2);
    gPlayer.song.defaultTempo = 1;
    gPlayer.song.songLength = 3;
    gPlayer.song.orderTable[1] = 77; // no such pattern
    gPlayer.song.orderTable[2] = 1;
    StartSong();
    EXPECT_EQ(Positions(4), (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {1, 0}, {2, 0}}));
}

} // namespace

namespace {

uint64_t Mix(uint64_t hash, uint64_t value) {
    return (hash ^ value) * 0x100000001b3ull;
}

// The floating-point steps (powers of two, sines, roundings) must give the same bits on every
// build, so that one render hash serves Linux and both Windows builds.
TEST(Pitch, FloatingPointResultsAreTheSameOnEveryBuild) {
    uint64_t amiga = 0xcbf29ce484222325ull;
    for (int n = -1; n <= 254; ++n)
        for (int finetune = -128; finetune <= 127; ++finetune)
            amiga = Mix(amiga, uint64_t(AmigaPeriod(n, WithFinetune(finetune))));
    StartC4(true);
    uint64_t linear = 0xcbf29ce484222325ull;
    for (int32_t period = -12000; period <= 12000; ++period) {
        Ch().period = period;
        Ch().flags = UpdatePitch;
        UpdateVoice(Ch(), SampleOf(1), gPlayer.song.instruments[0]);
        linear = Mix(linear, VoiceOf().step);
    }
    Instrument sine = {};
    sine.vibratoDepth = 64;
    sine.vibratoRate = 1;
    Channel channel = {};
    uint64_t vibrato = 0xcbf29ce484222325ull;
    for (int p = 0; p < 256; ++p) {
        channel.periodOffset = 0;
        ApplyAutoVibrato(channel, sine);
        vibrato = Mix(vibrato, uint64_t(channel.periodOffset));
    }
    EXPECT_EQ(amiga, 9144135303605183884ull);
    EXPECT_EQ(linear, 2193624120358510583ull);
    EXPECT_EQ(vibrato, 740446321148692117ull);
}

} // namespace
