// The command-line conventions the XM tools share: --help and -h, --version, "--name value" or
// "--name=value", "--" before file names that start with "-", and a usage error that names the
// fault and the way to help.
#pragma once

#include <string>
#include <vector>

struct ToolDescription {
    const char* name;                // "xmrender"
    const char* help;                // the full --help text
    std::vector<std::string> flags;  // options without a value, such as "--expand"
    std::vector<std::string> valued; // options that take a value, such as "--seconds"
};

struct CommandLine {
    std::vector<std::string> files;
    std::vector<std::pair<std::string, std::string>> options; // name and value ("" for flags)
};

// Splits the command line. Returns -1 when the tool goes on with `line`; otherwise the exit
// status to end with, after printing the help or the version on standard output (0) or a usage
// error on standard error (2).
int SplitCommandLine(int argc, char** argv, const ToolDescription& tool, CommandLine& line);

// Prints "NAME: MESSAGE" and the hint to --help on standard error; returns 2.
int UsageError(const char* tool, const std::string& message);
