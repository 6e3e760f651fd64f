// The endpoint record: the scan of the network adapter class for the PPPoE WAN miniport when
// the dialog opens, and the writing of the count box's number on "Применить".
#include "endpoints.h"

#include "endpoint_rules.h"
#include "resource.h"
#include "system_error.h"

namespace {

const wchar_t kAdapterClassPath[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const DWORD kInstanceLimit = 10000;    // instance keys are "0000" to "9999"
const DWORD kComponentIdOffered = 255; // bytes offered for ComponentId
const WPARAM kCountTextLimit = 255;    // characters read from the count box

const wchar_t kSuccessText[] = L"Операция успешно выполнена";
const wchar_t kAdministratorText[] =
    L"Попробуйте запустить программу из-под учетной записи, обладающей правами администратора";

void ShowRegistryError(LONG result) {
    const DWORD code = static_cast<DWORD>(result);
    ShowSystemError(&code);
}

// The four-digit name of instance `number` (below 10000), with leading zeros.
void FormatInstanceName(DWORD number, wchar_t* name) {
    const wchar_t* format = number < 10     ? L"000%u"
                            : number < 100  ? L"00%u"
                            : number < 1000 ? L"0%u"
                                            : L"%u";
    wsprintfW(name, format, number);
}

// Whether the instance's ComponentId is the PPPoE miniport's. The value's bytes are compared
// as UTF-16 whatever its type; a value that cannot be read or does not fit the bytes offered
// names some other component. The buffer has one byte more than is offered, so whatever the
// read leaves stays inside it.
bool IsPppoeMiniport(HKEY instance) {
    wchar_t id[(kComponentIdOffered + 1) / sizeof(wchar_t)] = {};
    DWORD size = kComponentIdOffered;
    if (RegQueryValueExW(instance, L"ComponentId", nullptr, nullptr, reinterpret_cast<BYTE*>(id),
                         &size) != ERROR_SUCCESS) {
        return false;
    }
    return IsPppoeMiniportId(id, size / sizeof(wchar_t));
}

// Reads a count into a 4-byte buffer whatever the value's type; shorter data is taken as the
// low bytes of the count. Longer data does not fit and fails the read.
LONG ReadCount(HKEY key, const wchar_t* name, DWORD* count) {
    DWORD data = 0;
    DWORD size = sizeof data;
    const LONG result =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size);
    if (result == ERROR_SUCCESS) *count = data;
    return result;
}

// The adapter's two counts, each failure shown. True when WanEndpoints was read; the results are
// set only then, so they always come from one instance (MaxWanEndpoints 0 when unreadable).
bool ReadAdapterCounts(HKEY instance, DWORD* wanEndpoints, DWORD* maxWanEndpoints) {
    DWORD maxCount = 0;
    DWORD wanCount = 0;
    LONG result = ReadCount(instance, L"MaxWanEndpoints", &maxCount);
    if (result != ERROR_SUCCESS) ShowRegistryError(result);
    result = ReadCount(instance, L"WanEndpoints", &wanCount);
    if (result != ERROR_SUCCESS) {
        ShowRegistryError(result);
        return false;
    }
    *wanEndpoints = wanCount;
    *maxWanEndpoints = maxCount;
    return true;
}

bool WriteCount(HKEY key, const wchar_t* name, DWORD count) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count),
                          sizeof count) == ERROR_SUCCESS;
}

} // namespace

void CreateEndpointState(HWND dialog, WanEndpointState& record) {
    // 1. An empty record for this dialog, holding no key.
    record.dialog = dialog;
    record.countEditId = IDC_ENDPOINTS;
    record.oldWanEndpoints = 0;
    record.oldMaxWanEndpoints = 0;
    record.newWanEndpoints = 0;
    record.newMaxWanEndpoints = 0;
    record.adapterKey = nullptr;
    // 2. The scan.
    const bool found = FindPppoeMiniportKey(&record.adapterKey, &record.oldWanEndpoints,
                                            &record.oldMaxWanEndpoints);
    // 3. The count read ("0" when none), whatever the box lets the user type.
    wchar_t text[16];
    wsprintfW(text, L"%u", record.oldWanEndpoints);
    SendDlgItemMessageW(dialog, record.countEditId, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    // 4. Until the first "Применить" the applied counts are the ones read.
    if (found) {
        record.newWanEndpoints = record.oldWanEndpoints;
        record.newMaxWanEndpoints = record.oldMaxWanEndpoints;
    }
}

bool FindPppoeMiniportKey(HKEY* key, DWORD* wanEndpoints, DWORD* maxWanEndpoints) {
    // 1. Nothing read yet.
    *key = nullptr;
    *wanEndpoints = 0;
    *maxWanEndpoints = 0;
    // 2. The class key; without it (no administrator rights) there is nothing to show.
    HKEY classKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAdapterClassPath, 0, KEY_ALL_ACCESS, &classKey) !=
        ERROR_SUCCESS) {
        return false;
    }
    // 3. The instances in order; the first one that cannot be opened ends the scan.
    for (DWORD number = 0; number < kInstanceLimit; ++number) {
        wchar_t name[8];
        FormatInstanceName(number, name);
        HKEY instance = nullptr;
        const LONG opened = RegOpenKeyExW(classKey, name, 0, KEY_QUERY_VALUE, &instance);
        if (opened != ERROR_SUCCESS) {
            ShowRegistryError(opened);
            RegCloseKey(classKey);
            return false;
        }
        if (IsPppoeMiniport(instance) &&
            ReadAdapterCounts(instance, wanEndpoints, maxWanEndpoints)) {
            *key = instance;
            RegCloseKey(classKey);
            return true;
        }
        RegCloseKey(instance);
    }
    // 4. All numbers taken, none of them the adapter.
    RegCloseKey(classKey);
    return false;
}

void ApplyEndpointCount(HWND dialog, WanEndpointState& record) {
    if (WriteEndpointCount(record)) {
        MessageBoxW(dialog, kSuccessText, L"", MB_ICONINFORMATION);
    } else {
        MessageBoxW(dialog, kAdministratorText, L"Ошибка", MB_ICONERROR);
    }
}

bool WriteEndpointCount(WanEndpointState& record) {
    // 1. The count box's text.
    wchar_t text[kCountTextLimit + 1] = {};
    SendDlgItemMessageW(record.dialog, record.countEditId, WM_GETTEXT, kCountTextLimit + 1,
                        reinterpret_cast<LPARAM>(text));
    // 2, 3. The count and its MaxWanEndpoints count as applied, whatever follows.
    record.newWanEndpoints = EndpointCountFromText(text);
    record.newMaxWanEndpoints = MaxEndpointsFor(record.newWanEndpoints);
    // Without the adapter there is no key to write to; the caller reports the failure.
    if (record.adapterKey == nullptr) return false;
    // 4. A second handle to the adapter's key, for writing.
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExW(record.adapterKey, nullptr, 0, KEY_SET_VALUE, &key);
    if (opened != ERROR_SUCCESS) {
        ShowRegistryError(opened);
        return false;
    }
    // 5, 6. MaxWanEndpoints always first, so WanEndpoints never exceeds what is admitted.
    const bool written = WriteCount(key, L"MaxWanEndpoints", record.newMaxWanEndpoints) &&
                         WriteCount(key, L"WanEndpoints", record.newWanEndpoints);
    // 7.
    RegCloseKey(key);
    return written;
}
