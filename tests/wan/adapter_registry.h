// Prepares the network adapter class key of the registry the way a system has it (numbered
// instance keys with their ComponentId and values) and reads back what the program wrote.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The class key's path under HKEY_LOCAL_MACHINE.
extern const wchar_t kAdapterClass[];

// One instance key, "0000" to "9999", created with full access.
class InstanceKey {
  public:
    explicit InstanceKey(int number);
    ~InstanceKey();
    InstanceKey(const InstanceKey&) = delete;
    InstanceKey& operator=(const InstanceKey&) = delete;

    InstanceKey& String(const wchar_t* name, const wchar_t* text);
    InstanceKey& Dword(const wchar_t* name, DWORD value);
    // Any type and bytes, for values that are not what they should be.
    InstanceKey& Raw(const wchar_t* name, DWORD type, const void* data, DWORD size);

  private:
    HKEY key_ = nullptr;
};

// The four-digit name of an instance.
std::wstring InstanceName(int number);
// The path of an instance key under HKEY_LOCAL_MACHINE.
std::wstring InstancePath(int number);

// Removes the class key with everything under it and creates it empty.
void ResetAdapterClass();
// Removes the class key altogether.
void RemoveAdapterClass();

// Instances 0000 .. count-1 that are other network adapters.
void AddOtherAdapters(int count);
// Instance `number` as the PPPoE miniport with the two counts.
void AddPppoeMiniport(int number, DWORD wanEndpoints, DWORD maxWanEndpoints);

// A DWORD value as stored: type and data; `present` false when it cannot be read.
struct StoredValue {
    bool present;
    DWORD type;
    DWORD value;
};
StoredValue ReadStored(int number, const wchar_t* name);

// Gives a key under HKEY_LOCAL_MACHINE a security descriptor (SDDL) until destroyed, then
// restores full access for everyone, so the key can be cleaned up.
class KeyAccess {
  public:
    KeyAccess(const std::wstring& path, const wchar_t* sddl);
    ~KeyAccess();
    KeyAccess(const KeyAccess&) = delete;
    KeyAccess& operator=(const KeyAccess&) = delete;

    bool applied() const { return applied_; }

  private:
    std::wstring path_;
    bool applied_ = false;
};

// Security descriptors: reading only, and no access at all.
extern const wchar_t kReadOnlyAccess[];
extern const wchar_t kNoAccess[];
