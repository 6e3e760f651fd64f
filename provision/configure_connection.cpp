// Tuning a connection after the wizard: the stored credentials before Vista, then the entry
// read back, changed (default gateway, IPv6, name servers) and written again.
#include "connection.h"
#include "wizard_boxes.h"

#include <lmcons.h>
#include <raserror.h>

#include "windows_version.h"

// The credential record as the system lays it out: 1068 bytes on every build.
static_assert(sizeof(RASCREDENTIALSW) == 1068, "the credential record is 1068 bytes");
// The entry record the program knows is Windows XP's; later systems report larger records that
// begin with it, and the program changes fields of that beginning only.
static_assert(sizeof(RASENTRYW) == 5616, "the entry record is the Windows XP layout");

namespace {

// Stores the user name and password with the entry; the system's answer is not examined.
void StoreCredentials(const wchar_t* entryName, const wchar_t* userName, const wchar_t* password) {
    HANDLE heap = GetProcessHeap();
    RASCREDENTIALSW* credentials =
        static_cast<RASCREDENTIALSW*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(RASCREDENTIALSW)));
    if (credentials == nullptr) {
        ShowHeapFailure();
        return;
    }
    credentials->dwSize = sizeof(RASCREDENTIALSW);
    lstrcpynW(credentials->szUserName, userName, UNLEN + 1);
    lstrcpynW(credentials->szPassword, password, PWLEN + 1);
    credentials->dwMask = RASCM_UserName | RASCM_Password;
    RasSetCredentialsW(nullptr, entryName, credentials, FALSE);
    HeapFree(heap, 0, credentials);
}

void ShowReadFailure(DWORD code) {
    ShowWizardCodeBox(L"RasGetEntryProperties failed: Код ошибки = %d", code, MB_ICONERROR);
}

// Reads the entry into a process-heap buffer of the byte count the system reports, which
// becomes its dwSize and goes to `byteCount`; bytes past the XP layout travel back to the system
// as it gave them. A count smaller than RASENTRYW, a buffer that cannot be had or a failed read
// shows its box and gives null: nothing is then written.
RASENTRYW* ReadEntry(const wchar_t* entryName, DWORD* byteCount) {
    DWORD count = 0;
    DWORD result = RasGetEntryPropertiesW(nullptr, entryName, nullptr, &count, nullptr, nullptr);
    if (count < sizeof(RASENTRYW)) {
        bool sizeOnly = result == 0 || result == ERROR_BUFFER_TOO_SMALL;
        ShowReadFailure(sizeOnly ? ERROR_INVALID_SIZE : result);
        return nullptr;
    }
    HANDLE heap = GetProcessHeap();
    RASENTRYW* entry = static_cast<RASENTRYW*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, count));
    if (entry == nullptr) {
        ShowHeapFailure();
        return nullptr;
    }
    entry->dwSize = count;
    DWORD size = count;
    result = RasGetEntryPropertiesW(nullptr, entryName, entry, &size, nullptr, nullptr);
    if (result != 0) {
        ShowReadFailure(result);
        HeapFree(heap, 0, entry);
        return nullptr;
    }
    *byteCount = count;
    return entry;
}

} // namespace

RASIPADDR RasIpAddressFromPacked(DWORD packed) {
    RASIPADDR address;
    address.a = static_cast<BYTE>(packed >> 24);
    address.b = static_cast<BYTE>(packed >> 16);
    address.c = static_cast<BYTE>(packed >> 8);
    address.d = static_cast<BYTE>(packed);
    return address;
}

void ChangeEntry(RASENTRYW* entry, bool keepDefaultGateway, bool disableIpv6, bool setDnsServers,
                 RASIPADDR dns, RASIPADDR dnsAlt) {
    if (!keepDefaultGateway) entry->dwfOptions &= ~static_cast<DWORD>(RASEO_RemoteDefaultGateway);
    if (disableIpv6) entry->dwfNetProtocols &= ~static_cast<DWORD>(RASNP_Ipv6);
    if (setDnsServers) {
        entry->dwfOptions |= RASEO_SpecificNameServers;
        entry->ipaddrDns = dns;
        entry->ipaddrDnsAlt = dnsAlt;
    }
}

int ConfigureConnection(const wchar_t* proposedName, const wchar_t* userName,
                        const wchar_t* password, bool keepDefaultGateway, bool disableIpv6,
                        bool setDnsServers, RASIPADDR dns, RASIPADDR dnsAlt) {
    wchar_t entryName[RAS_MaxEntryName + 1] = {};
    bool created = false;
    RunEntryWizard(proposedName, entryName, &created);
    if (!created) return 0;
    if (!IsWindowsVistaOrLater()) StoreCredentials(entryName, userName, password);
    DWORD byteCount = 0;
    RASENTRYW* entry = ReadEntry(entryName, &byteCount);
    if (entry == nullptr) return 0;
    ChangeEntry(entry, keepDefaultGateway, disableIpv6, setDnsServers, dns, dnsAlt);
    RasSetEntryPropertiesW(nullptr, entryName, entry, byteCount, nullptr, 0);
    HeapFree(GetProcessHeap(), 0, entry);
    return 0;
}
