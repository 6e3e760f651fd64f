// A press of a create button: the form of both halves' controls, and reading one half of it
// into the request that ConfigureConnection carries out.
#include "connection.h"

#include <commctrl.h>
#include <new>

#include "resource.h"
#include "windows_version.h"

namespace {

// Edit texts are read with this limit: at most 254 characters and the terminator.
const int kTextLimit = 255;

// What one half asks for, and the controls it is read from.
struct HalfRequest {
    const wchar_t* entryName;
    bool keepDefaultGateway;
    int userId;
    int passwordId;
    int noIpv6Id;
    int autoDnsId;
    int dnsId;
    int dnsAltId;
};

HalfRequest HalfOf(const ConnectionForm* form, ConnectionKind kind) {
    if (kind == Internet)
        return {L"zet-internet",        true,
                form->internetUserId,   form->internetPasswordId,
                form->internetNoIpv6Id, form->internetAutoDnsId,
                form->internetDnsId,    form->internetDnsAltId};
    return {L"zet-local",        false,
            form->localUserId,   form->localPasswordId,
            form->localNoIpv6Id, form->localAutoDnsId,
            form->localDnsId,    form->localDnsAltId};
}

LRESULT SendToControl(const ConnectionForm* form, int id, UINT message, WPARAM wParam,
                      LPARAM lParam) {
    return SendDlgItemMessageW(form->dialog, id, message, wParam, lParam);
}

RASIPADDR ReadAddress(const ConnectionForm* form, int id) {
    DWORD packed = 0;
    SendToControl(form, id, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&packed));
    return RasIpAddressFromPacked(packed);
}

} // namespace

void CreateConnection(HWND dialog, ConnectionKind kind) {
    ConnectionForm* form = new (std::nothrow) ConnectionForm{IDC_LOCAL_USER,
                                                             IDC_INET_USER,
                                                             IDC_LOCAL_PASSWORD,
                                                             IDC_INET_PASSWORD,
                                                             IDC_INET_DNS,
                                                             IDC_INET_DNS_ALT,
                                                             IDC_LOCAL_DNS,
                                                             IDC_LOCAL_DNS_ALT,
                                                             IDC_LOCAL_AUTODNS,
                                                             IDC_INET_AUTODNS,
                                                             IDC_LOCAL_NOIPV6,
                                                             IDC_INET_NOIPV6,
                                                             dialog};
    if (form == nullptr) return;
    ReadConnectionForm(form, kind);
    delete form;
}

void ReadConnectionForm(const ConnectionForm* form, ConnectionKind kind) {
    HalfRequest half = HalfOf(form, kind);
    wchar_t userName[kTextLimit] = {};
    wchar_t password[kTextLimit] = {};
    SendToControl(form, half.userId, WM_GETTEXT, kTextLimit, reinterpret_cast<LPARAM>(userName));
    SendToControl(form, half.passwordId, WM_GETTEXT, kTextLimit,
                  reinterpret_cast<LPARAM>(password));

    bool disableIpv6 = false;
    if (IsWindowsVistaOrLater())
        disableIpv6 = SendToControl(form, half.noIpv6Id, BM_GETCHECK, 0, 0) == BST_CHECKED;

    bool setDnsServers = false;
    RASIPADDR dns = {};
    RASIPADDR dnsAlt = {};
    if (SendToControl(form, half.autoDnsId, BM_GETCHECK, 0, 0) == BST_UNCHECKED) {
        dns = ReadAddress(form, half.dnsId);
        dnsAlt = ReadAddress(form, half.dnsAltId);
        setDnsServers = true;
    }

    ConfigureConnection(half.entryName, userName, password, half.keepDefaultGateway, disableIpv6,
                        setDnsServers, dns, dnsAlt);
}
