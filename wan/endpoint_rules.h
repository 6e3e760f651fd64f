// The endpoint settings' rules that need no system: the count box's text as a count, the
// MaxWanEndpoints that goes with a count, and which ComponentId names the PPPoE miniport.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads `text` as a signed 32-bit decimal number: leading blanks and one sign are accepted, the
// digits end at the first other character, no digits give 0, and a number beyond the range gives
// the nearest limit. The signed result is returned as the unsigned 32-bit count ("-1" is
// 4294967295).
std::uint32_t EndpointCountFromText(const wchar_t* text);

// MaxWanEndpoints to be written with `wanEndpoints`: the count itself above 3, otherwise 3.
std::uint32_t MaxEndpointsFor(std::uint32_t wanEndpoints);

// Whether a ComponentId read as `count` UTF-16 units is exactly "ms_pppoeminiport"
// (case-sensitive). The text ends at its first terminator or, when it has none, at the end of
// the data read; nothing beyond `count` units is looked at.
bool IsPppoeMiniportId(const wchar_t* units, std::size_t count);
