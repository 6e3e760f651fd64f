// The stand-in's phonebook: broadband entries and their stored credentials, kept as INI-style
// UTF-8 text in the per-user phonebook folder (entries in rasphone.pbk, credentials apart).
#pragma once

#include <windows.h>
#include <ras.h>

#include <string>
#include <utility>
#include <vector>

#ifndef RASNP_Ipv6
#define RASNP_Ipv6 0x00000008
#endif

// One [section] of an INI-style file with its keys in file order.
struct IniSection {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> keys;
};

// The entry record is served as the system of the prefix's Windows version lays it out: the
// Windows XP RASENTRYW (the one these headers declare), followed from Vista on by the later
// versions' fields, which the stand-in keeps as opaque bytes (the tail).
const DWORD kXpEntrySize = 5616;
static_assert(sizeof(RASENTRYW) == kXpEntrySize, "RASENTRYW is the Windows XP layout");

// The RASENTRYW size of the Windows version the system reports: 5,616 bytes up to Server 2003,
// 5,656 on Vista, 5,680 on 7 and 8.x, 6,724 from 10 on. The version comes from RtlGetVersion,
// which reports what the prefix is set to; GetVersionExW would say 6.2 on 8.1 and later to a
// program whose manifest does not name those versions, while the system's own RAS knows its
// true version.
DWORD EntryRecordSize();

// The fields of an entry that the stand-in keeps.
struct PhonebookEntry {
    std::wstring name;
    DWORD type;
    std::wstring deviceType;
    std::wstring deviceName;
    DWORD options;      // RASEO_* bits; only those of the phonebook's key table survive a store
    DWORD netProtocols; // RASNP_* bits
    RASIPADDR dns;
    RASIPADDR dnsAlt;
    std::vector<BYTE> tail; // the record's bytes past the XP layout, as the caller left them
};

// Reads an INI-style file; a missing or unreadable file gives no sections.
std::vector<IniSection> ReadIniFile(const std::wstring& path);
// Writes the sections, replacing the file; false when it cannot be written.
bool WriteIniFile(const std::wstring& path, const std::vector<IniSection>& sections);

// %APPDATA%\Microsoft\Network\Connections\Pbk\rasphone.pbk, its folder created when missing.
std::wstring DefaultPhonebookPath();
// The credential store beside the phonebook: one section per entry name.
std::wstring CredentialStorePath();

// True when a name can be an entry: 1 to RAS_MaxEntryName characters, no control characters,
// not starting with a dot.
bool IsValidEntryName(const std::wstring& name);
// The entry a broadband wizard creates: PPPoE, remote default gateway, IPv4 and IPv6, DNS
// assigned by the server, and the tail of a new entry for the running version.
PhonebookEntry NewBroadbandEntry(const std::wstring& name);
// The tail of a new entry: `size` bytes of a fixed pattern without zeros, so that a caller
// that clears or moves them shows.
std::vector<BYTE> NewEntryTail(size_t size);
// Looks the entry up in the default phonebook.
bool FindEntry(const std::wstring& name, PhonebookEntry* entry);
// Adds the entry to the default phonebook or replaces the one of the same name; 0 or a RAS
// error code.
DWORD StoreEntry(const PhonebookEntry& entry);
// Stores (or, with clear, removes) the masked items of the credentials for an existing entry;
// 0 or a RAS error code.
DWORD StoreCredentials(const std::wstring& entryName, const RASCREDENTIALSW& credentials,
                       bool clear);

// The entry's section in the phonebook and back. A tail that differs from a new entry's is kept
// under the key Tail in hexadecimal; a section gives the running version's tail, its stored
// bytes over a new entry's.
IniSection SectionFromEntry(const PhonebookEntry& entry);
PhonebookEntry EntryFromSection(const IniSection& section);
// The entry as the RAS structure, tail included, in the kXpEntrySize + tail bytes at `rasEntry`
// (dwSize set to that count, unkept fields zero), and back from a record of dwSize bytes.
void FillRasEntry(const PhonebookEntry& entry, RASENTRYW* rasEntry);
PhonebookEntry EntryFromRasEntry(const std::wstring& name, const RASENTRYW& rasEntry);
