// The message boxes around the RAS wizard: no owner window and the caption " " (one blank).
#pragma once

#include <windows.h>

// Shows `text` with `icon` (MB_ICONERROR, MB_ICONINFORMATION).
void ShowWizardBox(const wchar_t* text, UINT icon);

// Shows `format` with one number filled in, as wsprintfW does.
void ShowWizardCodeBox(const wchar_t* format, DWORD code, UINT icon);

// "HeapAlloc() failed" with an error icon.
void ShowHeapFailure();
