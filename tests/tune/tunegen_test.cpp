// The tune generator: what a score says ends up in the module's cells, samples and header, and
// a faulty score is refused with the line of its first mistake.
#include "module_image.h"
#include "score.h"
#include "standard_xm.h"
#include "synth.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

const char* const kHeader = R"(title "Test"
speed 5
bpm 140
channels one two
instrument beep wave=saw cycle=128 decay=2 sustain=0.5 loop=2 volume=40 pan=60
instrument tick wave=drum length=100 noiseLevel=1 noiseDecay=20 relnote=12
alias t C-4@tick/20
alias u t!F03
)";

// Builds the module of a score and loads it as the player's start does.
bool LoadScore(const std::string& text) {
    const Score score = ParseScore(text);
    std::vector<SynthSample> samples;
    for (const ScoreInstrument& instrument : score.instruments)
        samples.push_back(SynthesiseInstrument(instrument));
    static std::vector<uint8_t> module;
    module = WriteStandardXm(score, samples);
    return LoadModuleImage(module.data(), module.size()) != 0;
}

const Cell& CellAt(int pattern, int row, int channel) {
    return gPlayer.song.patterns[pattern].cells[row * gPlayer.song.channelCount + channel];
}

TEST(Tunegen, CellsCarryNotesInstrumentsVolumesAndEffects) {
    ASSERT_TRUE(LoadScore(std::string(kHeader) + R"(
phrase up @beep C-4 . E-4/32!447 ^ .*4
phrase drums t . u/40 .*5
pattern first
  one up*7 up+12
  two drums*8
pattern second
order second first first
)"));
    const Song& song = gPlayer.song;
    EXPECT_STREQ(gPlayer.songTitle, "Test");
    EXPECT_EQ(song.defaultTempo, 5);
    EXPECT_EQ(song.defaultBpm, 140);
    EXPECT_EQ(song.songLength, 3);
    EXPECT_EQ(song.orderTable[0], 1);
    EXPECT_EQ(song.orderTable[1], 0);
    struct Expected {
        int row, channel;
        Cell cell;
    };
    const Expected table[] = {
        {0, 0, {49, 1, 0, 0, 0}},        // C-4 with the phrase's instrument
        {2, 0, {53, 1, 0x30, 4, 0x47}},  // E-4, volume 32, vibrato
        {3, 0, {97, 0, 0, 0, 0}},        // key-off
        {4, 0, {0, 0, 0, 0, 0}},         // .*4
        {56, 0, {61, 1, 0, 0, 0}},       // up+12: C-5
        {58, 0, {65, 1, 0x30, 4, 0x47}}, // E-5
        {8, 1, {49, 2, 0x24, 0, 0}},     // alias t: C-4, tick, volume 20
        {10, 1, {49, 2, 0x38, 15, 3}},   // alias u (t with speed 3), volume 40
    };
    for (const Expected& e : table) {
        const Cell& cell = CellAt(0, e.row, e.channel);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&cell), 5),
                  std::string(reinterpret_cast<const char*>(&e.cell), 5))
            << "row " << e.row << ", channel " << e.channel;
    }
    EXPECT_EQ(CellAt(1, 0, 0).note, 0) << "a pattern without channel lines is empty";
    ReleaseModuleImage();
}

TEST(Tunegen, PitchedSamplesLoopOverWholePeriodsAfterTheirDecay) {
    ASSERT_TRUE(LoadScore(std::string(kHeader) + "pattern p\norder p\n"));
    const Sample& beep = *gPlayer.song.instruments[0].samples[0];
    EXPECT_EQ(beep.relativeNote, 24) << "128 frames a period is two octaves above 32";
    EXPECT_EQ(beep.loopType, 1);
    EXPECT_EQ(beep.loopStart, 2u * 128);
    EXPECT_EQ(beep.loopLength, 2u * 128);
    EXPECT_EQ(beep.length, 4u * 128);
    EXPECT_EQ(beep.volume, 40);
    EXPECT_EQ(beep.panning, 60);
    // The loop repeats one period exactly, so its seam continues the wave without a step.
    for (uint32_t i = beep.loopStart; i < beep.loopStart + 128; ++i)
        EXPECT_EQ(beep.data[i], beep.data[i + 128]) << "frame " << i;
    const Sample& tick = *gPlayer.song.instruments[1].samples[0];
    EXPECT_EQ(tick.loopType, 0);
    EXPECT_EQ(tick.relativeNote, 12);
    EXPECT_EQ(tick.data[tick.length - 1], 0) << "a drum fades to silence";
    ReleaseModuleImage();
}

TEST(Tunegen, FaultyScoresNameTheLineOfTheirFirstMistake) {
    const struct {
        const char* text;
        const char* message;
    } table[] = {
        {"tempo 4\n", "line 9: unknown statement 'tempo'"},
        {"phrase p @nobody C-4\n", "line 9: unknown instrument @nobody"},
        {"phrase p C-4!G1\n", "line 9: an effect is written"},
        {"phrase p H-4\n", "line 9: 'H-4' is no note"},
        {"phrase p C-4/65\n", "line 9: '65' must be a number from 0 to 64"},
        {"phrase p C-4*65\n", "line 9: '65' must be a number from 1 to 64"},
        {"phrase p C-4*32\npattern x\n  one p\n", "line 11: channel one has 32 rows instead of 64"},
        {"phrase p B-7*64\npattern x\n  one p+1\n", "line 11: p+1 leaves the notes C-0..B-7"},
        {"pattern x\n  three\n", "line 10: unknown channel three"},
        {"pattern x\norder x y\n", "line 10: unknown pattern y"},
        {"instrument odd wave=saw cycle=100\npattern x\norder x\n",
         "instrument odd: cycle must be a power of two"},
        {"instrument odd wave=saw colour=3\npattern x\norder x\n",
         "instrument odd: unknown setting colour"},
        {"alias v C-4*2\n", "line 9: an alias stands for one cell"},
        {"instrument odd wave=saw cycle=1024 decay=4096\npattern x\norder x\n",
         "instrument odd: the sample is too long for the player"},
        {"instrument odd wave=organ\npattern x\norder x\n", "instrument odd: wave must be"},
        {"title \"twenty-one characters\"\n", "line 9: the title has more than 20 characters"},
        {"pattern x\n", "line 9: the order list needs 1 to 256 entries"},
    };
    for (const auto& entry : table) {
        std::string message = "no error";
        try {
            LoadScore(std::string(kHeader) + entry.text);
            ReleaseModuleImage();
        } catch (const std::runtime_error& error) {
            message = error.what();
        }
        EXPECT_NE(message.find(entry.message), std::string::npos)
            << entry.text << "gave: " << message;
    }
}

} // namespace
