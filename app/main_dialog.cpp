// The main dialog's procedure and handlers: per-version defaults, command routing, the DNS
// boxes of the two halves and the closing sequence. The endpoint record is the only state kept.
#include "main_dialog.h"

#include <commctrl.h>
#include <new>

#include "connection.h"
#include "contact_links.h"
#include "endpoints.h"
#include "player.h"
#include "resource.h"
#include "system_error.h"
#include "windows_version.h"

namespace {

// The controls through which one half's automatic-DNS box governs its DNS boxes.
struct DnsHalf {
    int autoDnsId;
    int dnsId;
    int dnsAltId;
};

const DnsHalf kDnsHalves[] = {
    {IDC_INET_AUTODNS, IDC_INET_DNS, IDC_INET_DNS_ALT},    // Internet
    {IDC_LOCAL_AUTODNS, IDC_LOCAL_DNS, IDC_LOCAL_DNS_ALT}, // Local
};

// The provider's DNS servers, packed with the first field of the dotted form highest.
struct DnsDefault {
    int id;
    LPARAM address;
};

const DnsDefault kDnsDefaults[] = {
    {IDC_INET_DNS, MAKEIPADDRESS(192, 0, 2, 53)},
    {IDC_INET_DNS_ALT, MAKEIPADDRESS(192, 0, 2, 54)},
    {IDC_LOCAL_DNS, MAKEIPADDRESS(198, 51, 100, 53)},
    {IDC_LOCAL_DNS_ALT, MAKEIPADDRESS(198, 51, 100, 54)},
};

// The four credential boxes in the order they are filled and disabled from Vista on.
const int kCredentialIds[] = {IDC_INET_USER, IDC_LOCAL_USER, IDC_INET_PASSWORD, IDC_LOCAL_PASSWORD};

const wchar_t kRestartQuestion[] =
    L"Для вступления изменений в силу необходима перезагрузка.\nПерезагрузить компьютер сейчас?";

// The endpoint record of the open dialog, the controller's only state: null outside the
// dialog's lifetime and when its allocation failed.
WanEndpointState* gEndpointState = nullptr;

void SetCheck(HWND dialog, int id, WPARAM state) {
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, state, 0);
}

void Disable(HWND dialog, int id) {
    EnableWindow(GetDlgItem(dialog, id), FALSE);
}

// Vista and later keep credentials out of the dialog: the boxes only say why.
void SetVistaCredentials(HWND dialog) {
    for (int id : kCredentialIds) SetDlgItemTextW(dialog, id, L"Windows Vista or later detected");
    for (int id : kCredentialIds) Disable(dialog, id);
}

// Before Vista IPv6 cannot be switched off, and the boxes start with the sample credentials.
void SetSampleCredentials(HWND dialog) {
    Disable(dialog, IDC_INET_NOIPV6);
    Disable(dialog, IDC_LOCAL_NOIPV6);
    SetDlgItemTextW(dialog, IDC_INET_USER, L"abonent-zet");
    SetDlgItemTextW(dialog, IDC_LOCAL_USER, L"abonent-zet/local");
    SetDlgItemTextW(dialog, IDC_INET_PASSWORD, L"581302");
    SetDlgItemTextW(dialog, IDC_LOCAL_PASSWORD, L"581302");
}

// Allocates the endpoint record and lets the endpoint settings fill it and show the count.
void OpenEndpointState(HWND dialog) {
    WanEndpointState* record = new (std::nothrow) WanEndpointState;
    if (record != nullptr) CreateEndpointState(dialog, *record);
    gEndpointState = record;
}

// "Применить": without a record (its allocation failed) there is nothing to write with, which
// the system's text for the failed allocation says; this is the only place that decides it.
void ApplyEndpoints(HWND dialog) {
    if (gEndpointState == nullptr) {
        const DWORD code = ERROR_NOT_ENOUGH_MEMORY;
        ShowSystemError(&code);
        return;
    }
    ApplyEndpointCount(dialog, *gEndpointState);
}

// Offers the restart a changed count needs, then closes the adapter key and frees the record.
void ReleaseEndpointState(HWND dialog) {
    WanEndpointState* record = gEndpointState;
    if (record != nullptr) {
        if (record->newWanEndpoints != record->oldWanEndpoints &&
            MessageBoxW(dialog, kRestartQuestion, L"", MB_YESNO | MB_ICONQUESTION) == IDYES) {
            RestartComputer();
        }
        if (record->adapterKey != nullptr) RegCloseKey(record->adapterKey);
        delete record;
    }
    gEndpointState = nullptr;
}

} // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        InitDialogDefaults(dialog);
        OpenEndpointState(dialog);
        return TRUE;
    case WM_COMMAND:
        DispatchCommand(dialog, LOWORD(wParam));
        return FALSE;
    case WM_NOTIFY:
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the notification header travels in lParam
        OpenContactLink(dialog, reinterpret_cast<const NMHDR*>(lParam));
        return FALSE;
    default:
        return FALSE;
    }
}

void InitDialogDefaults(HWND dialog) {
    // 1. Check boxes: automatic DNS for the internet half only, IPv6 off on both.
    SetCheck(dialog, IDC_INET_AUTODNS, BST_CHECKED);
    SetCheck(dialog, IDC_LOCAL_AUTODNS, BST_UNCHECKED);
    SetCheck(dialog, IDC_INET_NOIPV6, BST_CHECKED);
    SetCheck(dialog, IDC_LOCAL_NOIPV6, BST_CHECKED);
    // 2. The provider's DNS servers.
    for (const DnsDefault& dns : kDnsDefaults) {
        SendDlgItemMessageW(dialog, dns.id, IPM_SETADDRESS, 0, dns.address);
    }
    // 3. The count box takes two characters from the keyboard.
    SendDlgItemMessageW(dialog, IDC_ENDPOINTS, EM_LIMITTEXT, 2, 0);
    // 4. Credentials and IPv6 boxes by Windows version.
    if (IsWindowsVistaOrLater())
        SetVistaCredentials(dialog);
    else
        SetSampleCredentials(dialog);
    // 5. The internet half starts with automatic DNS.
    Disable(dialog, IDC_INET_DNS);
    Disable(dialog, IDC_INET_DNS_ALT);
    // 6. The up-down arrows drive the count box, from 1 to 99.
    HWND spin = GetDlgItem(dialog, IDC_ENDPOINTS_SPIN);
    SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_ENDPOINTS)),
                 0);
    SendMessageW(spin, UDM_SETRANGE, 0, MAKELPARAM(99, 1));
}

void DispatchCommand(HWND dialog, int id) {
    switch (id) {
    case IDCANCEL:
        CloseMainDialog(dialog);
        break;
    case IDC_INET_AUTODNS:
        SyncDnsBoxes(dialog, Internet);
        break;
    case IDC_INET_CREATE:
        CreateConnection(dialog, Internet);
        break;
    case IDC_LOCAL_AUTODNS:
        SyncDnsBoxes(dialog, Local);
        break;
    case IDC_LOCAL_CREATE:
        CreateConnection(dialog, Local);
        break;
    case IDC_APPLY:
        ApplyEndpoints(dialog);
        break;
    default:
        break;
    }
}

void SyncDnsBoxes(HWND dialog, ConnectionKind kind) {
    const DnsHalf& half = kDnsHalves[kind];
    const BOOL enable = IsDlgButtonChecked(dialog, half.autoDnsId) != BST_CHECKED;
    EnableWindow(GetDlgItem(dialog, half.dnsId), enable);
    EnableWindow(GetDlgItem(dialog, half.dnsAltId), enable);
}

void CloseMainDialog(HWND dialog) {
    // 1-3. The restart question, then the adapter key and the record.
    ReleaseEndpointState(dialog);
    // 4. The music stops before the dialog goes.
    PlayModule(nullptr, 0, 0);
    // 5. The only way out of the dialog.
    EndDialog(dialog, 0);
}
