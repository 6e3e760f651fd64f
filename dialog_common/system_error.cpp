// Turns a Win32 error code into the system's text and shows it in the error box.
#include "system_error.h"

namespace {

// Shown when the system has no text for a code (an unknown or private code).
const wchar_t kNoSystemText[] = L"неизвестная ошибка\r\n";

} // namespace

void ShowSystemError(const DWORD* code) {
    // 1. The given code, or else the thread's last error.
    const DWORD error = code != nullptr ? *code : GetLastError();
    // 2. The system's text for it, allocated by the system.
    wchar_t* systemText = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&systemText),
                   0, nullptr);
    // 3. "Error %d: %s"; wsprintfW stops at 1024 characters, so a long text is cut, not overrun.
    wchar_t text[1024];
    wsprintfW(text, L"Error %d: %s", static_cast<int>(error),
              systemText != nullptr ? systemText : kNoSystemText);
    // 4. An ownerless error box.
    MessageBoxW(nullptr, text, L"Ошибка", MB_ICONERROR);
    // 5. Give the system text back.
    if (systemText != nullptr) LocalFree(systemText);
}
