// Named mutexes within the process. Ownership is per thread and recursive,
// as with Win32 mutexes; the same name opens the same mutex.
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "internal.h"

namespace {

struct MutexState {
    std::mutex lock;
    std::condition_variable released;
    std::thread::id owner;
    int count = 0;
    std::string name;
};

std::mutex namesLock;
std::map<std::string, std::weak_ptr<MutexState>> names;

struct MutexObject : w32::KernelObject {
    std::shared_ptr<MutexState> state;
    bool Close() override { return true; }
};

MutexObject* FindMutex(HANDLE handle) {
    return static_cast<MutexObject*>(w32::FindObject(handle, w32::kMutex));
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name) {
    std::shared_ptr<MutexState> state;
    bool existed = false;
    if (name && *name) {
        std::lock_guard<std::mutex> hold(namesLock);
        state = names[name].lock();
        existed = state != nullptr;
        if (!state) {
            state = std::make_shared<MutexState>();
            state->name = name;
            names[name] = state;
        }
    } else {
        state = std::make_shared<MutexState>();
    }
    if (initialOwner && !existed) {
        std::lock_guard<std::mutex> hold(state->lock);
        state->owner = std::this_thread::get_id();
        state->count = 1;
    }
    auto* object = new MutexObject;
    object->kind = w32::kMutex;
    object->state = state;
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return w32::AddObject(object);
}

BOOL WINAPI ReleaseMutex(HANDLE handle) {
    MutexObject* object = FindMutex(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    MutexState& s = *object->state;
    std::lock_guard<std::mutex> hold(s.lock);
    if (s.count == 0 || s.owner != std::this_thread::get_id()) {
        SetLastError(288);  // ERROR_NOT_OWNER
        return FALSE;
    }
    if (--s.count == 0) {
        s.owner = std::thread::id();
        s.released.notify_one();
    }
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    MutexObject* object = FindMutex(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::shared_ptr<MutexState> state = object->state;  // survives a racing CloseHandle
    std::unique_lock<std::mutex> hold(state->lock);
    auto me = std::this_thread::get_id();
    auto free = [&] { return state->count == 0 || state->owner == me; };
    if (milliseconds == INFINITE) {
        state->released.wait(hold, free);
    } else if (!state->released.wait_for(hold, std::chrono::milliseconds(milliseconds), free)) {
        return WAIT_TIMEOUT;
    }
    state->owner = me;
    state->count++;
    return WAIT_OBJECT_0;
}
}
