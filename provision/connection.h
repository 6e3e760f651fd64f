// Connection creation: reads one half of the main dialog, runs the RAS wizard for a new
// broadband entry with the provider's name proposed, stores the credentials (before Vista) and
// tunes the created phonebook entry. Every outcome is a message box; nothing is returned.
#pragma once

#include <windows.h>
#include <ras.h>

#include "connection_kind.h"

// The IPv6 bit of RASENTRYW::dwfNetProtocols (Vista and later); older headers lack it.
#ifndef RASNP_Ipv6
#define RASNP_Ipv6 0x00000008
#endif

// The controls of both halves and the dialog, as one press of a create button hands them on.
struct ConnectionForm {
    int localUserId;
    int internetUserId;
    int localPasswordId;
    int internetPasswordId;
    int internetDnsId;
    int internetDnsAltId;
    int localDnsId;
    int localDnsAltId;
    int localAutoDnsId;
    int internetAutoDnsId;
    int localNoIpv6Id;
    int internetNoIpv6Id;
    HWND dialog;
};

// Handles a press of one half's "Создать подключение" button: fills a form for the dialog,
// reads the half of `kind` and creates and tunes its connection.
void CreateConnection(HWND dialog, ConnectionKind kind);

// Reads the half of `kind` from the form's dialog (user name and password cut to 254
// characters, the disable-IPv6 box from Vista on, the DNS boxes unless DNS is automatic) and
// runs ConfigureConnection with it.
void ReadConnectionForm(const ConnectionForm* form, ConnectionKind kind);

// Runs the wizard with `proposedName`; when it created an entry, stores the credentials before
// Vista and then reads the entry, changes it as asked and writes it back. Always returns 0.
int ConfigureConnection(const wchar_t* proposedName, const wchar_t* userName,
                        const wchar_t* password, bool keepDefaultGateway, bool disableIpv6,
                        bool setDnsServers, RASIPADDR dns, RASIPADDR dnsAlt);

// Runs the system's wizard for a new broadband entry and shows how it ended. On creation
// `finalName` (room for RAS_MaxEntryName + 1 units) receives the entry's name and `created`
// turns true. Returns 0 after creation, else the wizard's error or a heap failure code.
DWORD RunEntryWizard(const wchar_t* proposedName, wchar_t* finalName, bool* created);

// An IP address control's packed address (first dotted field in the top byte) as a RASIPADDR.
RASIPADDR RasIpAddressFromPacked(DWORD packed);

// The changes a request makes to an entry read back from the phonebook: clears the remote
// default gateway unless it is kept, clears IPv6 when asked, and sets the specific name
// servers with both addresses when asked. Nothing else changes.
void ChangeEntry(RASENTRYW* entry, bool keepDefaultGateway, bool disableIpv6, bool setDnsServers,
                 RASIPADDR dns, RASIPADDR dnsAlt);
