// The promises the loaded records make to the sequencer, envelopes and mixer, checked.
#pragma once

#include <string>

// Empty when the records of the module last loaded into gPlayer keep every promise the player
// relies on (counts in range, cells naming existing instruments, envelope indices inside their
// 12 points, loops and the guard frame inside each sample's slots, the zero frame before frame
// 0); otherwise a text naming the first broken one. Reads every frame slot of every sample, so
// that a memory checker sees any block that is too small.
std::string BrokenRecordPromise();
