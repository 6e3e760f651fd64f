// The mixer: interpolation and gains, the 139-frame ramp, loops and their reflections, the end of
// an unlooped sample, silent voices, and reads that stay inside the sample record.
#include "mixer.h"
#include "mixer_loops.h"
#include "simd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

const uint64_t kOne = uint64_t(1) << 32; // step 1.0 in 32.32

// A sample laid out as the loader lays it out: one zero frame before frame 0, the frames, the
// guard frame at the loop end and two spare zero frames. The frames are an allocation of exactly
// that size, so that a memory checker reports any read outside them.
struct TestSample {
    std::unique_ptr<int16_t[]> frames;
    Sample sample{};
};

std::unique_ptr<TestSample> MakeSample(const std::vector<int16_t>& data, uint8_t loopType = 0,
                                       uint32_t loopStart = 0, uint32_t loopLength = 0) {
    auto made = std::make_unique<TestSample>();
    uint32_t length = static_cast<uint32_t>(data.size());
    made->frames.reset(new int16_t[length + 4]());
    int16_t* frames = made->frames.get() + 1;
    std::copy(data.begin(), data.end(), frames);
    Sample& sample = made->sample;
    sample.length = length;
    sample.loopType = loopType;
    sample.loopStart = loopType ? loopStart : 0;
    sample.loopLength = loopType ? loopLength : length;
    uint32_t loopEnd = sample.loopStart + sample.loopLength;
    if (loopType == 1) frames[loopEnd] = frames[loopStart];
    if (loopType == 2) frames[loopEnd] = frames[loopEnd - 1];
    sample.data = frames;
    return made;
}

std::vector<int16_t> Ramp(int count, int first = 1) {
    std::vector<int16_t> data(count);
    for (int i = 0; i < count; ++i) data[i] = static_cast<int16_t>(first + i);
    return data;
}

class MixerTest : public ::testing::Test {
  protected:
    void SetUp() override { std::memset(gPlayer.voices, 0, sizeof gPlayer.voices); }

    // A note start as the sequencer makes it: gains from 0, so a ramp follows.
    Voice& StartNote(int index, Sample& sample, uint64_t step, int32_t left, int32_t right) {
        Voice& voice = gPlayer.voices[index];
        voice.index = index;
        voice.sample = &sample;
        voice.position = voice.fraction = voice.backward = 0;
        voice.currentLeft = voice.currentRight = voice.rampFrames = 0;
        voice.step = step;
        voice.leftVolume = left;
        voice.rightVolume = right;
        return voice;
    }

    // A voice already at its gains: no ramp runs.
    Voice& SteadyVoice(int index, Sample& sample, uint64_t step, int32_t left, int32_t right) {
        Voice& voice = StartNote(index, sample, step, left, right);
        voice.currentLeft = left;
        voice.currentRight = right;
        return voice;
    }

    // Mixes n frames into a fresh zeroed buffer and returns its floats (left, right, ...).
    std::vector<float> Mix(uint32_t n) {
        std::vector<float> buffer(2 * n, 0.0f);
        MixVoices(buffer.data(), n);
        return buffer;
    }

    static std::vector<uint32_t> Bits(const std::vector<float>& buffer) {
        std::vector<uint32_t> bits(buffer.size());
        std::memcpy(bits.data(), buffer.data(), 4 * buffer.size());
        return bits;
    }

    static std::vector<float> Lefts(const std::vector<float>& buffer) {
        std::vector<float> lefts;
        for (size_t i = 0; i < buffer.size(); i += 2) lefts.push_back(buffer[i]);
        return lefts;
    }
};

TEST_F(MixerTest, FullGainsAddTheInterpolatedValueUnchanged) {
    auto s = MakeSample({0, 100, 200, 300, 400, 500, 600, 700});
    SteadyVoice(0, s->sample, kOne / 2, 255, 255);
    std::vector<float> out = Mix(8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(out[2 * i], 50.0f * i) << "frame " << i;
        EXPECT_EQ(out[2 * i + 1], 50.0f * i) << "frame " << i;
    }
}

TEST_F(MixerTest, GainsScaleEachSideByVolumeOver255) {
    struct Case {
        int32_t left, right;
    } cases[] = {{128, 128}, {128, 0}, {0, 64}, {1, 255}};
    for (const Case& c : cases) {
        SetUp();
        auto s = MakeSample(std::vector<int16_t>(16, 1000));
        SteadyVoice(0, s->sample, kOne, c.left, c.right);
        std::vector<float> out = Mix(4);
        EXPECT_NEAR(out[6], 1000.0 * c.left / 255, 1e-3) << c.left;
        EXPECT_NEAR(out[7], 1000.0 * c.right / 255, 1e-3) << c.right;
    }
}

TEST_F(MixerTest, NewNoteRampsFromSilenceToItsGainsInExactly139Frames) {
    auto s = MakeSample(std::vector<int16_t>(400, 1000));
    Voice& voice = StartNote(0, s->sample, kOne, 255, 128);
    std::vector<float> out = Mix(200);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_NEAR(out[2 * 69], 1000.0 * 69 / 139, 0.01);
    EXPECT_LT(out[2 * 138], 1000.0f);
    for (int i = 139; i < 200; ++i) {
        ASSERT_EQ(out[2 * i], 1000.0f) << "frame " << i;
        ASSERT_NEAR(out[2 * i + 1], 1000.0 * 128 / 255, 1e-3) << "frame " << i;
    }
    EXPECT_EQ(voice.rampFrames, 0);
    EXPECT_EQ(voice.currentLeft, 255);
    EXPECT_EQ(voice.currentRight, 128);
    EXPECT_EQ(voice.rampLeftStep, 0.0f);
}

TEST_F(MixerTest, OneFrameWithARampAdvancesTheRampByOneFrame) {
    auto s = MakeSample(std::vector<int16_t>(16, 1000));
    Voice& voice = StartNote(0, s->sample, kOne, 255, 255);
    Mix(1);
    EXPECT_EQ(voice.rampFrames, 138);
    EXPECT_EQ(voice.currentLeft, 2); // 255 / 139 rounded
    EXPECT_EQ(voice.position, 1u);
}

TEST_F(MixerTest, ChangingATargetMidRampStartsANewRampFromTheGainsReached) {
    auto s = MakeSample(std::vector<int16_t>(1000, 1000));
    Voice& voice = StartNote(0, s->sample, kOne, 255, 255);
    Mix(70);
    EXPECT_EQ(voice.currentLeft, 128); // 255 x 70 / 139 = 128.4
    EXPECT_EQ(voice.rampFrames, 69);
    voice.leftVolume = 0;
    std::vector<float> out = Mix(150);
    EXPECT_NEAR(out[0], 1000.0 * 128 / 255, 0.01); // the new ramp starts where the old one stood
    EXPECT_GT(out[2 * 138], 0.0f);
    EXPECT_EQ(out[2 * 139], 0.0f);
    EXPECT_EQ(out[2 * 149 + 1], 1000.0f); // the right side went on to its own target
    EXPECT_EQ(voice.rampFrames, 0);
    EXPECT_EQ(voice.currentLeft, 0);
}

TEST_F(MixerTest, VoiceHandedOverFadesOutIn139FramesAndPlaysOnSilently) {
    auto s = MakeSample(std::vector<int16_t>(2000, 1000), 1, 0, 2000);
    Voice& voice = SteadyVoice(0, s->sample, kOne, 128, 128);
    Mix(10);
    voice.leftVolume = voice.rightVolume = 0;
    std::vector<float> out = Mix(300);
    EXPECT_GT(out[2 * 138], 0.0f);
    for (int i = 139; i < 300; ++i) ASSERT_EQ(out[2 * i], 0.0f) << "frame " << i;
    EXPECT_EQ(voice.sample, &s->sample);
    EXPECT_EQ(voice.position, 310u);
}

TEST_F(MixerTest, UnloopedSampleContributesItsFramesOnceAndTheVoiceBecomesIdle) {
    auto s = MakeSample({1, 2, 3, 4, 5});
    Voice& voice = SteadyVoice(0, s->sample, kOne, 255, 255);
    EXPECT_EQ(Lefts(Mix(8)), (std::vector<float>{1, 2, 3, 4, 5, 0, 0, 0}));
    EXPECT_EQ(voice.sample, nullptr);
    EXPECT_EQ(voice.position, 0u);
    EXPECT_EQ(voice.fraction, 0u);
}

TEST_F(MixerTest, UnloopedSampleWithAFractionalStepInterpolatesTowardsTheZeroAfterIt) {
    auto s = MakeSample({100, 200, 300});
    SteadyVoice(0, s->sample, kOne / 2, 255, 255);
    EXPECT_EQ(Lefts(Mix(8)), (std::vector<float>{100, 150, 200, 250, 300, 150, 0, 0}));
}

TEST_F(MixerTest, LoopType3PlaysToTheLoopEndAndEnds) {
    auto s = MakeSample(Ramp(10), 3, 2, 3);
    Voice& voice = SteadyVoice(0, s->sample, kOne, 255, 255);
    EXPECT_EQ(Lefts(Mix(8)), (std::vector<float>{1, 2, 3, 4, 5, 0, 0, 0}));
    EXPECT_EQ(voice.sample, nullptr);
}

TEST_F(MixerTest, ForwardLoopPlaysToTheLoopEndThenRepeatsFromTheLoopStart) {
    auto s = MakeSample(Ramp(30), 1, 10, 10); // frame i holds i + 1
    SteadyVoice(0, s->sample, kOne, 255, 255);
    std::vector<float> expected(20);
    for (int i = 0; i < 20; ++i) expected[i] = float(i + 1);
    for (int round = 0; round < 3; ++round)
        for (int i = 10; i < 20; ++i) expected.push_back(float(i + 1));
    EXPECT_EQ(Lefts(Mix(50)), expected);
}

TEST_F(MixerTest, PingPongLoopTurnsBackJustBelowItsEndAndForwardAgainAtItsStart) {
    auto s = MakeSample({10, 20, 30, 40}, 2, 0, 4);
    Voice& voice = SteadyVoice(0, s->sample, kOne, 255, 255);
    struct State {
        uint32_t position, fraction, backward;
    } expected[] = {
        {1, 0, 0},          {2, 0, 0},          {3, 0, 0},          // forward through the loop
        {3, 0xFFFFFFFF, 1},                                         // reflected at E
        {2, 0xFFFFFFFE, 1}, {1, 0xFFFFFFFE, 1}, {0, 0xFFFFFFFE, 1}, // backward, 31-bit fraction
        {0, 1, 0},                                                  // reflected at S
        {1, 0, 0},          {2, 0, 0},
    };
    for (const State& state : expected) {
        Mix(1);
        EXPECT_EQ(voice.position, state.position);
        EXPECT_EQ(voice.fraction, state.fraction);
        EXPECT_EQ(voice.backward, state.backward);
    }
}

// A chunk that starts less than 2^-24 frame before the loop end has no frame to mix: the wrap
// happens at once and leaves the position a fraction before S = 0, that is at frame -1, where the
// interpolation reads the zero frame before the data.
TEST_F(MixerTest, WrapJustBeforeTheLoopEndLandsBeforeFrameZeroAndReadsTheLeadingZero) {
    auto s = MakeSample({1000, 2000, 3000, 4000}, 1, 0, 4);
    Voice& voice = SteadyVoice(0, s->sample, kOne, 255, 255);
    voice.position = 3;
    voice.fraction = 0xFFFFFF80;
    std::vector<float> out = Mix(1);
    EXPECT_NEAR(out[0], 1000.0f, 0.01f); // 0 + (almost 1) x (1000 - 0)
    EXPECT_EQ(voice.position, 0u);
    EXPECT_EQ(voice.fraction, 0xFFFFFF80u);
}

// A backward move that lands exactly on S = 0 reflects to a fraction below frame 0, moving
// forward: the position is frame -1, not a huge frame number to be reflected at the loop end.
TEST_F(MixerTest, ReflectionExactlyAtTheLoopStartMovesForwardFromFrameMinusOne) {
    auto s = MakeSample({1000, 2000, 3000, 4000}, 2, 0, 4);
    Voice& voice = SteadyVoice(0, s->sample, kOne, 255, 255);
    voice.position = 1;
    voice.backward = 1;
    std::vector<float> out = Mix(1);
    EXPECT_EQ(out[0], 2000.0f);
    EXPECT_EQ(voice.position, 0xFFFFFFFFu);
    EXPECT_EQ(voice.fraction, 0xFFFFFFFFu);
    EXPECT_EQ(voice.backward, 0u);
    out = Mix(2);
    EXPECT_NEAR(out[0], 1000.0f, 0.01f);
    EXPECT_NEAR(out[2], 2000.0f, 0.01f);
    EXPECT_EQ(voice.position, 1u);
}

TEST_F(MixerTest, StepsLongerThanTheLoopKeepThePositionInsideIt) {
    struct Case {
        uint8_t loopType;
        uint64_t step;
    } cases[] = {{1, 7 * kOne + kOne / 3},
                 {2, 7 * kOne + kOne / 3},
                 {2, 200 * kOne + 12345},
                 {1, 255 * kOne + 0xFFFFFFF}};
    for (const Case& c : cases) {
        SetUp();
        auto s = MakeSample(Ramp(40), c.loopType, 10, 3);
        Voice& voice = SteadyVoice(0, s->sample, c.step, 255, 255);
        for (int frame = 0; frame < 500; ++frame) {
            Mix(1);
            if (frame < 2) continue; // the first frames may still lie before the loop
            int64_t whole = voice.position == 0xFFFFFFFF ? -1 : int64_t(voice.position);
            ASSERT_GE(whole, 9) << "type " << int(c.loopType) << " frame " << frame;
            ASSERT_LE(whole, 13) << "type " << int(c.loopType) << " frame " << frame;
        }
    }
}

// A voice at gains 0 with no ramp is moved without mixing; it must end where a mixed voice ends
// and leave the buffer's bits as they were.
TEST_F(MixerTest, SilentVoiceMovesExactlyLikeAMixedOne) {
    const uint64_t steps[] = {kOne, kOne + 1, kOne / 2 + 3, 3 * kOne - 1, kOne / 48};
    const uint8_t loopTypes[] = {0, 1, 2};
    const uint32_t pieces[] = {1, 7, 64, 139, 1024, 3, 500};
    for (uint64_t step : steps) {
        for (uint8_t loopType : loopTypes) {
            auto silentSample = MakeSample(Ramp(700, -300), loopType, 100, 333);
            auto mixedSample = MakeSample(Ramp(700, -300), loopType, 100, 333);
            SetUp();
            Voice& silent = SteadyVoice(0, silentSample->sample, step, 0, 0);
            Voice mixed = silent;
            mixed.sample = &mixedSample->sample;
            mixed.leftVolume = mixed.currentLeft = 1;
            for (uint32_t n : pieces) {
                std::vector<float> before(2 * n, 0.25f);
                std::vector<float> buffer = before;
                MixVoices(buffer.data(), n);
                ASSERT_EQ(Bits(before), Bits(buffer));
                std::swap(gPlayer.voices[0], mixed);
                MixVoices(buffer.data(), n);
                std::swap(gPlayer.voices[0], mixed);
                ASSERT_EQ(silent.position, mixed.position) << step << " " << int(loopType);
                ASSERT_EQ(silent.fraction, mixed.fraction) << step << " " << int(loopType);
                ASSERT_EQ(silent.backward, mixed.backward) << step << " " << int(loopType);
                ASSERT_EQ(silent.sample == nullptr, mixed.sample == nullptr);
            }
        }
    }
}

TEST_F(MixerTest, VoicesAreSummedIntoTheSameFrames) {
    auto a = MakeSample(std::vector<int16_t>(8, 100));
    auto b = MakeSample(std::vector<int16_t>(8, -30));
    SteadyVoice(0, a->sample, kOne, 255, 0);
    SteadyVoice(63, b->sample, kOne, 255, 255);
    std::vector<float> out = Mix(4);
    EXPECT_EQ(out[0], 70.0f);
    EXPECT_EQ(out[1], -30.0f);
}

// The AVX2 loop (where the processor has it) and the SSE2 loop give the same bits: the same
// voices from the same buffer end in the same buffer and the same voice state. The mix starts at
// every frame offset, so that the AVX2 loop's single frames before its aligned part all run.
TEST_F(MixerTest, BothSteadyLoopsGiveTheSameBits) {
    std::mt19937 random(7);
    std::vector<int16_t> data(5000);
    for (int16_t& frame : data) frame = static_cast<int16_t>(random());
    const uint8_t loopTypes[] = {0, 1, 2};
    bool avx2 = gUseAvx2;
    for (int trial = 0; trial < 300; ++trial) {
        auto s = MakeSample(data, loopTypes[trial % 3], 700, 3000);
        std::vector<float> start(2048 + 8);
        for (float& value : start) value = float(int(random() % 20000) - 10000) * 0.37f;
        SetUp();
        Voice& voice = SteadyVoice(trial % 64, s->sample, random() % (3 * kOne), random() % 129,
                                   random() % 129);
        voice.position = random() % 4000;
        voice.fraction = static_cast<uint32_t>(random());
        const Voice before = voice;
        uint32_t n = 1 + random() % 1024;
        std::vector<float> results[2] = {start, start};
        Voice after[2];
        for (int loop = 0; loop < 2; ++loop) {
            gUseAvx2 = loop == 0 ? false : avx2;
            voice = before;
            MixVoices(results[loop].data() + 2 * (trial % 4), n);
            after[loop] = voice;
        }
        gUseAvx2 = avx2;
        ASSERT_EQ(Bits(results[0]), Bits(results[1])) << trial;
        ASSERT_EQ(after[0].position, after[1].position) << trial;
        ASSERT_EQ(after[0].fraction, after[1].fraction) << trial;
        ASSERT_EQ(after[0].backward, after[1].backward) << trial;
        ASSERT_EQ(after[0].sample, after[1].sample) << trial;
    }
}

// Any voice state, however odd, mixes without reading outside its sample's frames (checked by
// the address sanitizer build) and without hanging.
TEST_F(MixerTest, ArbitraryVoiceStatesStayInsideTheSampleRecord) {
    std::mt19937 random(20261208);
    auto pick = [&](uint32_t limit) { return uint32_t(random() % limit); };
    std::vector<float> buffer(2048);
    for (int trial = 0; trial < 3000; ++trial) {
        uint32_t length = 1 + pick(64);
        std::vector<int16_t> data(length);
        for (int16_t& frame : data) frame = static_cast<int16_t>(random());
        uint8_t loopType = static_cast<uint8_t>(pick(4));
        uint32_t loopStart = pick(length);
        uint32_t loopLength = 1 + pick(length - loopStart);
        auto s = MakeSample(data, loopType, loopStart, loopLength);
        SetUp();
        Voice& voice = StartNote(pick(64), s->sample, 0, pick(129), pick(129));
        const uint32_t positions[] = {pick(length + 3), 0xFFFFFFFF, 0xFFFFFFFE, pick(0x7FFFFFFF)};
        voice.position = positions[pick(4)];
        voice.fraction = static_cast<uint32_t>(random());
        voice.backward = pick(2);
        const uint64_t steps[] = {uint64_t(random()) % (256 * kOne), uint64_t(pick(256)),
                                  kOne * pick(4) + pick(16)};
        voice.step = steps[pick(3)];
        for (int call = 0; call < 4; ++call) MixVoices(buffer.data(), 1 + pick(1024));
    }
}

} // namespace
