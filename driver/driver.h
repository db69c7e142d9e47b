// The driver interface: DriverProc, channels and their messages.
#ifndef TARN2_DRIVER_DRIVER_H
#define TARN2_DRIVER_DRIVER_H

#include "../platform/win32.h"

// "vcap" read as a little-endian 32-bit value.
#define INSTANCE_TAG 0x70616376u

// The record behind each channel handle.
typedef struct DriverInstance {
    DWORD tag;
    DWORD channelType;
    DWORD openFlags;
} DriverInstance;

// Driver-wide state.
extern HINSTANCE moduleHandle;
extern WORD openCount;
extern WORD captureUsage;
extern WORD videoInUsage;
extern BOOL initialised;
extern DWORD portNumber;
extern HLOCAL deviceHandle;
extern char iniPath[MAX_PATH];
extern DWORD captureStartTime;
extern BITMAPINFOHEADER currentFormat;
extern DWORD goodFrames;
extern DWORD badFrames;

// The INI file name when the open string names none, and the language name
// when the registry holds none.
extern const char defaultIniName[];
extern const char defaultLanguageName[];

// Dialog resource ids chosen by the language selection.
extern UINT cameraSettingsDialogId;
extern UINT advancedSettingsDialogId;
extern UINT videoFormatDialogId;

#ifdef __cplusplus
extern "C" {
#endif
LRESULT CALLBACK DriverProc(DWORD_PTR dwDriverId, HDRVR hDriver, UINT uMsg, LPARAM lParam1, LPARAM lParam2);
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
#ifdef __cplusplus
}
#endif

// Channel open and close (DRV_OPEN and DRV_CLOSE of a real instance).
LRESULT OpenChannel(const char* openString, VIDEO_OPEN_PARMS* parms);
BOOL CloseChannel(HLOCAL instance);

// Every non-driver message of an opened channel.
DWORD DispatchChannelMessage(DWORD_PTR instance, UINT msg, LPARAM lParam1, LPARAM lParam2);
// Takes a frame into the header: mode 0 waits, mode 1 only if one is ready.
DWORD CaptureSingleFrame(VIDEOHDR* header, int mode);

// DVM_FORMAT and DVM_PALETTE.
DWORD FormatMessageHandler(DriverInstance* instance, UINT msg, LPARAM flags, LPARAM parms);
DWORD PaletteMessageHandler(DriverInstance* instance, UINT msg, LPARAM flags, LPARAM parms);
// A DVM_FORMAT SET whose biXPelsPerMeter carries a private marker.
BOOL IsPrivateMessage(const BITMAPINFOHEADER* request);
void HandlePrivateMessage(const BITMAPINFOHEADER* request);
// The read-back of a private read, fetched by the next GET with CURRENT.
extern BOOL privateReadPending;
extern DWORD privateReadValue;

// Driver start-up and the language selection.
BOOL DriverStartup(const char* openString);
int SelectLanguage(void);
void SetDialogIds(int language);

// The stream engine.
extern BOOL streamInitialised;
DWORD StreamMessage(DriverInstance* instance, UINT msg, LPARAM lParam1, LPARAM lParam2);
// Ends the stream's timer and waits for a tick in flight, for a driver
// about to be freed by a host that never ended its stream: no tick may run
// into a module that is gone. The queue and the camera stay as they are.
void StreamEndTimer(void);

#endif
