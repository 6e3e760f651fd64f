// The Windows version questions the dialog side asks. Each call asks the system afresh.
#pragma once

// True on Windows XP (5.1), Server 2003 (5.2) and every 6.x or later; false on Windows 2000 and
// older, and when the system does not answer.
bool IsWindowsXpOrLater();

// True on Windows Vista, Server 2008 and later (major version 6 or more); false when the system
// does not answer.
bool IsWindowsVistaOrLater();
