// Shared pieces of the POSIX layer's own files; never included by the driver.
#ifndef TARN2_POSIX_INTERNAL_H
#define TARN2_POSIX_INTERNAL_H

#include <stdarg.h>

#include <string>

#include "../win32.h"
#include "posix_control.h"

namespace w32 {

// The wsprintf formatter with an explicit capacity (including the zero).
int FormatV(char* buffer, size_t capacity, const char* format, va_list args);

// A Windows path as the driver writes it (backslashes, maybe a bare name)
// turned into a POSIX path. A bare name is taken in the Windows directory
// only where Win32 does so (profile files); elsewhere it is relative.
std::string PosixPath(const char* windowsPath);
// Creates the folder and its parents; returns false if it cannot.
bool MakeDirectories(const std::string& path);

// Kernel objects behind HANDLE values: mutexes, devices, files. A handle is
// the address of its object; the table says whether an address is one.
enum ObjectKind { kMutex = 1, kDevice = 2, kFile = 3, kProcess = 4 };
struct KernelObject {
    ObjectKind kind;
    virtual ~KernelObject() = default;
    // Called by CloseHandle; returns false when the handle is not closable.
    virtual bool Close() = 0;
};
HANDLE AddObject(KernelObject* object);
KernelObject* FindObject(HANDLE handle, ObjectKind kind);
bool RemoveObject(HANDLE handle);

}  // namespace w32

#endif
