// Small XM images for tests: a one-pattern module to start from, cells and sample data in their
// stored forms, and loading a description the way the player does. Each edge case is then a few
// lines that change one field of the description (see xm_writer.h for every field).
#pragma once

#include "module_image.h"
#include "xm_writer.h"

#include <initializer_list>
#include <string>
#include <vector>

// 4 channels, one stored pattern of 64 empty rows, order table {0}, no instruments.
XmModulePlan MinimalModule(XmLayout layout = XmLayout::Standard);

// A pattern of `rows` rows holding `cells` (row by row, channel 0 first) in the usual packing.
XmPatternPlan PatternOf(uint16_t rows, const std::vector<Cell>& cells);

// Samples whose stored data decodes to `values`: 8-bit values (-128..127, frames value x 256) or
// 16-bit values. The Sample length field is the data's byte count; `type` gives loop and width.
XmSamplePlan Sample8(std::initializer_list<int> values);
XmSamplePlan Sample16(std::initializer_list<int> values);
// A sample of `count` 8-bit frames following a simple rising and falling ramp.
XmSamplePlan RampSample8(uint32_t count);

// 4-bit packed data of `frames` frames: the 16-step table and the index pairs as stored.
XmSamplePlan PackedSample(uint32_t frames, const std::vector<int8_t>& table,
                          const std::vector<uint8_t>& pairs);

// An instrument holding `samples`, all notes mapped to sample 0.
XmInstrumentPlan InstrumentWith(std::vector<XmSamplePlan> samples);

// Every feature of the format in a few hundred bytes: patterns 0 and 1 stored, 3 named only by
// the order table {0, 1, 3}; instrument 1 without samples; instrument 2 with an envelope,
// vibrato, fade-out and nine samples: 64-frame 8-bit ramps with no loop, a forward, a ping-pong
// and a type 3 loop over frames 4..23; a 16-bit ping-pong sample; 11-frame packed samples with
// no loop, a forward and a ping-pong loop over frames 2..6, and a forward loop to the end.
XmModulePlan EveryFeatureModule(XmLayout layout = XmLayout::Standard);

// EveryFeatureModule with three more instruments, as size-conscious releases leave them before
// they cut the empty tail off the file: a third with one 300-frame sample, a fourth and a fifth
// without samples, all five named "instrument N". When `named`, one cell of pattern 0 names the
// third; otherwise no cell names it or the two behind it.
XmModulePlan TailModule(bool named);

// The image of `plan` ending `bytes` bytes into instrument `number` (counted from 1).
std::string CutInsideInstrument(const XmModulePlan& plan, size_t number, size_t bytes);

// Writes the description and loads it with ReadModuleImage; the records stay in gPlayer.
int LoadPlan(const XmModulePlan& plan);

// Loads the description and tells why it did not load (None when it did).
LoadFailure LoadPlanFailure(const XmModulePlan& plan);
