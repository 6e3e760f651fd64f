// The pure rules of connection creation: the packed address conversion and the changes made
// to an entry read back from the phonebook.
#include "connection.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

bool SameAddress(RASIPADDR left, RASIPADDR right) {
    return left.a == right.a && left.b == right.b && left.c == right.c && left.d == right.d;
}

TEST(AddressConversion, FirstDottedFieldComesFromTheTopByte) {
    const struct {
        DWORD packed;
        RASIPADDR address;
    } cases[] = {
        {0xC0000235u, {192, 0, 2, 53}},      {0xC6336407u, {198, 51, 100, 7}},
        {0x00000000u, {0, 0, 0, 0}}, // a blank box
        {0xFFFFFFFFu, {255, 255, 255, 255}}, {0x01020304u, {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        RASIPADDR address = RasIpAddressFromPacked(c.packed);
        EXPECT_TRUE(SameAddress(address, c.address))
            << std::hex << c.packed << " gave " << int(address.a) << "." << int(address.b) << "."
            << int(address.c) << "." << int(address.d);
    }
}

// An entry with every bit set and recognisable bytes elsewhere, so that any stray change shows.
RASENTRYW FilledEntry(DWORD options, DWORD protocols) {
    RASENTRYW entry;
    std::memset(&entry, 0x5A, sizeof entry);
    entry.dwSize = sizeof entry;
    entry.dwfOptions = options;
    entry.dwfNetProtocols = protocols;
    return entry;
}

TEST(EntryChanges, ClearOrSetOnlyTheBitsAndAddressesAskedFor) {
    const RASIPADDR dns{192, 0, 2, 53};
    const RASIPADDR alt{198, 51, 100, 7};
    const DWORD gateway = RASEO_RemoteDefaultGateway;
    const DWORD servers = RASEO_SpecificNameServers;
    const DWORD other = RASEO_IpHeaderCompression | RASEO_SwCompression;
    const DWORD ip = RASNP_Ip;
    const DWORD ipv6 = RASNP_Ipv6;
    const struct {
        const char* what;
        DWORD options, protocols;
        bool keepGateway, disableIpv6, setDns;
        DWORD wantOptions, wantProtocols;
    } cases[] = {
        {"nothing asked", gateway | other, ip | ipv6, true, false, false, gateway | other,
         ip | ipv6},
        {"internet, IPv6 off", gateway | other, ip | ipv6, true, true, false, gateway | other, ip},
        {"local, fixed DNS", gateway | other, ip | ipv6, false, false, true, servers | other,
         ip | ipv6},
        {"everything", gateway | other, ip | ipv6, false, true, true, servers | other, ip},
        {"bits already clear", other, ip, false, true, false, other, ip},
        {"servers already set", servers | gateway, ip, true, false, true, servers | gateway, ip},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RASENTRYW entry = FilledEntry(c.options, c.protocols);
        RASENTRYW expected = FilledEntry(c.wantOptions, c.wantProtocols);
        if (c.setDns) {
            expected.ipaddrDns = dns;
            expected.ipaddrDnsAlt = alt;
        }
        ChangeEntry(&entry, c.keepGateway, c.disableIpv6, c.setDns, dns, alt);
        EXPECT_EQ(entry.dwfOptions, expected.dwfOptions);
        EXPECT_EQ(entry.dwfNetProtocols, expected.dwfNetProtocols);
        // Both records were filled byte for byte, padding included, so bytes compare fairly.
        // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
        EXPECT_EQ(std::memcmp(&entry, &expected, sizeof entry), 0) << "another field changed";
    }
}

} // namespace
