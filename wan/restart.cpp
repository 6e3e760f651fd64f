// The forced restart that makes a changed endpoint count take effect.
#include "endpoints.h"

bool RestartComputer() {
    // 1. The process's token, for adjusting its privileges.
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return false;
    }
    // 2. The shutdown privilege; an unknown name leaves a zero LUID, which the adjustment
    // below refuses.
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    // 3, 4. Enable it. The call reports a privilege the token lacks only through the last error
    // (ERROR_NOT_ALL_ASSIGNED), which is cleared first so that no earlier error is taken for it.
    SetLastError(ERROR_SUCCESS);
    const BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    const DWORD error = GetLastError();
    CloseHandle(token);
    if (!adjusted || error != ERROR_SUCCESS) return false;
    // 5. A forced reboot, recorded as planned operating system maintenance.
    return ExitWindowsEx(EWX_REBOOT | EWX_FORCE, SHTDN_REASON_MAJOR_OPERATINGSYSTEM |
                                                     SHTDN_REASON_MINOR_MAINTENANCE |
                                                     SHTDN_REASON_FLAG_PLANNED) != FALSE;
}
