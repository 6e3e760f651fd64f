// Stand-in rasdlg.dll for running the program under Wine: the wizard for a new broadband
// entry. It asks for the entry's name in a small dialog, or, when LINKMEND_RAS_WIZARD is set,
// answers without a window: "accept", "rename:NAME", "cancel" or "fail:CODE".
#include "phonebook.h"
#include "wizard.h"

#include <rasdlg.h>
#include <raserror.h>

namespace {

HINSTANCE gModule;

const wchar_t kWizardCaption[] = L"Мастер новых подключений";

// How the wizard ended: an accepted name, a cancel (error 0) or a failure.
struct WizardAnswer {
    bool accepted;
    DWORD error;
    std::wstring name;
};

// 0 when the name can be given to a new entry, else why not.
DWORD CheckNewName(const std::wstring& name) {
    if (!IsValidEntryName(name)) return ERROR_INVALID_NAME;
    PhonebookEntry existing;
    if (FindEntry(name, &existing)) return ERROR_ALREADY_EXISTS;
    return 0;
}

// On Готово: keeps the dialog open with a warning while the name cannot be used.
void AcceptName(HWND dialog, WizardAnswer* answer) {
    wchar_t name[RAS_MaxEntryName + 2] = {};
    GetDlgItemTextW(dialog, IDC_WIZARD_NAME, name, RAS_MaxEntryName + 2);
    DWORD problem = CheckNewName(name);
    if (problem != 0) {
        MessageBoxW(dialog,
                    problem == ERROR_ALREADY_EXISTS ? L"Подключение с таким именем уже существует."
                                                    : L"Недопустимое имя подключения.",
                    kWizardCaption, MB_ICONWARNING);
        return;
    }
    answer->accepted = true;
    answer->name = name;
    EndDialog(dialog, IDOK);
}

// The answer record travels in lParam and DWLP_USER, as integers
// (NOLINTBEGIN(performance-no-int-to-ptr)).
INT_PTR CALLBACK WizardProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    WizardAnswer* answer = reinterpret_cast<WizardAnswer*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        answer = reinterpret_cast<WizardAnswer*>(lParam);
        SendDlgItemMessageW(dialog, IDC_WIZARD_NAME, EM_LIMITTEXT, RAS_MaxEntryName, 0);
        SetDlgItemTextW(dialog, IDC_WIZARD_NAME, answer->name.c_str());
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wParam) == IDOK) AcceptName(dialog, answer);
    if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
    return TRUE;
}
// NOLINTEND(performance-no-int-to-ptr)

WizardAnswer AskUser(HWND owner, const std::wstring& proposal) {
    WizardAnswer answer{false, 0, proposal};
    INT_PTR result = DialogBoxParamW(gModule, MAKEINTRESOURCEW(IDD_BROADBAND_WIZARD), owner,
                                     WizardProc, reinterpret_cast<LPARAM>(&answer));
    if (result == -1) answer.error = GetLastError();
    return answer;
}

// The scripted answer of LINKMEND_RAS_WIZARD; false when the variable is not set.
bool ScriptedAnswer(const std::wstring& proposal, WizardAnswer* answer) {
    wchar_t script[RAS_MaxEntryName + 16] = {};
    DWORD length = GetEnvironmentVariableW(L"LINKMEND_RAS_WIZARD", script, RAS_MaxEntryName + 16);
    if (length == 0) return false;
    std::wstring text = length < RAS_MaxEntryName + 16 ? script : L"";
    *answer = WizardAnswer{false, 0, proposal};
    if (text == L"accept")
        answer->accepted = true;
    else if (text.compare(0, 7, L"rename:") == 0)
        *answer = WizardAnswer{true, 0, text.substr(7)};
    else if (text.compare(0, 5, L"fail:") == 0)
        answer->error = wcstoul(text.c_str() + 5, nullptr, 10);
    else if (text != L"cancel")
        answer->error = ERROR_INVALID_PARAMETER;
    return true;
}

// Creates the entry the wizard was accepted with; 0 or the error that stopped it.
DWORD CreateEntry(const WizardAnswer& answer) {
    DWORD problem = CheckNewName(answer.name);
    return problem != 0 ? problem : StoreEntry(NewBroadbandEntry(answer.name));
}

// Why a request is not one this wizard serves (the default phonebook, a new broadband entry).
DWORD RefusalOf(LPWSTR phonebook, const RASENTRYDLGW& info) {
    if (info.dwSize != sizeof(RASENTRYDLGW)) return ERROR_INVALID_SIZE;
    if (phonebook != nullptr) return ERROR_CANNOT_OPEN_PHONEBOOK;
    if (!(info.dwFlags & RASEDFLAG_NewBroadbandEntry)) return ERROR_NOT_SUPPORTED;
    return 0;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) gModule = module;
    return TRUE;
}

extern "C" BOOL WINAPI RasEntryDlgW(LPWSTR phonebook, LPWSTR entryName, LPRASENTRYDLGW info) {
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->dwError = RefusalOf(phonebook, *info);
    if (info->dwError != 0) return FALSE;
    std::wstring proposal = entryName != nullptr ? entryName : L"";
    WizardAnswer answer;
    if (!ScriptedAnswer(proposal, &answer)) answer = AskUser(info->hwndOwner, proposal);
    if (answer.accepted) answer.error = CreateEntry(answer);
    info->dwError = answer.error;
    if (!answer.accepted || answer.error != 0) return FALSE;
    wcsncpy(info->szEntry, answer.name.c_str(), RAS_MaxEntryName);
    info->szEntry[RAS_MaxEntryName] = L'\0';
    return TRUE;
}
