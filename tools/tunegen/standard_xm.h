// Writes a score and its synthesised samples as a module in the standard XM layout.
#pragma once

#include "score.h"
#include "synth.h"

#include <cstdint>
#include <vector>

// The whole module: header with a 256-entry order table, the patterns packed the usual way,
// then one instrument per sample (263-byte header, one 40-byte sample header, 8-bit delta data).
// Names are kept: the title as module name, the instruments' score names.
std::vector<uint8_t> WriteStandardXm(const Score& score, const std::vector<SynthSample>& samples);
