// Per-tick shaping of a note by its instrument: volume and panning envelopes (16.16 fixed
// point), fade-out after key-off, and the instrument's automatic vibrato.
#pragma once

#include "player_state.h"

// One tick of the volume envelope (which = UpdateVolume) or the panning envelope (which =
// UpdatePanning); sets `which` in the channel's flags. Safe for any point count and indices.
void AdvanceEnvelope(Channel& channel, const Instrument& instrument, uint8_t which);

// One tick of fade-out: fadeoutVolume falls by the instrument's fadeout, not below 0.
void ApplyFadeout(Channel& channel, const Instrument& instrument);

// Adds this tick's auto-vibrato to periodOffset, moves its sweep and phase on, sets UpdatePitch.
void ApplyAutoVibrato(Channel& channel, const Instrument& instrument);

// Moves the volume envelope to tick `tick` (effect Lxx); the panning envelope stays.
void SetVolumeEnvelopePosition(Channel& channel, const Instrument& instrument, int32_t tick);
