// Reading and writing the tools' files with the system's own calls: UTF-8 names through the wide
// calls on Windows, and a temporary file renamed over the output once it is complete.
#include "tool_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
std::wstring Wide(const std::string& text) {
    int count = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(count > 0 ? count : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], count);
    wide.resize(wide.size() - 1);
    return wide;
}

// The system's text for a Windows error code, without its line end.
std::string WindowsReason(DWORD error) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   text, sizeof text, nullptr);
    std::string reason = text;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == '.' || reason.back() == ' '))
        reason.pop_back();
    return reason.empty() ? "error " + std::to_string(error) : reason;
}

FILE* OpenFile(const std::string& path) {
    return _wfopen(Wide(path).c_str(), L"rb");
}

FILE* StandardStream(FILE* stream) {
    _setmode(_fileno(stream), _O_BINARY);
    return stream;
}

// A new file of its own under `name` (never one that exists), open for writing, or null.
FILE* CreateNew(const std::string& name, const std::string&) {
    int file = _wopen(Wide(name).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                      _S_IREAD | _S_IWRITE);
    return file < 0 ? nullptr : _fdopen(file, "wb");
}

unsigned long ProcessId() {
    return GetCurrentProcessId();
}

int RemoveFile(const std::string& name) {
    return _wremove(Wide(name).c_str());
}

// Replaces `to` by `from`; the system's reason in `why` when it cannot.
bool Rename(const std::string& from, const std::string& to, std::string& why) {
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    why = WindowsReason(GetLastError());
    return false;
}

bool FileIdentity(const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file =
        CreateFileW(Wide(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known;
}

bool SameExistingFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION x = {}, y = {};
    return FileIdentity(a, x) && FileIdentity(b, y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool SyncToDisk(FILE* file) {
    return _commit(_fileno(file)) == 0;
}

std::string FinalName(const std::string& path) {
    return path;
}
#else
FILE* OpenFile(const std::string& path) {
    return std::fopen(path.c_str(), "rb");
}

FILE* StandardStream(FILE* stream) {
    return stream;
}

// A new file of its own under `name` (never one that exists), open for writing, or null. It
// gets the permissions of the file `final` it will replace, or those a new file gets.
FILE* CreateNew(const std::string& name, const std::string& final) {
    int file = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0) return nullptr;
    struct stat existing = {};
    mode_t mask = umask(0);
    umask(mask);
    mode_t mode = stat(final.c_str(), &existing) == 0 ? existing.st_mode & 07777 : 0666 & ~mask;
    fchmod(file, mode);
    return fdopen(file, "wb");
}

unsigned long ProcessId() {
    return static_cast<unsigned long>(getpid());
}

int RemoveFile(const std::string& name) {
    return unlink(name.c_str());
}

bool Rename(const std::string& from, const std::string& to, std::string& why) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    why = SystemReason(errno);
    return false;
}

bool SameExistingFile(const std::string& a, const std::string& b) {
    struct stat x = {}, y = {};
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

bool SyncToDisk(FILE* file) {
    return fsync(fileno(file)) == 0 || errno == EINVAL;
}

// The file a symbolic link leads to, so that the new file replaces that file, as a write
// through the link would, rather than the link itself.
std::string FinalName(const std::string& path) {
    struct stat link = {};
    if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char* target = realpath(path.c_str(), nullptr);
    if (target == nullptr) return path;
    std::string resolved = target;
    std::free(target);
    return resolved;
}
#endif

// A temporary file beside `path`, opened for writing; its name goes to `temporary`.
FILE* CreateTemporary(const std::string& path, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path + ".part-" + std::to_string(ProcessId()) + "-" + std::to_string(attempt);
        FILE* file = CreateNew(temporary, path);
        if (file != nullptr || errno != EEXIST) return file;
    }
    return nullptr;
}

} // namespace

std::string SystemReason(int error) {
    return std::strerror(error);
}

bool ReadInputFile(const std::string& path, std::string& bytes, std::string& why) {
    FILE* file = path == "-" ? StandardStream(stdin) : OpenFile(path);
    if (file == nullptr) {
        why = SystemReason(errno);
        return false;
    }
    bytes.clear();
    char chunk[65536];
    size_t got;
    errno = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    bool read = std::ferror(file) == 0;
    if (!read) why = SystemReason(errno != 0 ? errno : EIO);
    if (file != stdin) std::fclose(file);
    return read;
}

bool SameFile(const std::string& a, const std::string& b) {
    return a != "-" && b != "-" && SameExistingFile(a, b);
}

bool OutputFile::Open(const std::string& path) {
    Abandon();
    path_ = path;
    why_.clear();
    if (path == "-") {
        file_ = StandardStream(stdout);
        return true;
    }
    path_ = FinalName(path);
    errno = 0;
    file_ = CreateTemporary(path_, temporary_);
    if (file_ == nullptr) return Fail(SystemReason(errno != 0 ? errno : EIO));
    return true;
}

bool OutputFile::Write(const void* data, size_t size) {
    if (file_ == nullptr) return false;
    errno = 0;
    if (std::fwrite(data, 1, size, file_) == size) return true;
    return Fail(SystemReason(errno != 0 ? errno : EIO));
}

bool OutputFile::Commit() {
    if (file_ == nullptr) return false;
    errno = 0;
    if (std::fflush(file_) != 0) return Fail(SystemReason(errno != 0 ? errno : EIO));
    if (file_ == stdout) {
        file_ = nullptr;
        return true;
    }
    if (!SyncToDisk(file_)) return Fail(SystemReason(errno));
    FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) return Fail(SystemReason(errno != 0 ? errno : EIO));
    std::string why;
    if (!Rename(temporary_, path_, why)) return Fail(why);
    temporary_.clear();
    return true;
}

void OutputFile::Abandon() {
    if (file_ != nullptr && file_ != stdout) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) RemoveFile(temporary_);
    temporary_.clear();
}

bool OutputFile::Fail(const std::string& why) {
    why_ = why;
    Abandon();
    return false;
}

bool WriteOutputFile(const std::string& path, const std::string& bytes, std::string& why) {
    OutputFile file;
    bool written = file.Open(path) && file.Write(bytes.data(), bytes.size()) && file.Commit();
    if (!written) why = file.Why();
    return written;
}
