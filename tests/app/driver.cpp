// The test driver: process start and exit, window search, control access and input.
#include "driver.h"

#include <gtest/gtest.h>

#include "resource.h"
#include "test_paths.h"

namespace driver {
namespace {

std::wstring Widen(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           &wide[0], static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return wide;
}

// The current environment block with `extra` appended, as CreateProcessW wants it.
std::vector<wchar_t> EnvironmentBlock(const std::vector<std::wstring>& extra) {
    std::vector<wchar_t> block;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; *entry != L'\0'; entry += wcslen(entry) + 1) {
        block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    }
    FreeEnvironmentStringsW(current);
    for (const std::wstring& entry : extra) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

bool IsDialogClass(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return wcscmp(name, L"#32770") == 0;
}

struct WindowSearch {
    DWORD processId;
    HWND exclude;
    HWND found;
};

BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM context) {
    WindowSearch* search =
        reinterpret_cast<WindowSearch*>(context); // NOLINT(performance-no-int-to-ptr)
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || window == search->exclude) return TRUE;
    if (!IsWindowVisible(window) || !IsDialogClass(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindDialog(DWORD processId, HWND exclude) {
    WindowSearch search = {processId, exclude, nullptr};
    EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CollectBoxContents(HWND child, LPARAM context) {
    MessageBoxInfo* info =
        reinterpret_cast<MessageBoxInfo*>(context); // NOLINT(performance-no-int-to-ptr)
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (_wcsicmp(name, L"Button") == 0) {
        info->buttons.push_back(GetDlgCtrlID(child));
    } else if (_wcsicmp(name, L"Static") == 0 && info->text.empty()) {
        info->text = WindowText(child);
    }
    return TRUE;
}

} // namespace

std::wstring LinkmendPath() {
    std::wstring path = Widen(BinaryPath("app/linkmend.exe"));
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
    return path;
}

bool Start(Program& program, const std::wstring& exe,
           const std::vector<std::wstring>& extraEnvironment) {
    std::vector<wchar_t> environment = EnvironmentBlock(extraEnvironment);
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start the program, error " << GetLastError();
        return false;
    }
    CloseHandle(info.hThread);
    program.process = info.hProcess;
    program.processId = info.dwProcessId;
    program.dialog = nullptr;
    return true;
}

HWND WaitForMainDialog(Program& program, DWORD timeoutMs) {
    WaitUntil(
        [&] {
            HWND dialog = FindDialog(program.processId, nullptr);
            if (dialog != nullptr && WindowText(dialog) == L"linkmend v2.03") {
                program.dialog = dialog;
            }
            return program.dialog != nullptr;
        },
        timeoutMs);
    return program.dialog;
}

HWND WaitForMessageBox(const Program& program, DWORD timeoutMs) {
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindDialog(program.processId, program.dialog)) != nullptr; },
              timeoutMs);
    return box;
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.caption = WindowText(box);
    EnumChildWindows(box, CollectBoxContents, reinterpret_cast<LPARAM>(&info));
    return info;
}

bool AnswerMessageBox(HWND box, int buttonId, DWORD timeoutMs) {
    HWND button = GetDlgItem(box, buttonId);
    if (button == nullptr) return false;
    PostMessageW(button, BM_CLICK, 0, 0);
    return WaitUntil([&] { return !IsWindow(box); }, timeoutMs);
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                        kWaitMs, &length);
    return std::wstring(text, length);
}

std::wstring ControlText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

void SetControlText(HWND dialog, int id, const std::wstring& text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool IsChecked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool Settle(HWND dialog, DWORD timeoutMs) {
    // The pushed look of a push button is a visible-only state; posted behind everything else,
    // it shows up only once the messages before it have been handled.
    HWND marker = GetDlgItem(dialog, IDC_APPLY);
    PostMessageW(marker, BM_SETSTATE, TRUE, 0);
    const bool settled = WaitUntil(
        [&] { return (SendMessageW(marker, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }, timeoutMs);
    SendMessageW(marker, BM_SETSTATE, FALSE, 0);
    return settled;
}

void Click(HWND dialog, int id) {
    PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void ClickAt(HWND control, int x, int y) {
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void PressKey(const Program& program, WORD virtualKey) {
    HWND target = FocusedControl(program);
    if (target == nullptr) target = program.dialog;
    const UINT scan = MapVirtualKeyW(virtualKey, 0 /* MAPVK_VK_TO_VSC */);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | 0xC0000000u);
}

HWND FocusedControl(const Program& program) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(program.dialog, nullptr), &info)) {
        return nullptr;
    }
    HWND focus = info.hwndFocus;
    while (focus != nullptr && GetParent(focus) != program.dialog) focus = GetParent(focus);
    return focus;
}

bool WaitForExit(Program& program, DWORD* exitCode, DWORD timeoutMs) {
    if (WaitForSingleObject(program.process, timeoutMs) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(program.process, exitCode);
    return true;
}

void Stop(Program& program) {
    if (program.process == nullptr) return;
    if (WaitForSingleObject(program.process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(program.process, 1);
        WaitForSingleObject(program.process, kWaitMs);
    }
    CloseHandle(program.process);
    program = Program();
}

} // namespace driver
