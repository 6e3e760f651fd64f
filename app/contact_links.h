// The addresses behind the link controls of the About and friends groups.
#pragma once

#include <windows.h>
#include <commctrl.h>

// On a click (NM_CLICK) on a link control, opens that control's address through the shell with
// the dialog as owner. Every other notification, NM_RETURN included, and every other control
// open nothing.
void OpenContactLink(HWND dialog, const NMHDR* header);
