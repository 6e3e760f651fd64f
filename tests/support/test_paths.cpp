// Paths and whole-file reads for tests.
#include "test_paths.h"

#include <cstdio>

std::string SharedDataPath(const std::string& relative) {
    return std::string(LINKMEND_SHARED_DIR) + "/" + relative;
}

std::string SourcePath(const std::string& relative) {
    return std::string(LINKMEND_SOURCE_DIR) + "/" + relative;
}

std::string BinaryPath(const std::string& relative) {
    return std::string(LINKMEND_BINARY_DIR) + "/" + relative;
}

std::string ReadWholeFile(const std::string& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}
