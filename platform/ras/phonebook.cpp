// The stand-in's phonebook entries and credential store: where they live, how an entry maps to
// its section's keys and to RASENTRYW, and the reads and writes the RAS functions make.
#include "phonebook.h"

#include <raserror.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>

namespace {

// The entry record's size by Windows version, newest first: the first version the system
// reaches gives the size; older systems have the XP layout.
const struct {
    DWORD major;
    DWORD minor;
    DWORD size;
} kEntrySizes[] = {
    {10, 0, 6724}, // Windows 10 and 11
    {6, 1, 5680},  // Windows 7, 8 and 8.1
    {6, 0, 5656},  // Windows Vista and Server 2008
};

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);

// The version the system reports; zeros when it does not answer.
OSVERSIONINFOW SystemVersion() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    FARPROC proc = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    // A function found by name is cast to its own type through the generic function type.
    if (proc != nullptr)
        reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void (*)()>(proc))(&info);
    return info;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

std::wstring HexText(const std::vector<BYTE>& bytes) {
    const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (BYTE byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

// The bytes of a hexadecimal text, up to its first pair that is not two digits.
std::vector<BYTE> HexBytes(const std::wstring& text) {
    std::vector<BYTE> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        int high = HexDigit(text[i]);
        int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) break;
        bytes.push_back(static_cast<BYTE>(high * 16 + low));
    }
    return bytes;
}

// The option bits an entry keeps, each under the key the system's phonebook gives it.
const struct {
    const wchar_t* key;
    DWORD bit;
} kOptionKeys[] = {
    {L"IpPrioritizeRemote", RASEO_RemoteDefaultGateway},
    {L"IpHeaderCompression", RASEO_IpHeaderCompression},
    {L"SwCompression", RASEO_SwCompression},
    {L"PreviewUserPw", RASEO_PreviewUserPw},
    {L"ShowDialingProgress", RASEO_ShowDialingProgress},
    {L"ShowMonitorIconInTaskBar", RASEO_ModemLights},
};
const DWORD kKnownProtocols = RASNP_NetBEUI | RASNP_Ipx | RASNP_Ip | RASNP_Ipv6;
// IpNameAssign: 1 when the server assigns the name servers, 2 for the entry's own.
const wchar_t kServerAssigned[] = L"1";
const wchar_t kSpecificServers[] = L"2";

std::wstring PhonebookFolder() {
    wchar_t appData[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData);
    std::wstring folder = std::wstring(appData) + L"\\Microsoft\\Network\\Connections\\Pbk";
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return folder;
}

bool HasControlCharacters(const std::wstring& text) {
    for (wchar_t c : text)
        if (c < L' ') return true;
    return false;
}

const std::wstring* FindKey(const IniSection& section, const wchar_t* key) {
    for (const auto& pair : section.keys)
        if (_wcsicmp(pair.first.c_str(), key) == 0) return &pair.second;
    return nullptr;
}

DWORD NumberOf(const IniSection& section, const wchar_t* key) {
    const std::wstring* value = FindKey(section, key);
    return value ? static_cast<DWORD>(wcstoul(value->c_str(), nullptr, 10)) : 0;
}

std::wstring TextOf(const IniSection& section, const wchar_t* key) {
    const std::wstring* value = FindKey(section, key);
    return value ? *value : std::wstring();
}

std::wstring AddressText(RASIPADDR address) {
    wchar_t text[16];
    swprintf(text, 16, L"%u.%u.%u.%u", address.a, address.b, address.c, address.d);
    return text;
}

// A dotted address; anything that is not four fields of 0 to 255 reads as 0.0.0.0.
RASIPADDR AddressOf(const IniSection& section, const wchar_t* key) {
    RASIPADDR address = {};
    unsigned field[4];
    wchar_t rest = 0;
    std::wstring text = TextOf(section, key);
    if (swscanf(text.c_str(), L"%u.%u.%u.%u%lc", &field[0], &field[1], &field[2], &field[3],
                &rest) == 4 &&
        field[0] < 256 && field[1] < 256 && field[2] < 256 && field[3] < 256) {
        address.a = static_cast<BYTE>(field[0]);
        address.b = static_cast<BYTE>(field[1]);
        address.c = static_cast<BYTE>(field[2]);
        address.d = static_cast<BYTE>(field[3]);
    }
    return address;
}

// A fixed-size string field of a RAS structure, up to its terminator or its end.
template <size_t N> std::wstring FieldText(const WCHAR (&field)[N]) {
    return std::wstring(field, wcsnlen(field, N));
}

template <size_t N> void CopyField(WCHAR (&field)[N], const std::wstring& text) {
    wcsncpy(field, text.c_str(), N - 1);
    field[N - 1] = L'\0';
}

IniSection* FindSection(std::vector<IniSection>& sections, const std::wstring& name) {
    for (IniSection& section : sections)
        if (_wcsicmp(section.name.c_str(), name.c_str()) == 0) return &section;
    return nullptr;
}

void SetKey(IniSection& section, const wchar_t* key, const std::wstring& value) {
    for (auto& pair : section.keys) {
        if (_wcsicmp(pair.first.c_str(), key) == 0) {
            pair.second = value;
            return;
        }
    }
    section.keys.emplace_back(key, value);
}

void RemoveKey(IniSection& section, const wchar_t* key) {
    for (auto it = section.keys.begin(); it != section.keys.end(); ++it) {
        if (_wcsicmp(it->first.c_str(), key) == 0) {
            section.keys.erase(it);
            return;
        }
    }
}

} // namespace

DWORD EntryRecordSize() {
    const OSVERSIONINFOW version = SystemVersion();
    for (const auto& layout : kEntrySizes) {
        if (version.dwMajorVersion > layout.major ||
            (version.dwMajorVersion == layout.major && version.dwMinorVersion >= layout.minor))
            return layout.size;
    }
    return kXpEntrySize;
}

std::vector<BYTE> NewEntryTail(size_t size) {
    std::vector<BYTE> tail(size);
    for (size_t i = 0; i < size; ++i) tail[i] = static_cast<BYTE>(i % 251 + 1);
    return tail;
}

std::wstring DefaultPhonebookPath() {
    return PhonebookFolder() + L"\\rasphone.pbk";
}

std::wstring CredentialStorePath() {
    return PhonebookFolder() + L"\\credentials.ini";
}

bool IsValidEntryName(const std::wstring& name) {
    return !name.empty() && name.size() <= RAS_MaxEntryName && name[0] != L'.' &&
           !HasControlCharacters(name);
}

PhonebookEntry NewBroadbandEntry(const std::wstring& name) {
    PhonebookEntry entry = {};
    entry.name = name;
    entry.type = RASET_Broadband;
    entry.deviceType = L"PPPoE";
    entry.deviceName = L"WAN Miniport (PPPoE)";
    for (const auto& option : kOptionKeys) entry.options |= option.bit;
    entry.netProtocols = RASNP_Ip | RASNP_Ipv6;
    entry.tail = NewEntryTail(EntryRecordSize() - kXpEntrySize);
    return entry;
}

IniSection SectionFromEntry(const PhonebookEntry& entry) {
    IniSection section{entry.name, {}};
    section.keys.emplace_back(L"Encoding", L"1");
    section.keys.emplace_back(L"Type", std::to_wstring(entry.type));
    section.keys.emplace_back(L"DeviceType", entry.deviceType);
    section.keys.emplace_back(L"Device", entry.deviceName);
    for (const auto& option : kOptionKeys)
        section.keys.emplace_back(option.key, (entry.options & option.bit) ? L"1" : L"0");
    section.keys.emplace_back(L"IpNameAssign", (entry.options & RASEO_SpecificNameServers)
                                                   ? kSpecificServers
                                                   : kServerAssigned);
    section.keys.emplace_back(L"IpDnsAddress", AddressText(entry.dns));
    section.keys.emplace_back(L"IpDns2Address", AddressText(entry.dnsAlt));
    section.keys.emplace_back(L"ExcludedProtocols",
                              std::to_wstring(kKnownProtocols & ~entry.netProtocols));
    if (entry.tail != NewEntryTail(entry.tail.size()))
        section.keys.emplace_back(L"Tail", HexText(entry.tail));
    return section;
}

PhonebookEntry EntryFromSection(const IniSection& section) {
    PhonebookEntry entry = {};
    entry.name = section.name;
    entry.type = NumberOf(section, L"Type");
    entry.deviceType = TextOf(section, L"DeviceType");
    entry.deviceName = TextOf(section, L"Device");
    for (const auto& option : kOptionKeys)
        if (NumberOf(section, option.key) != 0) entry.options |= option.bit;
    if (TextOf(section, L"IpNameAssign") == kSpecificServers)
        entry.options |= RASEO_SpecificNameServers;
    entry.dns = AddressOf(section, L"IpDnsAddress");
    entry.dnsAlt = AddressOf(section, L"IpDns2Address");
    entry.netProtocols = kKnownProtocols & ~NumberOf(section, L"ExcludedProtocols");
    entry.tail = NewEntryTail(EntryRecordSize() - kXpEntrySize);
    const std::vector<BYTE> stored = HexBytes(TextOf(section, L"Tail"));
    std::copy_n(stored.begin(), std::min(stored.size(), entry.tail.size()), entry.tail.begin());
    return entry;
}

void FillRasEntry(const PhonebookEntry& entry, RASENTRYW* rasEntry) {
    ZeroMemory(rasEntry, kXpEntrySize);
    rasEntry->dwSize = static_cast<DWORD>(kXpEntrySize + entry.tail.size());
    rasEntry->dwfOptions = entry.options;
    rasEntry->ipaddrDns = entry.dns;
    rasEntry->ipaddrDnsAlt = entry.dnsAlt;
    rasEntry->dwfNetProtocols = entry.netProtocols;
    rasEntry->dwFramingProtocol = RASFP_Ppp;
    rasEntry->dwType = entry.type;
    CopyField(rasEntry->szDeviceType, entry.deviceType);
    CopyField(rasEntry->szDeviceName, entry.deviceName);
    std::copy(entry.tail.begin(), entry.tail.end(),
              reinterpret_cast<BYTE*>(rasEntry) + kXpEntrySize);
}

PhonebookEntry EntryFromRasEntry(const std::wstring& name, const RASENTRYW& rasEntry) {
    PhonebookEntry entry = {};
    entry.name = name;
    entry.type = rasEntry.dwType;
    entry.deviceType = FieldText(rasEntry.szDeviceType);
    entry.deviceName = FieldText(rasEntry.szDeviceName);
    entry.options = rasEntry.dwfOptions;
    entry.netProtocols = rasEntry.dwfNetProtocols;
    entry.dns = rasEntry.ipaddrDns;
    entry.dnsAlt = rasEntry.ipaddrDnsAlt;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&rasEntry);
    if (rasEntry.dwSize > kXpEntrySize)
        entry.tail.assign(bytes + kXpEntrySize, bytes + rasEntry.dwSize);
    return entry;
}

bool FindEntry(const std::wstring& name, PhonebookEntry* entry) {
    std::vector<IniSection> sections = ReadIniFile(DefaultPhonebookPath());
    const IniSection* section = FindSection(sections, name);
    if (section == nullptr) return false;
    *entry = EntryFromSection(*section);
    return true;
}

DWORD StoreEntry(const PhonebookEntry& entry) {
    if (!IsValidEntryName(entry.name)) return ERROR_INVALID_NAME;
    if (HasControlCharacters(entry.deviceType) || HasControlCharacters(entry.deviceName))
        return ERROR_INVALID_PARAMETER;
    std::wstring path = DefaultPhonebookPath();
    std::vector<IniSection> sections = ReadIniFile(path);
    IniSection* section = FindSection(sections, entry.name);
    if (section != nullptr)
        *section = SectionFromEntry(entry);
    else
        sections.push_back(SectionFromEntry(entry));
    return WriteIniFile(path, sections) ? 0 : ERROR_CANNOT_WRITE_PHONEBOOK;
}

DWORD StoreCredentials(const std::wstring& entryName, const RASCREDENTIALSW& credentials,
                       bool clear) {
    PhonebookEntry entry;
    if (!FindEntry(entryName, &entry)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    const struct {
        DWORD mask;
        const wchar_t* key;
        std::wstring value;
    } items[] = {
        {RASCM_UserName, L"UserName", FieldText(credentials.szUserName)},
        {RASCM_Password, L"Password", FieldText(credentials.szPassword)},
        {RASCM_Domain, L"Domain", FieldText(credentials.szDomain)},
    };
    std::wstring path = CredentialStorePath();
    std::vector<IniSection> sections = ReadIniFile(path);
    IniSection* section = FindSection(sections, entry.name);
    if (section == nullptr) {
        sections.push_back(IniSection{entry.name, {}});
        section = &sections.back();
    }
    for (const auto& item : items) {
        if (!(credentials.dwMask & item.mask)) continue;
        if (!clear && HasControlCharacters(item.value)) return ERROR_INVALID_PARAMETER;
        if (clear)
            RemoveKey(*section, item.key);
        else
            SetKey(*section, item.key, item.value);
    }
    return WriteIniFile(path, sections) ? 0 : ERROR_CANNOT_WRITE_PHONEBOOK;
}
