// Controls of the POSIX Win32 layer that Windows itself has no call for:
// the virtual clock, the device table, where the hive and the Windows
// directory live. Hosts, tests and the simulator use these; the driver
// never does.
#ifndef TARN2_POSIX_CONTROL_H
#define TARN2_POSIX_CONTROL_H

#include <stdint.h>

// A Windows program that hosts the simulator (the test program run under
// Wine) has the real types and supplies these few controls itself.
#ifdef _WIN32
#include <windows.h>
#else
#include "w32_base.h"
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The Windows directory: $TARN2_HOME, else ~/.local/share/tarn2. Created on
// first use. Setting it (tests do) also moves the registry hive and win.ini.
void PosixSetWindowsDirectory(const char* path);
const char* PosixWindowsDirectory(void);
// The registry hive file, "registry.reg" in the Windows directory.
const char* PosixHivePath(void);

// Clock. In real mode timeGetTime follows the monotonic clock. In virtual
// mode time stands still except that every timeGetTime call advances it by
// one millisecond (so a busy wait ends) and PosixClockAdvance moves it on;
// multimedia timers then fire in virtual time, on the thread that advances
// the clock, in due order.
void PosixClockSetVirtual(int enabled);
int PosixClockIsVirtual(void);
// Reads the clock without advancing it (for the simulator's own timing).
uint32_t PosixClockNow(void);
void PosixClockSet(uint32_t ms);
// Moves virtual time on by ms, firing every timer that falls due on the way.
void PosixClockAdvance(uint32_t ms);
// Fires due timers without moving time (virtual mode); returns how many.
int PosixClockRunDueTimers(void);
// The number of multimedia timers pending.
int PosixTimersPending(void);

// The device table behind CreateFileA/DeviceIoControl/CloseHandle for names
// of the form \\.\NAME. A device opened by name gets its own context.
typedef struct PosixDeviceOps {
    // Returns a context for one open handle, or null to refuse the open.
    void* (*open)(void* registration);
    // Carries out one request; returns non-zero on success and sets *returned.
    int (*control)(void* context, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned);
    void (*close)(void* context);
} PosixDeviceOps;

// Registers (or with ops null removes) the device NAME, e.g. "TARN2_0".
void PosixRegisterDevice(const char* name, const PosixDeviceOps* ops, void* registration);
// The device the layer falls back on for a name nobody registered. The
// simulator installs itself here for "TARN2_0".
void PosixSetDefaultDevice(const char* name, const PosixDeviceOps* ops, void* registration);
// Called once, at the first CreateFileA of a device, to install the default
// devices; the simulator (sim/) defines it, as an installed link driver
// would be part of the system.
void PosixInstallDefaultDevices(void);

// The number of live local and global memory blocks (leak checks).
long PosixLiveLocalBlocks(void);
long PosixLiveGlobalBlocks(void);
// How many times a handle that is no live block was locked, unlocked or
// freed (a block released twice, or used after its release).
long PosixBadMemoryHandles(void);

// Messages the layer writes for a person (damaged hive, bad scenario ...)
// go to stderr and are also kept, last first, for tests to read.
void PosixReportProblem(const char* text);
const char* PosixLastProblem(void);
void PosixClearProblems(void);

#ifdef __cplusplus
}
#endif

#endif
