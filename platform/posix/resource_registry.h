// How a program on this system makes a byte image available as a resource (a Windows program
// gets the same from its resource script).
#pragma once
#include "platform.h"

// Registers `size` bytes at `bytes` as resource `name` (a name or MAKEINTRESOURCEA id) of `type`
// in `module` (null = the program itself). The bytes must outlive every use. False when full.
bool RegisterResourceImage(HMODULE module, LPCSTR name, LPCSTR type, const void* bytes,
                           DWORD size);
