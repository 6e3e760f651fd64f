// Resources: byte images linked into the program, registered at start-up under a name or an
// integer id and a type, and found again through FindResourceA/LoadResource/SizeofResource.
#include "platform.h"
#include "posix/resource_registry.h"

#include <strings.h>

namespace {

struct ResourceEntry {
    HMODULE module;
    const char* name; // integer id when IS_INTRESOURCE
    const char* type;
    const void* bytes;
    DWORD size;
};

const int kMaxResources = 64;
ResourceEntry gResources[kMaxResources];
int gResourceCount = 0;

// Integer ids match by value, names without regard to case, as the system matches them.
bool SameResourceName(LPCSTR a, LPCSTR b) {
    if (IS_INTRESOURCE(a) || IS_INTRESOURCE(b)) return a == b;
    return strcasecmp(a, b) == 0;
}

} // namespace

bool RegisterResourceImage(HMODULE module, LPCSTR name, LPCSTR type, const void* bytes,
                           DWORD size) {
    if (gResourceCount == kMaxResources || name == nullptr || type == nullptr) return false;
    gResources[gResourceCount++] = ResourceEntry{module, name, type, bytes, size};
    return true;
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
    if (name == nullptr || type == nullptr) return nullptr;
    for (int i = 0; i < gResourceCount; ++i) {
        const ResourceEntry& entry = gResources[i];
        if (entry.module == module && SameResourceName(entry.name, name) &&
            SameResourceName(entry.type, type))
            return const_cast<ResourceEntry*>(&entry);
    }
    return nullptr;
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    return resource ? const_cast<void*>(static_cast<ResourceEntry*>(resource)->bytes) : nullptr;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    return resource ? static_cast<ResourceEntry*>(resource)->size : 0;
}
