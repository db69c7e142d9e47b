// Process handles: enough to learn whether a process is still running. A
// process here is a POSIX process; one that has ended (or never was) has no
// handle, as on Windows, and one that is running answers STILL_ACTIVE. An
// ended process its parent has not reaped yet counts as ended.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "internal.h"

namespace {

struct ProcessObject : w32::KernelObject {
    pid_t pid = 0;
    bool Close() override { return true; }
};

// Whether the process has ended but not yet been reaped by its parent (a
// zombie): it still has its id, but it runs no more. Where /proc cannot
// tell, the answer is no.
bool Zombie(pid_t pid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* file = fopen(path, "r");
    if (!file) return false;
    char line[512];
    size_t got = fread(line, 1, sizeof line - 1, file);
    fclose(file);
    line[got] = 0;
    // "pid (name) S ...": the state follows the last ')', as the name may
    // hold one itself.
    const char* close = strrchr(line, ')');
    return close && close[1] == ' ' && (close[2] == 'Z' || close[2] == 'X');
}

// A process that exists and runs, ours to signal or not.
bool Running(pid_t pid) {
    return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM) && !Zombie(pid);
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
