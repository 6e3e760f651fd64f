// The RAS wizard for a new broadband entry and the boxes that say how it ended.
#include "connection.h"
#include "wizard_boxes.h"

#include <rasdlg.h>

// The wizard record as the system lays it out: 548 bytes in a 32-bit program. A 64-bit program
// passes its own, larger layout, which is the size the 64-bit system checks.
#if defined(_M_IX86) || defined(__i386__)
static_assert(sizeof(RASENTRYDLGW) == 548, "the 32-bit wizard record is 548 bytes");
#endif

namespace {

// Room for the longest box text: wsprintfW writes at most 1024 units.
const int kBoxTextSize = 1024;

} // namespace

void ShowWizardBox(const wchar_t* text, UINT icon) {
    MessageBoxW(nullptr, text, L" ", icon);
}

void ShowWizardCodeBox(const wchar_t* format, DWORD code, UINT icon) {
    wchar_t text[kBoxTextSize];
    wsprintfW(text, format, static_cast<int>(code));
    ShowWizardBox(text, icon);
}

void ShowHeapFailure() {
    ShowWizardBox(L"HeapAlloc() failed", MB_ICONERROR);
}

DWORD RunEntryWizard(const wchar_t* proposedName, wchar_t* finalName, bool* created) {
    *created = false;
    HANDLE heap = GetProcessHeap();
    if (heap == nullptr) {
        DWORD code = GetLastError();
        ShowWizardCodeBox(L"GetProcessHeap() failed: Error = %d", code, MB_ICONERROR);
        return code;
    }
    RASENTRYDLGW* info =
        static_cast<RASENTRYDLGW*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(RASENTRYDLGW)));
    if (info == nullptr) {
        ShowHeapFailure();
        return ERROR_OUTOFMEMORY;
    }
    info->dwFlags |= RASEDFLAG_NewBroadbandEntry;
    info->dwSize = sizeof(RASENTRYDLGW);
    DWORD result = 0;
    if (RasEntryDlgW(nullptr, const_cast<LPWSTR>(proposedName), info)) {
        info->szEntry[RAS_MaxEntryName] = L'\0';
        wchar_t text[kBoxTextSize];
        wsprintfW(text, L"Подлючение создано: %s", info->szEntry);
        ShowWizardBox(text, MB_ICONINFORMATION);
        lstrcpynW(finalName, info->szEntry, RAS_MaxEntryName + 1);
        *created = true;
    } else {
        result = info->dwError;
        if (result != 0)
            ShowWizardCodeBox(L"RasEntryDlg failed: Код ошибки = %d", result, MB_ICONERROR);
        else
            ShowWizardBox(L"Отменено пользователем", MB_ICONINFORMATION);
    }
    HeapFree(heap, 0, info);
    return result;
}
