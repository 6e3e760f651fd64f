// The controller of the main dialog: defaults, command dispatch, links and the closing sequence.
#pragma once

#include <windows.h>

#include "connection_kind.h"

// The dialog procedure of IDD_MAIN. Returns TRUE for WM_INITDIALOG and FALSE for everything
// else, including the WM_COMMAND and WM_NOTIFY messages it handles.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Sets the controls' defaults for the Windows version found (before or from Vista).
void InitDialogDefaults(HWND dialog);

// Routes a WM_COMMAND by control id; ids without an action, IDOK included, do nothing.
void DispatchCommand(HWND dialog, int id);

// Enables one half's two DNS boxes when its automatic-DNS box is clear, disables them when it
// is ticked; the addresses in them stay.
void SyncDnsBoxes(HWND dialog, ConnectionKind kind);

// Asks about a restart when the endpoint count was changed, releases the endpoint record, stops
// the music and ends the dialog.
void CloseMainDialog(HWND dialog);
