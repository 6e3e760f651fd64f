// The entry of the XM tools. Every tool defines ToolMain; the shared entry calls it with the
// command line in UTF-8, taken from the wide command line on Windows so that any file name
// reaches the tool intact.
#pragma once

int ToolMain(int argc, char** argv);
