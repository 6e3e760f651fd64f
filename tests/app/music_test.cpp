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
// How much of the music may go by before a stretch has played cleanly: an emulated machine can
// be too slow for Wine's sound path most of the time.
const int kPatienceFrames = 60 * kRate;

using Samples = std::vector<int16_t>;

// The recording from frame `from` on, whole frames only.
Samples Recording(long from = 0) {
    std::string bytes;
    const char* path = std::getenv("LINKMEND_CAPTURE");
    if (FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr) {
        char buffer[65536];
        size_t n = 0;
        if (std::fseek(file, from * 4, SEEK_SET) == 0) {
            while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
        }
        std::fclose(file);
    }
    Samples samples(bytes.size() / 4 * 2);
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

// The reference frame that matches recorded frame `at`. Where the guess is right to a few frames
// (the sound went on without a gap since it was made) an exact search around it finds it; else a
// coarse search over every 4th lag up to `search` frames either way on every 16th frame, then an
// exact one around the best. Both stay cheap, since under emulation the check itself is slow.
long MatchingFrame(const Samples& recording, long at, const Samples& reference, long guess,
                   long search) {
    const long window = kRate / 4;
    long best = -1;
    double bestScore = -2;
    auto consider = [&](long frame, int step) {
        if (frame < 0 || 2 * (frame + window) > static_cast<long>(reference.size())) return;
        const double score = Correlation(recording, at, reference, frame, window, step);
        if (score > bestScore) bestScore = score, best = frame;
    };
    auto exactAround = [&](long centre) {
        for (long frame = centre - 8; frame <= centre + 8; ++frame) consider(frame, 1);
    };
    exactAround(guess);
    if (bestScore > 0.99) return best;
    for (long lag = -search; lag <= search; lag += 4) consider(guess + lag, 16);
    exactAround(best);
    return best;
}

// Whether `kCompareFrames` recorded frames from `at` are the reference, block after block, from
// one alignment; explains the first mismatch in `why`. `offset` (recorded frame minus reference
// frame) is where the search for the alignment starts, up to `search` frames away, and becomes
// the alignment found.
bool MatchesReference(const Samples& recording, long at, const Samples& reference, long& offset,
                      long search, std::string& why) {
    const long match = MatchingFrame(recording, at, reference, at - offset, search);
    if (match < 0) return why = "no alignment found", false;
    offset = at - match;
    if (2 * (match + kCompareFrames) > static_cast<long>(reference.size()))
        return why = "aligned past the end of the reference", false;
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

// Waits, idle, until the recording holds `frames` frames: it sleeps for as long as the missing
// ones take to play (they cannot come sooner), then watches for them.
bool WaitForRecording(long frames) {
    const long missing = frames - RecordedFrames();
    if (missing > 0) Sleep(static_cast<DWORD>(missing / (kRate / 1000)));
    return driver::WaitUntil([&] { return RecordedFrames() >= frames; });
}

// The built-in tune as the player renders it offline, far enough for every stretch listened to.
Samples Reference() {
    const std::string tune(reinterpret_cast<const char*>(kBuiltinTune), kBuiltinTuneSize);
    const uint32_t blocks =
        (kRate + kSkipFrames + kPatienceFrames + kLatestFrames + kCompareFrames + kSearchFrames) /
        kBlockFrames;
    return RenderOffline(tune, blocks);
}

// Listens to the program's music until a stretch of kCompareFrames matches `reference` block by
// block. Each round records idle, then checks the stretches that start every half second of it;
// a busy or emulated machine can make Wine's sound hiccup often, so later rounds get their
// chance until kPatienceFrames of music have gone by (each miss is reported).
void ExpectTheBuiltInTune(const Samples& reference, const char* noSound) {
    ASSERT_GT(FirstSound(reference), -1);
    // Only what came since the last look is read: the test must not take the sound's processor.
    long start = -1;
    long looked = 0;
    const bool heard = driver::WaitUntil([&] {
        const Samples fresh = Recording(looked);
        const long found = FirstSound(fresh);
        if (found >= 0) start = looked + found;
        looked += static_cast<long>(fresh.size() / 2);
        return start >= 0;
    });
    ASSERT_TRUE(heard) << noSound;
    long offset = start - FirstSound(reference);
    for (long from = start + kSkipFrames; from - start <= kPatienceFrames;) {
        ASSERT_TRUE(WaitForRecording(from + kLatestFrames + kCompareFrames))
            << "the recording stopped growing";
        const Samples recording = Recording();
        for (long at = from; at <= from + kLatestFrames; at += kRate / 2) {
            // A round's first stretch may come long after the last one checked.
            const long search = at == from ? kSearchFrames : kRate / 2;
            std::string why;
            if (MatchesReference(recording, at, reference, offset, search, why)) return;
            std::printf("stretch from %ld frames after the start: %s\n", at - start, why.c_str());
        }
        // What played while the stretches were checked had less of the machine.
        from = RecordedFrames() + kRate / 2;
    }
    ADD_FAILURE() << "no stretch of " << kCompareFrames << " frames played cleanly in "
                  << kPatienceFrames / kRate << " s of music";
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
    const Samples reference = Reference();
    ASSERT_TRUE(driver::Start(program));
    ASSERT_NE(driver::WaitForMainDialog(program), nullptr);
    ExpectTheBuiltInTune(reference, "the program's music never reached the sound server");

    // Esc ends the program, and the sink falls silent.
    driver::PressKey(program, VK_ESCAPE);
    ExpectExitCodeZero();
    const long closedAt = RecordedFrames();
    ASSERT_TRUE(driver::WaitUntil([&] { return RecordedFrames() > closedAt + kRate / 2; }));
    const Samples recording = Recording();
    const long tail = static_cast<long>(recording.size() / 2) - kRate / 4;
    EXPECT_EQ(FirstSound(Samples(recording.begin() + 2 * tail, recording.end())), -1)
        << "the music goes on after the dialog closed";
}

TEST_F(Music, TunePlaysBehindTheRefusalBox) {
    if (!RefusedVersion()) GTEST_SKIP() << "this Windows version is not refused";
    const Samples reference = Reference();
    ASSERT_TRUE(driver::Start(program));
    HWND box = driver::WaitForMessageBox(program);
    ASSERT_NE(box, nullptr);
    ExpectTheBuiltInTune(reference, "no music behind the refusal box");
    EXPECT_TRUE(IsWindowVisible(box)) << "the refusal box went away by itself";
    ASSERT_TRUE(driver::AnswerMessageBox(box, IDOK));
    ExpectExitCodeZero();
}

} // namespace
