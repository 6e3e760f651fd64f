// Takes linkmend.exe to a restart: prepares the adapter's key, applies another count, closes the
// dialog and answers "Yes" to the restart question. It reports each step on its standard output
// for restart_e2e.sh, including the shutdown privilege of the program's token, which it watches
// through a token handle of its own. The restart ends every program of the prefix, this one
// included, so the checks live in the script.
#include <windows.h>

#include <cstdio>

#include "adapter_registry.h"
#include "driver.h"
#include "expectations.h"
#include "resource.h"

namespace {

void Report(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

// Whether the token holds the shutdown privilege enabled.
bool ShutdownPrivilegeEnabled(HANDLE token) {
    LUID luid = {};
    LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &luid);
    alignas(TOKEN_PRIVILEGES) BYTE buffer[4096];
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) return false;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = privileges->Privileges[i];
        if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart) {
            return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    return false;
}

// Waits for a box of the program and checks its text.
HWND ExpectBox(const driver::Program& program, const wchar_t* text) {
    HWND box = driver::WaitForMessageBox(program);
    return box != nullptr && driver::ReadMessageBox(box).text == text ? box : nullptr;
}

int Fail(const char* line) {
    Report(line);
    return 1;
}

} // namespace

int main() {
    ResetAdapterClass();
    AddOtherAdapters(1);
    AddPppoeMiniport(1, 2, 3);
    driver::Program program;
    if (!driver::Start(program) || driver::WaitForMainDialog(program) == nullptr) {
        return Fail("no dialog");
    }
    // The trace's lines carry the process id in this form.
    std::printf("linkmend %04lx\n", static_cast<unsigned long>(program.processId));
    HANDLE token = nullptr;
    if (!OpenProcessToken(program.process, TOKEN_QUERY, &token)) return Fail("no token");
    Report(ShutdownPrivilegeEnabled(token) ? "privilege enabled at start" : "privilege disabled");

    driver::SetControlText(program.dialog, IDC_ENDPOINTS, L"3");
    driver::Click(program.dialog, IDC_APPLY);
    HWND box = ExpectBox(program, kSuccessText);
    if (box == nullptr || !driver::AnswerMessageBox(box, IDOK)) return Fail("no success box");
    Report("applied 3");

    driver::PressKey(program, VK_ESCAPE);
    box = ExpectBox(program, kRestartQuestion);
    if (box == nullptr) return Fail("no restart question");
    PostMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
    Report("answered yes");

    if (!driver::WaitUntil([&] { return ShutdownPrivilegeEnabled(token); })) {
        return Fail("privilege never enabled");
    }
    Report("privilege enabled");
    // The restart now ends this program too; living on means it did not come.
    driver::WaitUntil([] { return false; }, 20000);
    return Fail("no restart");
}
