// Process handles: enough to learn whether a process is still running. A
// process here is a POSIX process; one that has ended (or never was) has no
// handle, as on Windows, and one that is running answers STILL_ACTIVE.
#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include "internal.h"

namespace {

struct ProcessObject : w32::KernelObject {
    pid_t pid = 0;
    bool Close() override { return true; }
};

// A process that exists, ours to signal or not.
bool Running(pid_t pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

}  // namespace

extern "C" {

DWORD WINAPI GetCurrentProcessId(void) {
    return static_cast<DWORD>(getpid());
}

HANDLE WINAPI OpenProcess(DWORD, BOOL, DWORD dwProcessId) {
    pid_t pid = static_cast<pid_t>(dwProcessId);
    if (dwProcessId > 0x7FFFFFFF || !Running(pid)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* object = new ProcessObject;
    object->kind = w32::kProcess;
    object->pid = pid;
    return w32::AddObject(object);
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    auto* object = static_cast<ProcessObject*>(w32::FindObject(hProcess, w32::kProcess));
    if (!object || !lpExitCode) {
        SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // The exit code of a process that is not our child is not known here.
    *lpExitCode = Running(object->pid) ? STILL_ACTIVE : 0;
    return TRUE;
}
}
