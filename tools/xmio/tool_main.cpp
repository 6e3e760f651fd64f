// The shared entry of the XM tools: the command line in UTF-8 for ToolMain.
#include "tool_main.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::string Utf8(const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(bytes > 0 ? bytes : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], bytes, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

} // namespace

// The narrow command line holds only what the ANSI code page can say; the wide one holds every
// name.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(Utf8(argv[i]));
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(&argument[0]);
    pointers.push_back(nullptr);
    return ToolMain(argc, pointers.data());
}
#else
int main(int argc, char** argv) {
    return ToolMain(argc, argv);
}
#endif
