// The built-in tune: the embedded image and its compacted layout, the song it loads as, its
// regeneration from the score, and what a render of it sounds like (level, loop, pitch).
#include "builtin_tune.h"
#include "module_image.h"
#include "player.h"
#include "sources.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The song's timing: speed 4 from its first row on (F04), 960 frames a tick at 125 BPM, 64 rows
// a pattern, 13 orders; so row r of order o starts at frame (64 o + r) x 3840.
const uint32_t kRowFrames = 4 * 960;
const uint32_t kSongFrames = 13 * 64 * kRowFrames;

uint32_t RowStart(uint32_t order, uint32_t row) {
    return (64 * order + row) * kRowFrames;
}

uint32_t Le16(const unsigned char* p) {
    return p[0] | p[1] << 8;
}
uint32_t Le32(const unsigned char* p) {
    return Le16(p) | Le16(p + 2) << 16;
}

bool AllZero(const unsigned char* p, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (p[i] != 0) return false;
    return true;
}

TEST(BuiltinTune, EmbeddedArrayIsTheCheckedInImage) {
    const std::string file = ReadWholeFile(SourcePath("assets/builtin_tune.xmc"));
    ASSERT_EQ(file.size(), kBuiltinTuneSize);
    EXPECT_EQ(std::memcmp(file.data(), kBuiltinTune, file.size()), 0);
}

// Walks the file layout: no identification, short header and order table, packed 64-row
// patterns, 241-byte instrument headers without names, each with one 18-byte sample header and
// 8-bit unpacked data; the walk ends exactly at the image's end.
TEST(BuiltinTune, ImageHasTheCompactedLayout) {
    const unsigned char* image = kBuiltinTune;
    EXPECT_TRUE(AllZero(image, 17)) << "identification text";
    EXPECT_TRUE(AllZero(image + 37, 23)) << "0x1A byte, tracker name and version";
    const uint32_t songLength = Le16(image + 64);
    ASSERT_EQ(Le32(image + 60), 20 + songLength) << "header size";
    uint32_t at = 60 + Le32(image + 60);
    for (uint32_t p = 0; p < Le16(image + 70); ++p) {
        ASSERT_LE(at + 9, kBuiltinTuneSize);
        EXPECT_EQ(Le16(image + at + 5), 64u) << "rows of pattern " << p;
        EXPECT_NE(Le16(image + at + 7), 0u) << "pattern " << p << " has packed data";
        at += 9 + Le16(image + at + 7);
    }
    for (uint32_t i = 0; i < Le16(image + 72); ++i) {
        ASSERT_LE(at + 241 + 18, kBuiltinTuneSize);
        EXPECT_EQ(Le32(image + at), 241u) << "instrument " << i;
        EXPECT_TRUE(AllZero(image + at + 4, 22)) << "name of instrument " << i;
        EXPECT_EQ(Le16(image + at + 27), 1u) << "samples of instrument " << i;
        EXPECT_EQ(Le32(image + at + 29), 18u) << "sample header size of instrument " << i;
        const unsigned char* sample = image + at + 241;
        EXPECT_EQ(sample[14] & 0x10, 0) << "8-bit data in instrument " << i;
        EXPECT_LE(sample[14] & 3, 1) << "forward loop or none in instrument " << i;
        EXPECT_NE(sample[17], 0xAD) << "unpacked data in instrument " << i;
        at += 241 + 18 + Le32(sample);
    }
    EXPECT_EQ(at, kBuiltinTuneSize);
}

TEST(BuiltinTune, LoadsThroughTheMemorySourceWithItsCharacteristics) {
    ASSERT_NE(LoadModuleImage(kBuiltinTune, kBuiltinTuneSize), 0);
    const Song& song = gPlayer.song;
    EXPECT_STREQ(gPlayer.songTitle, "Lanterns on the Wire");
    EXPECT_EQ(song.channelCount, 4u);
    EXPECT_EQ(song.flags, 0) << "Amiga frequency table";
    EXPECT_EQ(song.defaultTempo, 6);
    EXPECT_EQ(song.defaultBpm, 125);
    EXPECT_EQ(song.restartPosition, 0);
    EXPECT_EQ(song.songLength, 13);
    ASSERT_EQ(song.patternCount, 12);
    for (int p = 0; p < song.patternCount; ++p) EXPECT_EQ(song.patterns[p].rowCount, 64);
    ASSERT_GE(song.instrumentCount, 6);
    for (int i = 0; i < song.instrumentCount; ++i) {
        const Instrument& instrument = song.instruments[i];
        ASSERT_NE(instrument.samples[0], nullptr) << "instrument " << i + 1;
        EXPECT_EQ(instrument.samples[1], nullptr) << "instrument " << i + 1;
        EXPECT_EQ(instrument.volumeType | instrument.panningType, 0) << "no envelopes";
        EXPECT_EQ(instrument.vibratoDepth, 0) << "no auto-vibrato";
        EXPECT_EQ(instrument.fadeout, 0) << "no fade-out";
        const Sample& sample = *instrument.samples[0];
        EXPECT_EQ(sample.is16Bit, 0);
        EXPECT_NE(sample.packing, 0xAD);
        EXPECT_LE(sample.loopType, 1) << "forward loop or none";
    }
    ReleaseModuleImage();
}

// Every loop joins its last frame to its first with no larger step than the loop makes inside,
// and every sample without a loop ends at silence, so neither clicks.
TEST(BuiltinTune, SampleLoopsAndEndsAreSeamless) {
    ASSERT_NE(LoadModuleImage(kBuiltinTune, kBuiltinTuneSize), 0);
    for (int i = 0; i < gPlayer.song.instrumentCount; ++i) {
        const Sample& sample = *gPlayer.song.instruments[i].samples[0];
        const int16_t* data = sample.data;
        if (sample.loopType == 0) {
            EXPECT_LE(std::abs(data[sample.length - 1]), 256) << "end of instrument " << i + 1;
            continue;
        }
        const uint32_t end = sample.loopStart + sample.loopLength;
        int inside = 0;
        for (uint32_t f = sample.loopStart; f + 1 < end; ++f)
            inside = std::max(inside, std::abs(data[f + 1] - data[f]));
        EXPECT_LE(std::abs(data[sample.loopStart] - data[end - 1]), inside)
            << "loop seam of instrument " << i + 1;
    }
    ReleaseModuleImage();
}

// The checked-in module and image are what tunegen and xmcompact make of the score today.
TEST(BuiltinTune, RegeneratesIdenticallyFromTheScore) {
#ifdef _WIN32
    GTEST_SKIP() << "the generators are checked by the Linux builds";
#else
    const std::string xm = BinaryPath("tests/tune/regenerated.xm");
    const std::string image = BinaryPath("tests/tune/regenerated.xmc");
    const std::string tunegen = "\"" LINKMEND_TUNEGEN "\" \"" +
                                SourcePath("assets/builtin_tune.score") + "\" \"" + xm + "\"";
    const std::string xmcompact = "\"" LINKMEND_XMCOMPACT "\" \"" + xm + "\" \"" + image + "\"";
    ASSERT_EQ(std::system(tunegen.c_str()), 0) << tunegen;
    ASSERT_EQ(std::system(xmcompact.c_str()), 0) << xmcompact;
    EXPECT_TRUE(ReadWholeFile(xm) == ReadWholeFile(SourcePath("assets/builtin_tune.xm")));
    EXPECT_TRUE(ReadWholeFile(image) == ReadWholeFile(SourcePath("assets/builtin_tune.xmc")));
#endif
}

// Stereo 16-bit output of the built-in tune from its start, `frames` frames rounded up to whole
// blocks, rendered offline. With `solo` below 4 the other channels lose their notes,
// instruments and volumes (their effects stay, so the song keeps its speed).
std::vector<int16_t> RenderTune(uint32_t frames, uint32_t solo = 4) {
    std::vector<int16_t> output;
    if (!StartOfflineRender(kBuiltinTune, kBuiltinTuneSize, PLAY_FROM_MEMORY)) return output;
    const Song& song = gPlayer.song;
    for (uint32_t p = 0; solo < song.channelCount && p < song.patternCount; ++p) {
        for (uint32_t i = 0; i < song.patterns[p].rowCount * song.channelCount; ++i) {
            Cell& cell = song.patterns[p].cells[i];
            if (i % song.channelCount != solo) cell.note = cell.instrument = cell.volumeColumn = 0;
        }
    }
    while (output.size() < size_t(frames) * 2) {
        const int16_t* block = gPlayer.outputBuffer + gPlayer.nextBlock * kBlockFrames * 2;
        RenderBlock();
        output.insert(output.end(), block, block + kBlockFrames * 2);
    }
    StopPlayback();
    return output;
}

// Left and right averaged, from frame `first` on, `count` frames.
std::vector<float> Mono(const std::vector<int16_t>& stereo, uint32_t first, uint32_t count) {
    std::vector<float> mono(count);
    for (uint32_t i = 0; i < count; ++i)
        mono[i] = 0.5f * (stereo[2 * (first + i)] + stereo[2 * (first + i) + 1]);
    return mono;
}

// Fundamental frequency in Hz by the difference-function method: the first lag (40 Hz to 2 kHz)
// where the cumulative-mean-normalised difference falls below 0.15, at its local minimum,
// refined by a parabola through its neighbours. 0 when no lag qualifies.
double EstimateFrequency(const std::vector<float>& x) {
    const int minLag = 48000 / 2000, maxLag = 48000 / 40;
    const size_t window = x.size() - maxLag - 1;
    std::vector<double> normalised(maxLag + 2, 1.0);
    double running = 0.0;
    for (int lag = 1; lag <= maxLag + 1; ++lag) {
        double difference = 0.0;
        for (size_t i = 0; i < window; ++i) difference += (x[i] - x[i + lag]) * (x[i] - x[i + lag]);
        running += difference;
        normalised[lag] = running > 0 ? difference * lag / running : 1.0;
    }
    for (int lag = minLag; lag <= maxLag; ++lag) {
        if (normalised[lag] >= 0.15) continue;
        while (lag < maxLag && normalised[lag + 1] < normalised[lag]) ++lag;
        const double a = normalised[lag - 1], b = normalised[lag], c = normalised[lag + 1];
        const double bend = a - 2 * b + c;
        const double shift = bend > 0 ? 0.5 * (a - c) / bend : 0.0;
        return 48000.0 / (lag + shift);
    }
    return 0.0;
}

// Largest change between neighbouring frames of either side, over frames [first, last).
int LargestStep(const std::vector<int16_t>& stereo, uint32_t first, uint32_t last) {
    int largest = 0;
    for (uint32_t i = 2 * first; i + 2 < 2 * last; ++i)
        largest = std::max(largest, std::abs(stereo[i + 2] - stereo[i]));
    return largest;
}

// Played once with the no-loop end, the song stops at the row tick of its last row (which is not
// heard): about a minute, and the timing the other render tests count on.
TEST(BuiltinTuneRender, LastsAboutAMinute) {
    ASSERT_TRUE(
        StartOfflineRender(kBuiltinTune, kBuiltinTuneSize, PLAY_FROM_MEMORY | PLAY_NO_LOOP));
    uint32_t frames = 0;
    while (gPlayer.heap != nullptr && frames < 2 * kSongFrames) {
        RenderBlock();
        if (gPlayer.heap != nullptr) frames += kBlockFrames;
    }
    StopPlayback();
    std::printf("one pass: %.2f s\n", frames / 48000.0);
    EXPECT_LE(frames, kSongFrames - kRowFrames);
    EXPECT_GT(frames, kSongFrames - kRowFrames - kBlockFrames);
}

// Two passes of the whole tune, rendered once for the tests that need them.
const std::vector<int16_t>& TwoPasses() {
    static const std::vector<int16_t> output = RenderTune(2 * kSongFrames);
    return output;
}

// No sample reaches full scale, and the loudness suits background music.
TEST(BuiltinTuneRender, TwoPassesStayBelowFullScaleAtBackgroundLoudness) {
    const std::vector<int16_t>& output = TwoPasses();
    ASSERT_FALSE(output.empty());
    int peak = 0;
    double energy = 0.0;
    for (int16_t sample : output) {
        peak = std::max(peak, std::abs(int(sample)));
        energy += double(sample) * sample;
    }
    const double rmsDb = 20.0 * std::log10(std::sqrt(energy / output.size()) / 32768.0);
    const double peakDb = 20.0 * std::log10(peak / 32768.0);
    std::printf("peak %d (%.1f dBFS), RMS %.1f dBFS\n", peak, peakDb, rmsDb);
    EXPECT_LT(peak, 32767);
    EXPECT_LT(peakDb, -3.0) << "headroom for the player's own rounding and other builds";
    EXPECT_GT(rmsDb, -26.0) << "audible as background music";
    EXPECT_LT(rmsDb, -14.0) << "quiet enough to stay in the background";
}

// Around the jump from the last order back to the first, no step between neighbouring frames
// is larger than the largest one the music itself makes in those two patterns.
TEST(BuiltinTuneRender, LoopBackToTheStartHasNoClick) {
    const std::vector<int16_t>& output = TwoPasses();
    ASSERT_FALSE(output.empty());
    const uint32_t margin = 2048;
    const int atLoop = LargestStep(output, kSongFrames - margin, kSongFrames + margin);
    const int inMusic = std::max(LargestStep(output, 0, RowStart(1, 0)),
                                 LargestStep(output, RowStart(12, 0), kSongFrames - margin));
    std::printf("largest step at the loop %d, in the first and last pattern %d\n", atLoop, inMusic);
    EXPECT_LE(atLoop, inMusic);
}

// Notes of the score, each rendered with its channel alone, sound at the frequencies of equal
// temperament (A-4 = 440 Hz) within 0.5 % (the Amiga period table rounds to whole periods).
TEST(BuiltinTuneRender, NotesSoundAtTheirWrittenPitch) {
    struct Case {
        const char* note;
        uint32_t order, row; // measured from this row on, after the note's onset
        double hertz;
    };
    const uint32_t window = 8192;
    const Case bass[] = {{"A-1 bass, first bar", 0, 2, 55.0}};
    const Case lead[] = {
        {"E-5 pulse lead, first note of the melody", 2, 2, 659.255},
        {"D-5 pulse lead, held before its vibrato", 3, 34, 587.330},
        {"E-5 soft lead, reached by a slide from B-4", 7, 26, 659.255},
        {"G#5 soft lead, held before its vibrato", 9, 34, 830.609},
    };
    const struct {
        uint32_t channel;
        const Case* first;
        const Case* last;
    } channels[] = {{2, std::begin(bass), std::end(bass)}, {0, std::begin(lead), std::end(lead)}};
    for (const auto& channel : channels) {
        const Case& latest = *(channel.last - 1);
        const std::vector<int16_t> output =
            RenderTune(RowStart(latest.order, latest.row) + window, channel.channel);
        ASSERT_FALSE(output.empty());
        for (const Case* c = channel.first; c != channel.last; ++c) {
            const double hertz =
                EstimateFrequency(Mono(output, RowStart(c->order, c->row), window));
            std::printf("%s: %.2f Hz, written %.2f Hz\n", c->note, hertz, c->hertz);
            EXPECT_NEAR(hertz, c->hertz, c->hertz * 0.005) << c->note;
        }
    }
}

} // namespace
