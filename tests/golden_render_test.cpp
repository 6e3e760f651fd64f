// Golden renders: small modules rendered offline to hashes of their 16-bit output. The player's
// arithmetic is the same IEEE single and double precision on every build, so one hash holds on
// Linux and on both Windows builds. A change of the sequencer's or the mixer's rules changes the
// hashes on purpose: run with LINKMEND_PRINT_HASHES=1 to print the new ones.
#include "simd.h"
#include "player.h"
#include "render_support.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace {

struct Golden {
    const char* name;
    const char* file; // under the shared robustness folder; null: the tone module
    uint32_t blocks;
    uint32_t volume;
    uint64_t hash;
};

const Golden kGoldens[] = {
    {"tone module: forward and ping-pong loops, ramps, panning", nullptr, 120, 64,
     0xf2c7b9ed710eac05},
    {"tone module at volume 37", nullptr, 40, 37, 0x09f743446b6803f8},
    {"ping-pong loops", "bidi_sync.xm", 100, 64, 0x013e8c7edc71071b},
    {"eight channels", "test.xm", 100, 64, 0x4fddde6455ff2325},
    {"fine effects", "finefx_ft2.xm", 100, 64, 0x44cce611501770b2},
    {"stereo samples", "stereo.xm", 100, 64, 0xbd932ba95af1c078},
};

// Renders every golden module and compares its hash; `loop` names the mixing loop in use.
void CheckGoldens(const char* loop) {
    bool print = std::getenv("LINKMEND_PRINT_HASHES") != nullptr;
    for (const Golden& golden : kGoldens) {
        std::string image =
            golden.file ? ReadWholeFile(SharedDataPath(std::string("xm/robustness/") + golden.file))
                        : ToneModule(32);
        ASSERT_FALSE(image.empty()) << golden.name;
        SetPlayerVolume(golden.volume);
        std::vector<int16_t> samples = RenderOffline(image, golden.blocks);
        SetPlayerVolume(64);
        ASSERT_EQ(samples.size(), size_t(golden.blocks) * kBlockFrames * 2) << golden.name;
        uint64_t hash = HashSamples(samples);
        if (print) std::printf("%s: 0x%016" PRIx64 "\n", golden.name, hash);
        EXPECT_EQ(hash, golden.hash) << golden.name << " with the " << loop << " loop";
    }
}

TEST(GoldenRender, OutputHashesAreTheSameOnEveryBuild) {
    CheckGoldens(gUseAvx2 ? "AVX2" : "SSE2");
}

// Processors without AVX2 mix with the SSE2 loop: the same bits again.
TEST(GoldenRender, TheSse2LoopGivesTheSameHashes) {
    bool avx2 = gUseAvx2;
    gUseAvx2 = false;
    CheckGoldens("SSE2");
    gUseAvx2 = avx2;
}

} // namespace
