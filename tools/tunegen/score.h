// The tune's score as tunegen reads it: title, timing, instruments with their synthesis
// settings, phrases composed into 64-row patterns, and the order list.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

const int kPatternRows = 64;

struct ScoreCell {
    uint8_t note = 0; // 0 none, 1..96 C-0..B-7, 97 key-off
    uint8_t instrument = 0;
    uint8_t volume = 0; // volume column byte
    uint8_t effect = 0;
    uint8_t parameter = 0;
};

// One instrument: its name, waveform and numeric settings (see synth.h for their meaning).
struct ScoreInstrument {
    std::string name;
    std::string wave;
    std::map<std::string, double> settings;
    int line = 0;
};

struct ScorePattern {
    std::string name;
    std::vector<ScoreCell> cells; // kPatternRows x channel count, row by row
};

struct Score {
    std::string title;
    int speed = 6;
    int bpm = 125;
    std::vector<std::string> channels;
    std::vector<ScoreInstrument> instruments;
    std::vector<ScorePattern> patterns;
    std::vector<uint8_t> order; // pattern numbers
};

// Parses the score text. Throws std::runtime_error naming the line of the first mistake.
Score ParseScore(const std::string& text);
