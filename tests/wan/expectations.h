// What the WAN tests expect to see, shared by the in-process and the driven tests: the
// program's texts, the system error box and the counts stored in an instance key.
#pragma once

#include <windows.h>

#include "box_recorder.h"

extern const wchar_t kSuccessText[];
extern const wchar_t kAdministratorText[];
extern const wchar_t kRestartQuestion[];

// Whether `box` is the system error box for `code`: "Error <code>: <system text>", captioned
// "Ошибка", without an owner.
bool IsSystemErrorBox(const SeenBox& box, DWORD code);

// Expects instance `number` to hold both counts as REG_DWORD values.
void ExpectStoredCounts(int number, DWORD wanEndpoints, DWORD maxWanEndpoints);
