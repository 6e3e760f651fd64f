// Threads through the standard library behind the Win32 names: a thread handle is a HandleObject
// that CloseHandle deletes; closing a thread that was never waited for lets it run on detached.
// Tests can make thread creation fail, as it does on a system out of resources.
#include "platform.h"
#include "posix/handle_object.h"
#include "posix/thread_control.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace {

const DWORD kWaitTimeout = 0x102;
const DWORD kWaitFailed = 0xFFFFFFFFu;

std::atomic<bool> gCreationRefused{false};

// What the thread and its handle share: the handle may go first (detached thread).
struct ThreadEnd {
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
};

struct ThreadObject : HandleObject {
    std::shared_ptr<ThreadEnd> end = std::make_shared<ThreadEnd>();
    std::thread thread;
    ~ThreadObject() override {
        if (thread.joinable()) thread.detach();
    }
};

ThreadObject* AsThread(HANDLE handle) {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): INVALID_HANDLE_VALUE is the system's constant
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    return dynamic_cast<ThreadObject*>(static_cast<HandleObject*>(handle));
}

} // namespace

HANDLE CreateThread(void*, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    DWORD* threadId) {
    if (start == nullptr || gCreationRefused) return nullptr;
    auto* object = new (std::nothrow) ThreadObject;
    if (object == nullptr) return nullptr;
    std::shared_ptr<ThreadEnd> end = object->end;
    object->thread = std::thread([start, parameter, end] {
        start(parameter);
        std::lock_guard<std::mutex> lock(end->mutex);
        end->finished = true;
        end->ended.notify_all();
    });
    if (threadId) *threadId = 0;
    return static_cast<HandleObject*>(object);
}

// Priorities are the system scheduler's business here; the render thread runs at the default.
BOOL SetThreadPriority(HANDLE thread, int) {
    return AsThread(thread) ? TRUE : FALSE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    ThreadObject* object = AsThread(handle);
    if (object == nullptr) return kWaitFailed;
    if (milliseconds != INFINITE) {
        std::unique_lock<std::mutex> lock(object->end->mutex);
        if (!object->end->ended.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                         [&] { return object->end->finished; }))
            return kWaitTimeout;
    }
    if (object->thread.joinable()) object->thread.join();
    return WAIT_OBJECT_0;
}

void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SetThreadCreationRefused(bool refused) {
    gCreationRefused = refused;
}
