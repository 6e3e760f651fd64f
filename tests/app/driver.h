// Drives linkmend.exe from a test program the way a user would: starts it, finds its dialog and
// message boxes, reads and sets controls, clicks, presses keys and waits for the exit. Every wait
// polls with a time-out; nothing sleeps blindly. Works across processes, so it uses only
// messages whose arguments are not pointers (texts travel through WM_GETTEXT / WM_SETTEXT).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver {

// Time-outs in milliseconds, for what must happen: starting up and closing under Wine take well
// under a second here, but tens of seconds in an emulated machine on a busy host. Only a failing
// test waits that long.
const DWORD kWaitMs = 60000;

struct Program {
    HANDLE process = nullptr;
    DWORD processId = 0;
    HWND dialog = nullptr; // the main dialog once WaitForMainDialog found it
};

// linkmend.exe of the build tree the test belongs to (a Windows path).
std::wstring LinkmendPath();

// Starts `exe` with the test's environment plus `extraEnvironment` ("NAME=value" entries).
// Returns false (and explains with ADD_FAILURE) when the process cannot be started.
bool Start(Program& program, const std::wstring& exe = LinkmendPath(),
           const std::vector<std::wstring>& extraEnvironment = {});

// Waits until the process shows its main dialog (caption "linkmend v2.03"); null on time-out.
HWND WaitForMainDialog(Program& program, DWORD timeoutMs = kWaitMs);

// Waits for a visible message box of the process (a top-level #32770 other than the main
// dialog); null on time-out.
HWND WaitForMessageBox(const Program& program, DWORD timeoutMs = kWaitMs);

// A message box as the user sees it: caption, text and the ids of its buttons.
struct MessageBoxInfo {
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;
};
MessageBoxInfo ReadMessageBox(HWND box);

// Presses one of the box's buttons (IDOK, IDYES, IDNO...) and waits until the box is gone.
bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs = kWaitMs);

// Text of any window, or of control `id` of `dialog`.
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::wstring& text);

bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);

// Waits until the program's user-interface thread has handled every message posted to it so
// far (it then also answers a marker posted after them). False on time-out.
bool Settle(HWND dialog, DWORD timeoutMs = kWaitMs);

// Clicks a button or check box with a posted BM_CLICK (a sent one would block under a message
// box). Follow with Settle, or wait for the outcome, before looking at the result.
void Click(HWND dialog, int id);

// A left mouse click at client point (x, y) of a control, as the mouse would deliver it.
void ClickAt(HWND control, int x, int y);

// Presses and releases a key in the control that has the keyboard focus in the program (or in
// the dialog when none has). Follow with Settle before looking at the result.
void PressKey(const Program& program, WORD virtualKey);

// The control that has the keyboard focus in the program; a child of a composite control (the
// fields of an IP address control) counts as that control.
HWND FocusedControl(const Program& program);

// Waits until the process has ended; its exit code goes to `exitCode`. False on time-out.
bool WaitForExit(Program& program, DWORD* exitCode, DWORD timeoutMs = kWaitMs);

// Ends the process if it still runs (a failed test must not leave it behind) and closes handles.
void Stop(Program& program);

// Waits until `condition` holds, polling every few milliseconds; false on time-out.
template <typename Condition> bool WaitUntil(Condition condition, DWORD timeoutMs = kWaitMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
    return true;
}

} // namespace driver
