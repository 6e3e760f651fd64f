// The error box for Win32 error codes, shared by every part of the dialog side.
#pragma once

#include <windows.h>

// Shows "Error <code>: <system text>" in an ownerless box captioned "Ошибка" with an error icon.
// `code` points at the code to show; null means the calling thread's last error.
void ShowSystemError(const DWORD* code);
