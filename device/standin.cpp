// Stand-in for the camera bring-up and the frame path until they are built:
// the device record exists so that channels open and close, but no camera
// is driven, so every camera operation answers failure.
#include "device.h"

#include <string.h>

struct StandInDevice {
    HLOCAL memory;
    DWORD port;
};

static HLOCAL selectedDevice = NULL;

HLOCAL CreateTARNDevice(const char* iniPath, DWORD* port, DWORD* error) {
    HLOCAL memory = LocalAlloc(LHND, sizeof(StandInDevice));
    StandInDevice* device = memory ? (StandInDevice*)LocalLock(memory) : NULL;
    if (!device) {
        if (memory) LocalFree(memory);
        if (error) *error = 1;
        return NULL;
    }
    device->memory = memory;
    device->port = port && *port >= 1 && *port <= 3 ? *port : 1;
    if (port) *port = device->port;
    if (error) *error = 0;
    LocalUnlock(memory);
    return memory;
}

void DestroyTARNDevice(HLOCAL device, const char* iniPath) {
    if (!device) return;
    if (selectedDevice == device) selectedDevice = NULL;
    LocalFree(device);
}

void* SelectTARNDevice(HLOCAL device) {
    void* address = device ? LocalLock(device) : NULL;
    if (address) {
        LocalUnlock(device);
        selectedDevice = device;
    }
    return address;
}

BOOL EnableTARNDevices(void) {
    selectedDevice = NULL;
    return TRUE;
}

BOOL DisableTARNDevices(void) {
    return TRUE;
}

int CaptureFrame(BYTE* data, DWORD length, DWORD* captureTime, int onlyIfReady) {
    return 0;
}

BOOL PauseFrameGrabbing(int pause) {
    return selectedDevice != NULL;
}

BOOL SetImageFormat(const BITMAPINFOHEADER* format) {
    return FALSE;
}

BOOL GetImageFormat(BITMAPINFOHEADER* format) {
    if (format) memset(format, 0, sizeof *format);
    return FALSE;
}

DWORD GetDecoderPalette(void* destination) {
    return 0;
}

void SetDecoderPalette(const void* palette) {}

BOOL GetFrameRate(DWORD* step, DWORD* automatic, WORD* period) {
    if (step) *step = 1;
    if (automatic) *automatic = 1;
    if (period) *period = 33;
    return TRUE;
}

WORD GetFrameRateTarget(void) {
    return 0;
}

BOOL SetFrameRateTarget(WORD framesPerSecond) {
    return TRUE;
}

BOOL GF_InitFrameStream(DWORD skip, DWORD unused) {
    return FALSE;
}

BOOL GF_FiniFrameStream(void) {
    return FALSE;
}

BOOL GF_StartFrameStream(void) {
    return FALSE;
}

BOOL GF_StopFrameStream(void) {
    return FALSE;
}
