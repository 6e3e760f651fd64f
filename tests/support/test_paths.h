// Where tests find their data, as the test program sees the file system (under Wine the Linux
// tree is reached through drive Z:).
#pragma once

#include <string>

// The shared test data folder (XM robustness files and the like), without a trailing slash.
std::string SharedDataPath(const std::string& relative);
// A file of this repository.
std::string SourcePath(const std::string& relative);
// A file of the build tree.
std::string BinaryPath(const std::string& relative);
// The whole contents of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
