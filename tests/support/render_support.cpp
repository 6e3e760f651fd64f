// Module images and offline renders for the player's tests.
#include "render_support.h"

#include "player.h"
#include "sources.h"
#include "xm_builder.h"

std::string ToneModule(uint16_t rows, uint8_t speed) {
    XmModulePlan plan = MinimalModule();
    plan.name = "tone";
    plan.channels = 2;
    plan.tempo = speed;
    XmSamplePlan forward = RampSample8(1000);
    forward.type = 1;
    forward.loopLength = 1000;
    XmSamplePlan pingPong = RampSample8(600);
    pingPong.type = 2;
    pingPong.loopStart = 100;
    pingPong.loopLength = 400;
    pingPong.panning = 220;
    plan.instruments = {InstrumentWith({forward}), InstrumentWith({pingPong})};
    std::vector<Cell> cells(size_t(rows) * 2);
    cells[0] = Cell{49, 1, 0, 0, 0};                           // C-4 on channel 0
    cells[size_t(rows / 2) * 2 + 1] = Cell{56, 2, 0x30, 0, 0}; // G-4 at volume 32 on channel 1
    plan.patterns = {PatternOf(rows, cells)};
    return WriteXm(plan);
}

std::vector<int16_t> RenderOffline(const std::string& image, uint32_t blocks, uint32_t flags) {
    return RenderOfflineFrom(image.data(), image.size(), flags | PLAY_FROM_MEMORY, blocks);
}

std::vector<int16_t> RenderOfflineFrom(const void* source, UINT_PTR parameter, uint32_t flags,
                                       uint32_t blocks) {
    std::vector<int16_t> samples;
    if (!StartOfflineRender(source, parameter, flags)) return samples;
    for (uint32_t b = 0; b < blocks; ++b) {
        uint32_t k = gPlayer.nextBlock;
        RenderBlock();
        if (gPlayer.heap == nullptr) break;
        const int16_t* block = gPlayer.outputBuffer + k * kBlockFrames * 2;
        samples.insert(samples.end(), block, block + kBlockFrames * 2);
    }
    StopPlayback();
    return samples;
}

uint64_t HashSamples(const std::vector<int16_t>& samples) {
    uint64_t hash = 14695981039346656037ull;
    for (int16_t sample : samples) {
        uint16_t bits = static_cast<uint16_t>(sample);
        for (int shift = 0; shift < 16; shift += 8) {
            hash ^= (bits >> shift) & 0xFF;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}
