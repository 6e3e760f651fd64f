// Builds the built-in tune from its score: tunegen SCORE OUTPUT.xm. The output is a module in
// the standard XM layout; xmcompact turns it into the compacted image the program carries.
#include "score.h"
#include "synth.h"
#include "standard_xm.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tunegen SCORE OUTPUT.xm\n");
        return 2;
    }
    std::ifstream input(argv[1], std::ios::binary);
    if (!input) {
        std::fprintf(stderr, "tunegen: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << input.rdbuf();
    try {
        const Score score = ParseScore(text.str());
        std::vector<SynthSample> samples;
        for (const ScoreInstrument& instrument : score.instruments)
            samples.push_back(SynthesiseInstrument(instrument));
        const std::vector<uint8_t> module = WriteStandardXm(score, samples);
        std::ofstream output(argv[2], std::ios::binary);
        output.write(reinterpret_cast<const char*>(module.data()),
                     static_cast<std::streamsize>(module.size()));
        if (!output) throw std::runtime_error(std::string("cannot write ") + argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tunegen: %s: %s\n", argv[1], error.what());
        return 1;
    }
    return 0;
}
