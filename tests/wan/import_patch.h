// Swaps one entry of this program's import table, so that a test can watch a system call the
// code under test makes through its import (the code itself is unchanged).
#pragma once

// Points this program's import of `function` from `dll` at `replacement` until destroyed.
// original() is the system's function, so a replacement can pass calls on.
class ImportPatch {
  public:
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool active() const { return slot_ != nullptr; }
    void* original() const { return original_; }

  private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};
