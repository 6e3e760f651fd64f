// The count box's text as a count, the MaxWanEndpoints rule and the adapter's ComponentId.
#include "endpoint_rules.h"

namespace {

const wchar_t kPppoeMiniportId[] = L"ms_pppoeminiport";

// The blanks the conversion skips before the number: the C white-space characters.
bool IsBlank(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

} // namespace

std::uint32_t EndpointCountFromText(const wchar_t* text) {
    // 1. Leading blanks, then an optional sign.
    while (IsBlank(*text)) ++text;
    const bool negative = *text == L'-';
    if (*text == L'-' || *text == L'+') ++text;
    // 2. The digits up to the first other character; the magnitude saturates one step beyond the
    // larger limit, so it never overflows.
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        magnitude = magnitude * 10 + (*text - L'0');
        if (magnitude > limit) magnitude = limit;
    }
    // 3. The signed value, taken as an unsigned count.
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
}

std::uint32_t MaxEndpointsFor(std::uint32_t wanEndpoints) {
    return wanEndpoints > 3 ? wanEndpoints : 3;
}

bool IsPppoeMiniportId(const wchar_t* units, std::size_t count) {
    std::size_t i = 0;
    for (; kPppoeMiniportId[i] != L'\0'; ++i) {
        if (i == count || units[i] != kPppoeMiniportId[i]) return false;
    }
    return i == count || units[i] == L'\0';
}
