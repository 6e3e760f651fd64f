// Which half of the main dialog, and which connection, a command concerns.
#pragma once

// Internet is the left half (entry "zet-internet"), Local the right half (entry "zet-local").
enum ConnectionKind { Internet = 0, Local = 1 };
