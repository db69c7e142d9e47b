// Named mutexes, system-wide as on Windows. Ownership is per thread and
// recursive, as with Win32 mutexes; the same name opens the same mutex.
// Within the process the threads wait on a condition; between processes
// the owner holds a lock on a file named after the mutex in the Windows
// directory, which the system lets go when its process ends. The owner's
// process id is written in that file while it owns the mutex, so the next
// owner after a process that ended holding it learns so (WAIT_ABANDONED).
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
    int fileFd = -1;  // the lock file of a named mutex; -1 for a mutex of this process alone
    ~MutexState() {
        if (fileFd >= 0) ::close(fileFd);
    }
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

// The file beside the others of the Windows directory; a name's characters
// that a file name cannot hold become '_'. Without the folder the mutex
// still serves the threads of this process.
int OpenMutexFile(const std::string& name) {
    std::string folder = PosixWindowsDirectory();
    w32::MakeDirectories(folder);
    std::string file = name;
    for (char& c : file)
        if (c == '/' || c == '\\' || c == '\0') c = '_';
    return ::open((folder + "/" + file + ".mutex").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

// A write that fails leaves the file as it was: the next owner may take the
// mutex for abandoned, and owns it all the same.
void WriteOwner(int fd, pid_t owner) {
    ssize_t written = pwrite(fd, &owner, sizeof owner, 0);
    (void)written;
}

// Takes the lock file for this process, waiting at most until the deadline
// (none: for ever). WAIT_OBJECT_0, WAIT_ABANDONED or WAIT_TIMEOUT.
DWORD TakeMutexFile(int fd, const std::chrono::steady_clock::time_point* deadline) {
    if (fd < 0) return WAIT_OBJECT_0;
    if (!deadline) {
        while (flock(fd, LOCK_EX) != 0)
            if (errno != EINTR) return WAIT_OBJECT_0;
    } else {
        while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (std::chrono::steady_clock::now() >= *deadline) return WAIT_TIMEOUT;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    pid_t previous = 0;
    bool abandoned = pread(fd, &previous, sizeof previous, 0) == static_cast<ssize_t>(sizeof previous) && previous != 0;
    WriteOwner(fd, getpid());
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

void ReleaseMutexFile(int fd) {
    if (fd < 0) return;
    WriteOwner(fd, 0);
    flock(fd, LOCK_UN);
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
            state->fileFd = OpenMutexFile(name);
            names[name] = state;
        }
    } else {
        state = std::make_shared<MutexState>();
    }
    if (initialOwner && !existed) {
        std::unique_lock<std::mutex> hold(state->lock);
        state->owner = std::this_thread::get_id();
        state->count = 1;
        hold.unlock();
        TakeMutexFile(state->fileFd, nullptr);
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
        ReleaseMutexFile(s.fileFd);
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
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    if (milliseconds == INFINITE) {
        state->released.wait(hold, free);
    } else if (!state->released.wait_until(hold, deadline, free)) {
        return WAIT_TIMEOUT;
    }
    if (state->count > 0) {  // this thread's already: one more level
        state->count++;
        return WAIT_OBJECT_0;
    }
    // Claimed within the process; the other processes are waited for
    // without holding up this process's threads, which see it owned.
    state->owner = me;
    state->count = 1;
    hold.unlock();
    DWORD result = TakeMutexFile(state->fileFd, milliseconds == INFINITE ? nullptr : &deadline);
    if (result == WAIT_TIMEOUT) {
        hold.lock();
        state->count = 0;
        state->owner = std::thread::id();
        state->released.notify_one();
    }
    return result;
}
}
