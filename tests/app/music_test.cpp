// The music through the real Windows audio path: what linkmend.exe plays, recorded from a
// private sound server (with_sound.sh), is the built-in tune as the player renders it offline,
// without gaps or repeated blocks; it stops when the dialog closes, and it already plays behind
// the refusal box on Windows 2000 (LINKMEND_WINVER=win2k).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "builtin_tune.h"
#include "driver.h"
#include "render_support.h"
#include "test_paths.h"

namespace {

const int kRate = 48000;
const int kBlockFrames = 1024; // one 4096-byte block of the player's output buffer
// The x86_64 build plays slowly for its first seconds under Wine; the i686 build does not.
#ifdef _WIN64
const int kSkipFrames = 3 * kRate;
#else
const int kSkipFrames = kRate / 2;
#endif
const int kCompareFrames = 3 * kRate + kRate / 2;
// The last compared stretch starts this much after the first: far enough that the two do not
// overlap, so that one hiccup of the sound path, wherever it falls, leaves a stretch to compare.
const int kLatestFrames = 2 * kCompareFrames;
// How far the sound may be behind or ahead of the recording's clock at the compared part: the
// recorder may start late, and start-up hiccups on a busy machine shift the sound.
const int kSearchFrames = 3 * kRate;

using Samples = std::vector<int16_t>;

Samples Recording() {
    const char* path = std::getenv("LINKMEND_CAPTURE");
    const std::string bytes = path != nullptr ? ReadWholeFile(path) : std::string();
    Samples samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                          static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    }
    return samples;
}

// Frame index of the first audible frame, or -1.
long FirstSound(const Samples& samples) {
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > 64) return static_cast<long>(i / 2);
    }
    return -1;
}

// Normalised correlation of `frames` frames of a (from frame a) and b (from frame b), using
// every `step`-th frame. 1 means the same sound up to loudness.
double Correlation(const Samples& x, long a, const Samples& y, long b, long frames, int step = 1) {
    double xy = 0, xx = 0, yy = 0;
    for (long f = 0; f < frames; f += step) {
        for (int c = 0; c < 2; ++c) {
            const double u = x[2 * (a + f) + c], v = y[2 * (b + f) + c];
            xy += u * v, xx += u * u, yy += v * v;
        }
    }
    if (xx == 0 && yy == 0) return 1.0;
    return xx == 0 || yy == 0 ? 0.0 : xy / std::sqrt(xx * yy);
}

// The reference frame that matches recorded frame `at`: a coarse search over every 4th lag up
// to kSearchFrames either way on every 16th frame, then an exact one around the best.
long MatchingFrame(const Samples& recording, long at, const Samples& reference, long guess) {
    const long window = kRate / 4;
    long best = -1;
    double bestScore = -2;
    auto consider = [&](long frame, int step) {
        if (frame < 0 || 2 * (frame + window) > static_cast<long>(reference.size())) return;
        const double score = Correlation(recording, at, reference, frame, window, step);
        if (score > bestScore) bestScore = score, best = frame;
    };
    for (long lag = -kSearchFrames; lag <= kSearchFrames; lag += 4) consider(guess + lag, 16);
    const long coarse = best;
    for (long frame = coarse - 8; frame <= coarse + 8; ++frame) consider(frame, 1);
    return best;
}

// Whether `kCompareFrames` recorded frames from `at` are the reference, block after block, from
// one alignment; explains the first mismatch in `why`.
bool MatchesReference(const Samples& recording, long at, long start, const Samples& reference,
                      std::string& why) {
    const long match = MatchingFrame(recording, at, reference, at - start + FirstSound(reference));
    if (match < 0) return why = "no alignment found", false;
    for (long f = 0; f + kBlockFrames <= kCompareFrames; f += kBlockFrames) {
        const double block = Correlation(recording, at + f, reference, match + f, kBlockFrames);
        if (block <= 0.99) {
            why = "a gap or a repeated block at recorded frame " + std::to_string(at + f) +
                  " (reference frame " + std::to_string(match + f) + "): correlation " +
                  std::to_string(block);
            return false;
        }
    }
    const double whole = Correlation(recording, at, reference, match, kCompareFrames);
    if (whole <= 0.99) return why = "correlation " + std::to_string(whole), false;
    return true;
}

// Frames recorded so far, from the file's size alone (reading it would load the machine).
long RecordedFrames() {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(std::getenv("LINKMEND_CAPTURE"), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return static_cast<long>(data.nFileSizeLow / 4);
}

// Waits until the sound starts (its first frame goes to `start`) and every stretch to compare
// has been played. The test stays idle meanwhile, so that it takes no time from the sound.
bool RecordMusic(long& start) {
    const bool heard = driver::WaitUntil(
        [&] {
            if (RecordedFrames() < kRate / 10) return false;
            start = FirstSound(Recording());
            return start >= 0;
        },
        30000);
    return heard &&
           driver::WaitUntil(
               [&] {
                   return RecordedFrames() > start + kSkipFrames + kLatestFrames + kCompareFrames;
               },
               30000);
}

// The first stretch that matches the offline render block by block; a busy machine can make
// Wine's sound hiccup, so later stretches get their chance (each miss is reported).
void ExpectTheBuiltInTune(const Samples& recording, long start) {
    const std::string tune(reinterpret_cast<const char*>(kBuiltinTune), kBuiltinTuneSize);
    const uint32_t blocks =
        (kSkipFrames + kLatestFrames + kCompareFrames + kSearchFrames) / kBlockFrames;
    const Samples reference = RenderOffline(tune, blocks);
    ASSERT_GT(FirstSound(reference), -1);
    bool matched = false;
    for (long skip = kSkipFrames; !matched && skip <= kSkipFrames + kLatestFrames;
         skip += kRate / 2) {
        std::string why;
        matched = MatchesReference(recording, start + skip, start, reference, why);
        if (!matched)
            std::printf("stretch from %ld frames after the start: %s\n", skip, why.c_str());
    }
    EXPECT_TRUE(matched) << "no stretch of " << kCompareFrames << " frames played cleanly";
}

bool RefusedVersion() {
    const char* version = std::getenv("LINKMEND_WINVER");
    return version != nullptr && std::string(version) == "win2k";
}

class Music : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("LINKMEND_CAPTURE"), nullptr) << "run through with_sound.sh";
    }
    void TearDown() override { driver::Stop(program); }

    void ExpectExitCodeZero() {
        DWORD exitCode = 99;
        EXPECT_TRUE(driver::WaitForExit(program, &exitCode));
        EXPECT_EQ(exitCode, 0u);
    }

    driver::Program program;
};

TEST_F(Music, DialogPlaysTheBuiltInTuneWithoutGapsAndStopsOnClose) {
    if (RefusedVersion()) GTEST_SKIP() << "no dialog on this Windows version";
    ASSERT_TRUE(driver::Start(program));
    ASSERT_NE(driver::WaitForMainDialog(program), nullptr);
    long start = -1;
    const bool played = RecordMusic(start);

    // Esc ends the program, and the sink falls silent.
    driver::PressKey(program, VK_ESCAPE);
    ExpectExitCodeZero();
    ASSERT_TRUE(played) << "the program's music never reached the sound server";
    const long closedAt = RecordedFrames();
    ASSERT_TRUE(driver::WaitUntil([&] { return RecordedFrames() > closedAt + kRate / 2; }));
    const Samples recording = Recording();
    const long tail = static_cast<long>(recording.size() / 2) - kRate / 4;
    EXPECT_EQ(FirstSound(Samples(recording.begin() + 2 * tail, recording.end())), -1)
        << "the music goes on after the dialog closed";
    ExpectTheBuiltInTune(recording, start);
}

TEST_F(Music, TunePlaysBehindTheRefusalBox) {
    if (!RefusedVersion()) GTEST_SKIP() << "this Windows version is not refused";
    ASSERT_TRUE(driver::Start(program));
    HWND box = driver::WaitForMessageBox(program);
    ASSERT_NE(box, nullptr);
    long start = -1;
    const bool played = RecordMusic(start);
    EXPECT_TRUE(IsWindowVisible(box)) << "the refusal box went away by itself";
    ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
    ExpectExitCodeZero();
    ASSERT_TRUE(played) << "no music behind the refusal box";
    ExpectTheBuiltInTune(Recording(), start);
}

} // namespace
