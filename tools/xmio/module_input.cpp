// Reading a tool's input module and judging what it holds.
#include "module_input.h"
#include "module_image.h"
#include "tool_files.h"

ModuleInput ReadModuleInput(const std::string& path) {
    ModuleInput input;
    if (!ReadInputFile(path, input.bytes, input.unreadable)) return input;
    LoadFailure outcome = ReadModuleImage(input.bytes.data(), input.bytes.size());
    input.layout = WalkXmFile(input.bytes);
    if (outcome != LoadFailure::None) {
        input.refused = RefusalText(LoadFailureText(outcome), input.layout);
        return input;
    }
    input.cutShort = CutShortText(input.layout, input.bytes.size());
    input.trimmed = TrimmedTailText(input.layout, input.bytes.size());
    return input;
}

std::string InputFault(const ModuleInput& input, const std::string& refusal) {
    if (!input.unreadable.empty()) return "cannot be read: " + input.unreadable;
    if (!input.refused.empty()) return refusal + ": " + input.refused;
    return "";
}
