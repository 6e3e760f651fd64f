// Builds and inspects the network adapter class key through the registry functions.
#include "adapter_registry.h"

#include <sddl.h>
#include <shlwapi.h>

const wchar_t kAdapterClass[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
const wchar_t kReadOnlyAccess[] = L"D:P(A;;KR;;;WD)";
const wchar_t kNoAccess[] = L"D:P";

namespace {

const wchar_t kFullAccess[] = L"D:P(A;;KA;;;WD)";

// Components a system lists beside the PPPoE miniport in the same class.
const wchar_t* const kOtherComponents[] = {L"ms_l2tpminiport", L"ms_pptpminiport", L"ms_ndiswanip",
                                           L"ms_ndiswanipv6", L"pci\\ven_8086"};

bool SetSecurity(const std::wstring& path, const wchar_t* sddl) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) {
        return false;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    bool done = ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                     &descriptor, nullptr) &&
                RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    LocalFree(descriptor);
    RegCloseKey(key);
    return done;
}

} // namespace

std::wstring InstanceName(int number) {
    wchar_t name[8];
    wsprintfW(name, L"%04d", number);
    return name;
}

std::wstring InstancePath(int number) {
    return std::wstring(kAdapterClass) + L"\\" + InstanceName(number);
}

InstanceKey::InstanceKey(int number) {
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, InstancePath(number).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key_, nullptr);
}

InstanceKey::~InstanceKey() {
    if (key_ != nullptr) RegCloseKey(key_);
}

InstanceKey& InstanceKey::String(const wchar_t* name, const wchar_t* text) {
    const DWORD units = lstrlenW(text) + 1U; // with the terminator
    return Raw(name, REG_SZ, text, units * static_cast<DWORD>(sizeof(wchar_t)));
}

InstanceKey& InstanceKey::Dword(const wchar_t* name, DWORD value) {
    return Raw(name, REG_DWORD, &value, sizeof value);
}

InstanceKey& InstanceKey::Raw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size);
    return *this;
}

void RemoveAdapterClass() {
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kAdapterClass);
}

void ResetAdapterClass() {
    RemoveAdapterClass();
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kAdapterClass, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
    }
}

void AddOtherAdapters(int count) {
    for (int number = 0; number < count; ++number) {
        InstanceKey(number)
            .String(L"ComponentId", kOtherComponents[number % 5])
            .Dword(L"WanEndpoints", 7)
            .Dword(L"MaxWanEndpoints", 7);
    }
}

void AddPppoeMiniport(int number, DWORD wanEndpoints, DWORD maxWanEndpoints) {
    InstanceKey(number)
        .String(L"ComponentId", L"ms_pppoeminiport")
        .Dword(L"WanEndpoints", wanEndpoints)
        .Dword(L"MaxWanEndpoints", maxWanEndpoints);
}

StoredValue ReadStored(int number, const wchar_t* name) {
    StoredValue stored{false, REG_NONE, 0};
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, InstancePath(number).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return stored;
    }
    DWORD size = sizeof stored.value;
    stored.present =
        RegQueryValueExW(key, name, nullptr, &stored.type, reinterpret_cast<BYTE*>(&stored.value),
                         &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return stored;
}

KeyAccess::KeyAccess(const std::wstring& path, const wchar_t* sddl)
    : path_(path), applied_(SetSecurity(path, sddl)) {}

KeyAccess::~KeyAccess() {
    if (applied_) SetSecurity(path_, kFullAccess);
}
