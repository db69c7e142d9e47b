// The host side of tarncap: loads the driver as the system's driver manager
// does and sends it messages.
#ifndef TARNCAP_HOST_H
#define TARNCAP_HOST_H

#include <string>

#include "platform/win32.h"

struct Host {
    HMODULE module = nullptr;
    DRIVERPROC driverProc = nullptr;
    std::string error;
};

// Loads the driver module (default "mbktarn2u.drv") and finds DriverProc.
bool LoadDriver(Host& host, const char* name);
void UnloadDriver(Host& host);
// Sends a driver message, after the messages waiting for this thread.
LRESULT Send(Host& host, DWORD_PTR driverId, UINT msg, LPARAM lParam1, LPARAM lParam2);
// Runs this thread's message loop until its queue is empty, as a host does
// while it waits: the driver's trace window lives on this thread and gets
// its lines as posted messages.
void PumpMessages(void);

// Opens a channel of the given type (VIDEO_IN ...): the instance handle, or
// 0 with the driver's reason in *error. What the bring-up prints is shown
// only when it failed, or always after ShowBringUpOutput(true).
void ShowBringUpOutput(bool shown);
DWORD_PTR OpenChannel(Host& host, DWORD type, const char* openString, DWORD* error);

// The driver's registry key under HKEY_LOCAL_MACHINE.
extern const char kDriverRegistryKey[];

// Why the driver refused to open a channel of the given type, for a
// person: the reason, and for a channel in use, the process holding it.
std::string OpenRefusal(DWORD type, DWORD error);

const char* DvErrorName(DWORD code);
const char* ChannelName(DWORD type);

#endif
