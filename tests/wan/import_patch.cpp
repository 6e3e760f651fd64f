// Finds a function's slot in the import address table of the program's own image and swaps it.
#include "import_patch.h"

#include <windows.h>

namespace {

void WriteSlot(void** slot, void* value) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
}

// The slot of the program's import table that holds `target`, or null.
void** FindSlot(const char* dll, void* target) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; entry->Name != 0; ++entry) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + entry->Name), dll) != 0) continue;
        auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; thunk->u1.Function != 0; ++thunk) {
            auto** slot = reinterpret_cast<void**>(&thunk->u1.Function);
            if (*slot == target) return slot;
        }
    }
    return nullptr;
}

} // namespace

ImportPatch::ImportPatch(const char* dll, const char* function, void* replacement) {
    HMODULE module = GetModuleHandleA(dll);
    if (module == nullptr) return;
    original_ = reinterpret_cast<void*>(GetProcAddress(module, function));
    slot_ = original_ != nullptr ? FindSlot(dll, original_) : nullptr;
    if (slot_ != nullptr) WriteSlot(slot_, replacement);
}

ImportPatch::~ImportPatch() {
    if (slot_ != nullptr) WriteSlot(slot_, original_);
}
