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
// assigned by the server.
PhonebookEntry NewBroadbandEntry(const std::wstring& name);
// Looks the entry up in the default phonebook.
bool FindEntry(const std::wstring& name, PhonebookEntry* entry);
// Adds the entry to the default phonebook or replaces the one of the same name; 0 or a RAS
// error code.
DWORD StoreEntry(const PhonebookEntry& entry);
// Stores (or, with clear, removes) the masked items of the credentials for an existing entry;
// 0 or a RAS error code.
DWORD StoreCredentials(const std::wstring& entryName, const RASCREDENTIALSW& credentials,
                       bool clear);

// The entry's section in the phonebook and back.
IniSection SectionFromEntry(const PhonebookEntry& entry);
PhonebookEntry EntryFromSection(const IniSection& section);
// The entry as the RAS structure (dwSize set, unkept fields zero) and back.
void FillRasEntry(const PhonebookEntry& entry, RASENTRYW* rasEntry);
PhonebookEntry EntryFromRasEntry(const std::wstring& name, const RASENTRYW& rasEntry);
