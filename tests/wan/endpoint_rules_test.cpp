// The count box's text as a count, the MaxWanEndpoints rule and the ComponentId comparison.
#include "endpoint_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(EndpointRules, CountTextReadsAsSignedDecimalTakenUnsigned) {
    struct Case {
        const wchar_t* text;
        std::uint32_t count;
    };
    const Case cases[] = {
        {L"2", 2},
        {L"150", 150},
        {L"", 0},
        {L"0", 0},
        {L"007", 7},
        {L"+7", 7},
        {L"  -5x", 4294967291u}, // blanks, sign, stop at 'x'; -5 taken unsigned
        {L"\t\r\n 12", 12},      // every C blank is skipped
        {L"-1", 4294967295u},
        {L"12ab34", 12}, // digits end at the first other character
        {L"abc", 0},     // no digits
        {L"-", 0},
        {L"+-3", 0},                  // one sign only
        {L"- 3", 0},                  // no blank between sign and digits
        {L"2147483647", 2147483647u}, // the largest signed value
        {L"2147483648", 2147483647u}, // one beyond saturates
        {L"99999999999", 2147483647u},
        {L"99999999999999999999999999", 2147483647u},
        {L"-2147483648", 2147483648u}, // the smallest signed value
        {L"-2147483649", 2147483648u},
        {L"-99999999999", 2147483648u},
        {L"\x0663", 0}, // digits of other scripts are not digits
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EndpointCountFromText(c.text), c.count)
            << std::string(c.text, c.text + std::char_traits<wchar_t>::length(c.text));
    }
}

TEST(EndpointRules, MaxWanEndpointsIsThreeUpToThreeThenTheCount) {
    const std::uint32_t cases[][2] = {
        {0, 3},
        {1, 3},
        {2, 3},
        {3, 3},
        {4, 4},
        {10, 10},
        {150, 150},
        {2147483647u, 2147483647u},
        {4294967291u, 4294967291u}, // unsigned: "-5" is above 3
    };
    for (const auto& c : cases) EXPECT_EQ(MaxEndpointsFor(c[0]), c[1]) << c[0];
}

TEST(EndpointRules, OnlyTheExactLowerCaseIdNamesThePppoeMiniport) {
    struct Case {
        std::wstring units; // the data read, terminators included
        bool matches;
    };
    const std::wstring id = L"ms_pppoeminiport";
    const Case cases[] = {
        {id + L'\0', true},
        {id, true},                   // stored without a terminator
        {id + L'\0' + L"junk", true}, // what follows the terminator is not the text
        {L"MS_PPPOEMINIPORT" + std::wstring(1, L'\0'), false},
        {L"Ms_PppoeMiniport" + std::wstring(1, L'\0'), false},
        {id + L" " + L'\0', false},
        {id + L"x", false},
        {L"ms_pppoeminipor" + std::wstring(1, L'\0'), false},
        {L"ms_pppoeminipor", false}, // cut short by the end of the data
        {std::wstring(1, L'\0'), false},
        {L"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsPppoeMiniportId(c.units.data(), c.units.size()), c.matches)
            << std::string(c.units.begin(), c.units.end());
    }
}

TEST(EndpointRules, IdComparisonLooksAtNoUnitBeyondTheDataRead) {
    // The units after the count are the rest of the id, but they were not read.
    const wchar_t buffer[] = L"ms_pppoeminiport";
    for (std::size_t count = 0; count < 16; ++count) {
        EXPECT_FALSE(IsPppoeMiniportId(buffer, count)) << count;
    }
}

} // namespace
