// The restart request: the shutdown privilege is enabled in the process's token before the
// system is asked for a forced reboot with the planned-maintenance reason. The system's
// ExitWindowsEx is replaced in this program's import table, so that the request is seen with the
// token's state at that moment and no restart happens; the real restart is seen end to end by
// the restart script.
#include "endpoints.h"

#include <gtest/gtest.h>

#include "import_patch.h"

namespace {

enum class Privilege { Absent, Disabled, Enabled };

// The shutdown privilege as this process's token holds it now.
Privilege ShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return Privilege::Absent;
    LUID luid = {};
    LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &luid);
    alignas(TOKEN_PRIVILEGES) BYTE buffer[4096];
    DWORD size = 0;
    Privilege state = Privilege::Absent;
    if (GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) {
        const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
            if (entry.Luid.LowPart != luid.LowPart || entry.Luid.HighPart != luid.HighPart) {
                continue;
            }
            state = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0 ? Privilege::Enabled
                                                                   : Privilege::Disabled;
        }
    }
    CloseHandle(token);
    return state;
}

// Sets the shutdown privilege's attributes: 0 disables it, SE_PRIVILEGE_REMOVED takes it away.
bool SetShutdownPrivilege(DWORD attributes) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = attributes;
    LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    const bool done = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                      GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return done;
}

struct ShutdownRequest {
    int calls;
    UINT flags;
    DWORD reason;
    Privilege privilege; // the token's shutdown privilege when the request was made
};

ShutdownRequest gRequest;
BOOL gAccept = TRUE;

BOOL WINAPI RecordShutdownRequest(UINT flags, DWORD reason) {
    gRequest = {gRequest.calls + 1, flags, reason, ShutdownPrivilege()};
    return gAccept;
}

class Restart : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(patch_.active());
        // Held but not enabled, as an administrator's token starts.
        ASSERT_TRUE(SetShutdownPrivilege(0));
        ASSERT_EQ(ShutdownPrivilege(), Privilege::Disabled);
        gRequest = {0, 0, 0, Privilege::Absent};
        gAccept = TRUE;
    }

    ImportPatch patch_{"user32.dll", "ExitWindowsEx",
                       reinterpret_cast<void*>(&RecordShutdownRequest)};
};

TEST_F(Restart, EnablesTheShutdownPrivilegeThenAsksForAForcedPlannedReboot) {
    DWORD handlesBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    SetLastError(ERROR_ACCESS_DENIED); // an earlier failure is not the adjustment's
    EXPECT_TRUE(RestartComputer());
    EXPECT_EQ(gRequest.calls, 1);
    EXPECT_EQ(gRequest.privilege, Privilege::Enabled);
    EXPECT_EQ(gRequest.flags, static_cast<UINT>(EWX_REBOOT | EWX_FORCE));
    EXPECT_EQ(gRequest.reason,
              static_cast<DWORD>(SHTDN_REASON_MAJOR_OPERATINGSYSTEM |
                                 SHTDN_REASON_MINOR_MAINTENANCE | SHTDN_REASON_FLAG_PLANNED));
    EXPECT_EQ(gRequest.reason, 0x80020001u);
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_EQ(handlesAfter, handlesBefore); // the token is not left open
}

TEST_F(Restart, RefusedRequestIsReportedAsFalse) {
    gAccept = FALSE;
    EXPECT_FALSE(RestartComputer());
    EXPECT_EQ(gRequest.calls, 1);
}

// Taking the privilege away cannot be undone in this process, so this case is declared (and
// runs) last; shuffled, the cases after it fail in SetUp rather than pass wrongly.
TEST_F(Restart, WithoutThePrivilegeNoRestartIsRequested) {
    ASSERT_TRUE(SetShutdownPrivilege(SE_PRIVILEGE_REMOVED));
    ASSERT_EQ(ShutdownPrivilege(), Privilege::Absent);
    EXPECT_FALSE(RestartComputer());
    EXPECT_EQ(gRequest.calls, 0);
}

} // namespace
