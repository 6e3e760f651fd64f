// Splitting the tools' command lines the way users of the usual command-line tools expect.
#include "tool_options.h"

#include <algorithm>
#include <cstdio>

namespace {

const char kVersion[] = "2.03";

bool Among(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// One option at argv[i] (i moves past its value); -1 to go on, else the exit status.
int TakeOption(int argc, char** argv, int& i, const ToolDescription& tool, CommandLine& line) {
    std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
        std::fputs(tool.help, stdout);
        return 0;
    }
    if (argument == "--version") {
        std::printf("%s (linkmend) %s\n", tool.name, kVersion);
        return 0;
    }
    size_t equals = argument.find('=');
    std::string name = argument.substr(0, equals);
    if (Among(tool.flags, argument)) {
        line.options.emplace_back(argument, "");
    } else if (Among(tool.valued, name) && equals != std::string::npos) {
        line.options.emplace_back(name, argument.substr(equals + 1));
    } else if (Among(tool.valued, name)) {
        if (i + 1 >= argc) return UsageError(tool.name, "option " + name + " needs a value");
        line.options.emplace_back(name, argv[++i]);
    } else {
        return UsageError(tool.name, "unknown option '" + argument + "'");
    }
    return -1;
}

} // namespace

int SplitCommandLine(int argc, char** argv, const ToolDescription& tool, CommandLine& line) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
            line.files.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else {
            int status = TakeOption(argc, argv, i, tool, line);
            if (status >= 0) return status;
        }
    }
    return -1;
}

int UsageError(const char* tool, const std::string& message) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", tool, message.c_str(),
                 tool);
    return 2;
}
