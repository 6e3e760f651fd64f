// Asks the system for its version and answers the two questions the dialog side needs.
#include "windows_version.h"

#include <windows.h>

namespace {

// Fills `info` from GetVersionExW on a zero-filled record; false when the call fails.
bool QueryVersion(OSVERSIONINFOW& info) {
    ZeroMemory(&info, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionExW(&info) != FALSE;
}

} // namespace

bool IsWindowsXpOrLater() {
    OSVERSIONINFOW info;
    if (!QueryVersion(info)) return false;
    if (info.dwMajorVersion == 5) return info.dwMinorVersion != 0;
    return info.dwMajorVersion >= 6;
}

bool IsWindowsVistaOrLater() {
    OSVERSIONINFOW info;
    return QueryVersion(info) && info.dwMajorVersion >= 6;
}
