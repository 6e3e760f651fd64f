// Render speed (seconds of audio per second of CPU, one thread) for a 4-channel module like the
// built-in one, a 32-channel module that keeps all 64 voices busy and the real module when it has
// been fetched; the cost of a start (load and the 16 pre-rendered blocks); and the memory the
// player takes. A rate counter "x_realtime" is the render speed as a multiple of real time.
#include "builtin_tune.h"
#include "simd.h"
#include "module_image.h"
#include "player.h"
#include "sources.h"
#include "xm_builder.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

const double kBlockSeconds = double(kBlockFrames) / 48000;

std::string BuiltinImage() {
    return std::string(reinterpret_cast<const char*>(kBuiltinTune), kBuiltinTuneSize);
}

// 32 channels, each with a new note every 4 rows (staggered), so that every channel's partner
// voice is still fading or playing on silently: all 64 voices hold a sample. Long looped samples
// of three kinds (forward, ping-pong, unlooped), vibrato on every other channel.
std::string BusyModule() {
    XmModulePlan plan = MinimalModule();
    plan.channels = 32;
    std::vector<XmInstrumentPlan> instruments;
    for (uint8_t type = 0; type < 3; ++type) {
        XmSamplePlan sample = RampSample8(20000 + 3000 * type);
        sample.type = type;
        sample.loopStart = type ? 1000 : 0;
        sample.loopLength = type ? 15000 : 0;
        sample.panning = uint8_t(40 + 80 * type);
        instruments.push_back(InstrumentWith({sample}));
    }
    plan.instruments = instruments;
    const uint16_t rows = 64;
    std::vector<Cell> cells(rows * 32);
    for (uint16_t row = 0; row < rows; ++row)
        for (uint8_t c = 0; c < 32; ++c)
            if ((row + c) % 4 == 0)
                cells[row * 32 + c] = Cell{uint8_t(37 + (row + 3 * c) % 36), uint8_t(1 + c % 3), 0,
                                           uint8_t(c % 2 ? 4 : 0), uint8_t(c % 2 ? 0x46 : 0)};
    plan.patterns = {PatternOf(rows, cells)};
    return WriteXm(plan);
}

std::string RealImage() {
    std::string bytes;
    return ReadFileBytes(LINKMEND_REAL_XM, bytes) ? bytes : std::string();
}

// Each iteration renders the same 20 seconds from the start of the song (the start itself is
// not timed), so that every run measures the same music.
void RenderSpeed(benchmark::State& state, const std::string& image) {
    const int blocks = 20 * 48000 / kBlockFrames;
    if (image.empty()) {
        state.SkipWithError("module not available (run scripts/fetch-real-xm.sh)");
        return;
    }
    int busy = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!StartOfflineRender(image.data(), image.size(), PLAY_FROM_MEMORY)) {
            state.SkipWithError("module does not load");
            return;
        }
        state.ResumeTiming();
        for (int k = 0; k < blocks; ++k) RenderBlock();
        state.PauseTiming();
        busy = 0;
        for (const Voice& voice : gPlayer.voices) busy += voice.sample != nullptr;
        StopPlayback();
        state.ResumeTiming();
    }
    state.counters["x_realtime"] = benchmark::Counter(
        double(state.iterations()) * blocks * kBlockSeconds, benchmark::Counter::kIsRate);
    state.counters["voices_busy_at_end"] = busy;
}

void BM_Render4ChannelBuiltin(benchmark::State& state) {
    RenderSpeed(state, BuiltinImage());
}
void BM_Render32Channels64Voices(benchmark::State& state) {
    RenderSpeed(state, BusyModule());
}
void BM_RenderRealModule(benchmark::State& state) {
    RenderSpeed(state, RealImage());
}

// The same with the SSE2 loop only (what a processor without AVX2 runs).
void WithoutAvx2(benchmark::State& state, const std::string& image) {
    bool avx2 = gUseAvx2;
    gUseAvx2 = false;
    RenderSpeed(state, image);
    gUseAvx2 = avx2;
}
void BM_Render4ChannelBuiltinSse2(benchmark::State& state) {
    WithoutAvx2(state, BuiltinImage());
}
void BM_Render32Channels64VoicesSse2(benchmark::State& state) {
    WithoutAvx2(state, BusyModule());
}

// A start as PlayModule makes it, without device and thread: load, then the 16 blocks.
void BM_StartBuiltin(benchmark::State& state) {
    std::string image = BuiltinImage();
    for (auto _ : state) {
        StartOfflineRender(image.data(), image.size(), PLAY_FROM_MEMORY);
        for (int k = 0; k < kBlockCount; ++k) RenderBlock();
        state.PauseTiming();
        StopPlayback();
        state.ResumeTiming();
    }
}

void ReportMemory() {
    std::string image = BuiltinImage();
    StartOfflineRender(image.data(), image.size(), PLAY_FROM_MEMORY);
    std::printf("sizeof(PlayerState): %zu bytes\n", sizeof(PlayerState));
    std::printf("private heap after loading the built-in tune (%u bytes): %zu bytes\n",
                kBuiltinTuneSize, size_t(PlatformHeapBytes(gPlayer.heap)));
    StopPlayback();
    std::string real = RealImage();
    if (!real.empty() && StartOfflineRender(real.data(), real.size(), PLAY_FROM_MEMORY))
        std::printf("private heap after loading the real module (%zu bytes): %zu bytes\n",
                    real.size(), size_t(PlatformHeapBytes(gPlayer.heap)));
    StopPlayback();
}

} // namespace

BENCHMARK(BM_Render4ChannelBuiltin)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render32Channels64Voices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderRealModule)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render4ChannelBuiltinSse2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render32Channels64VoicesSse2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartBuiltin)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    ReportMemory();
    std::printf("steady loop: %s\n", gUseAvx2 ? "AVX2" : "SSE2");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
