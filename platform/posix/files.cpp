// Files through POSIX descriptors, with the CreateFileA/ReadFile/SetFilePointer contract the
// player's file source relies on.
#include "platform.h"
#include "posix/handle_object.h"

#include <fcntl.h>
#include <new>
#include <unistd.h>

namespace {

struct FileObject : HandleObject {
    int fd;
    explicit FileObject(int descriptor) : fd(descriptor) {}
    ~FileObject() override { ::close(fd); }
};

FileObject* AsFile(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    return dynamic_cast<FileObject*>(static_cast<HandleObject*>(handle));
}

} // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE) {
    if (name == nullptr || access != GENERIC_READ || disposition != OPEN_EXISTING)
        return INVALID_HANDLE_VALUE;
    int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    auto* file = new (std::nothrow) FileObject(fd);
    if (file == nullptr) {
        ::close(fd);
        return INVALID_HANDLE_VALUE;
    }
    return static_cast<HandleObject*>(file);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytes, DWORD* bytesRead, void*) {
    if (bytesRead) *bytesRead = 0;
    FileObject* file = AsFile(handle);
    if (file == nullptr) return FALSE;
    DWORD total = 0;
    while (total < bytes) {
        ssize_t got = ::read(file->fd, static_cast<char*>(buffer) + total, bytes - total);
        if (got < 0) return FALSE;
        if (got == 0) break;
        total += static_cast<DWORD>(got);
    }
    if (bytesRead) *bytesRead = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method) {
    FileObject* file = AsFile(handle);
    if (file == nullptr || distanceHigh != nullptr || method > FILE_CURRENT)
        return INVALID_SET_FILE_POINTER;
    off_t target = ::lseek(file->fd, distance, method == FILE_BEGIN ? SEEK_SET : SEEK_CUR);
    if (target < 0 || target > 0xFFFFFFFE) return INVALID_SET_FILE_POINTER;
    return static_cast<DWORD>(target);
}

BOOL CloseHandle(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return FALSE;
    delete static_cast<HandleObject*>(handle);
    return TRUE;
}
