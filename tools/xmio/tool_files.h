// Files as the XM tools use them: UTF-8 names on every system (the wide calls on Windows), "-"
// for standard input or output, the system's reason with every failure, and outputs that take
// their name only once they are complete.
#pragma once

#include <cstdio>
#include <string>

// The system's text for an errno value, such as "No such file or directory".
std::string SystemReason(int error);

// The whole of the file `path` ("-": standard input) into `bytes`; false with the system's
// reason in `why`.
bool ReadInputFile(const std::string& path, std::string& bytes, std::string& why);

// True when both names lead to one existing file (same device and file number, whatever the
// names say: links and other spellings included). "-" is never the same as a file.
bool SameFile(const std::string& a, const std::string& b);

// An output file written under a temporary name beside its own and renamed over it by Commit,
// so that an existing file keeps its contents until the new one is complete. "-" writes to
// standard output instead. After any failure the temporary file is gone, Why() tells the
// system's reason, and further writes are refused.
class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Abandon(); }

    bool Open(const std::string& path);
    bool Write(const void* data, size_t size);
    bool Commit();
    // Closes and removes the temporary file (nothing happens to the final name).
    void Abandon();
    const std::string& Why() const { return why_; }

  private:
    bool Fail(const std::string& why);

    std::string path_, temporary_, why_;
    FILE* file_ = nullptr;
};

// `bytes` as the whole contents of `path` through an OutputFile; false with the reason in `why`.
bool WriteOutputFile(const std::string& path, const std::string& bytes, std::string& why);
