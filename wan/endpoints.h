// The WAN endpoint settings: the PPPoE WAN miniport adapter's endpoint counts in the registry,
// shown in and written from the main dialog's count box, and the restart a changed count needs.
#pragma once

#include <windows.h>

// The one record of the endpoint settings. The dialog controller owns it: it allocates it with
// new, hands it to the functions below, and at closing closes adapterKey (when it holds one) and
// deletes it.
struct WanEndpointState {
    HWND dialog;              // the main dialog
    int countEditId;          // the count box, IDC_ENDPOINTS
    DWORD oldWanEndpoints;    // WanEndpoints read when the dialog opened; 0 when not read
    DWORD oldMaxWanEndpoints; // MaxWanEndpoints read when the dialog opened; 0 when not read
    DWORD newWanEndpoints;    // WanEndpoints as last applied, whether or not the write worked
    DWORD newMaxWanEndpoints; // MaxWanEndpoints as last applied, likewise
    HKEY adapterKey;          // the adapter's instance key (KEY_QUERY_VALUE); null when none
};

// Fills a freshly allocated record for `dialog`: scans the registry for the adapter, keeps its
// key open in the record and writes the WanEndpoints read ("0" when none) into the count box.
void CreateEndpointState(HWND dialog, WanEndpointState& record);

// Scans the network adapter class for the PPPoE WAN miniport. True when it was found and its
// WanEndpoints read: *key is then its open instance key, which the caller closes. The counts
// are 0 when not read; *key is null on false. Failures of the scan are shown in error boxes.
bool FindPppoeMiniportKey(HKEY* key, DWORD* wanEndpoints, DWORD* maxWanEndpoints);

// "Применить": writes the count box into the registry through `record` and reports the outcome
// in a box owned by `dialog`.
void ApplyEndpointCount(HWND dialog, WanEndpointState& record);

// Reads the count box, stores the count and its MaxWanEndpoints in `record` and writes
// MaxWanEndpoints, then WanEndpoints, into the adapter's key. True when both were written;
// false, with nothing written anywhere, when the record holds no adapter key.
bool WriteEndpointCount(WanEndpointState& record);

// Enables the shutdown privilege and asks the system for a forced restart. True when the
// system accepted the request.
bool RestartComputer();
