// Stand-in rasapi32.dll for running the program under Wine: reading and writing the properties
// of a phonebook entry, with the size protocol and the record size of the system version the
// prefix reports, and storing credentials. Only the default phonebook (no phonebook path) is
// served, and only the running version's record size is accepted.
#include "phonebook.h"

#include <raserror.h>

namespace {

// The byte count an entry needs: the running version's record alone (broadband entries carry
// no alternate numbers). LINKMEND_RAS_ENTRY_SIZE replaces it, so tests can see how a caller
// copes with an odd count; the record itself keeps the version's size.
DWORD EntryByteCount(DWORD recordSize) {
    wchar_t text[16] = {};
    DWORD length = GetEnvironmentVariableW(L"LINKMEND_RAS_ENTRY_SIZE", text, 16);
    if (length > 0 && length < 16) return wcstoul(text, nullptr, 10);
    return recordSize;
}

} // namespace

extern "C" DWORD WINAPI RasGetEntryPropertiesW(LPCWSTR phonebook, LPCWSTR entryName,
                                               LPRASENTRYW rasEntry, LPDWORD entrySize,
                                               LPBYTE deviceInfo, LPDWORD deviceInfoSize) {
    (void)deviceInfo;
    if (phonebook != nullptr) return ERROR_CANNOT_OPEN_PHONEBOOK;
    if (entrySize == nullptr) return ERROR_INVALID_PARAMETER;
    PhonebookEntry entry;
    if (entryName == nullptr || !FindEntry(entryName, &entry))
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (deviceInfoSize != nullptr) *deviceInfoSize = 0;
    const DWORD recordSize = EntryRecordSize();
    DWORD needed = EntryByteCount(recordSize);
    if (rasEntry == nullptr || *entrySize < needed) {
        *entrySize = needed;
        return ERROR_BUFFER_TOO_SMALL;
    }
    if (rasEntry->dwSize != recordSize) return ERROR_INVALID_SIZE;
    if (*entrySize < recordSize) return ERROR_BUFFER_TOO_SMALL;
    FillRasEntry(entry, rasEntry);
    *entrySize = needed;
    return 0;
}

extern "C" DWORD WINAPI RasSetEntryPropertiesW(LPCWSTR phonebook, LPCWSTR entryName,
                                               LPRASENTRYW rasEntry, DWORD entrySize,
                                               LPBYTE deviceInfo, DWORD deviceInfoSize) {
    (void)deviceInfo;
    (void)deviceInfoSize;
    if (phonebook != nullptr) return ERROR_CANNOT_OPEN_PHONEBOOK;
    if (rasEntry == nullptr || entryName == nullptr) return ERROR_BUFFER_INVALID;
    if (rasEntry->dwSize != EntryRecordSize()) return ERROR_INVALID_SIZE;
    if (entrySize < rasEntry->dwSize) return ERROR_BUFFER_INVALID;
    return StoreEntry(EntryFromRasEntry(entryName, *rasEntry));
}

extern "C" DWORD WINAPI RasSetCredentialsW(LPCWSTR phonebook, LPCWSTR entryName,
                                           LPRASCREDENTIALSW credentials, BOOL clear) {
    if (phonebook != nullptr) return ERROR_CANNOT_OPEN_PHONEBOOK;
    if (credentials == nullptr || entryName == nullptr) return ERROR_INVALID_PARAMETER;
    if (credentials->dwSize != sizeof(RASCREDENTIALSW)) return ERROR_INVALID_SIZE;
    return StoreCredentials(entryName, *credentials, clear != FALSE);
}
