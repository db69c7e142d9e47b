// The one camera device: bring-up, selection, release, and the device
// operations that the driver interface calls.
#ifndef TARN2_DEVICE_DEVICE_H
#define TARN2_DEVICE_DEVICE_H

#include "../platform/win32.h"

// Brings a camera up. port: in, the preferred LPT number (0 none); out, the
// port found. error: out, 0 or the bring-up error code. Null on failure.
HLOCAL CreateTARNDevice(const char* iniPath, DWORD* port, DWORD* error);
// Stores the camera settings and releases the camera.
void DestroyTARNDevice(HLOCAL device, const char* iniPath);
// Makes the device current; returns its address, or null.
void* SelectTARNDevice(HLOCAL device);
// Driver enable and disable: the selection is cleared at enable.
BOOL EnableTARNDevices(void);
BOOL DisableTARNDevices(void);

// Takes one frame into the caller's buffer. 1 delivered, 0 failure,
// 2 no frame ready (only with onlyIfReady).
int CaptureFrame(BYTE* data, DWORD length, DWORD* captureTime, int onlyIfReady);
// 1 stops pipelined uploads, 0 lets them run again.
BOOL PauseFrameGrabbing(int pause);
// The capture format: SetImageFormat answers non-zero when it can deliver it.
BOOL SetImageFormat(const BITMAPINFOHEADER* format);
BOOL GetImageFormat(BITMAPINFOHEADER* format);

// The frame rate: the step (1..5), the automatic flag and the camera's frame
// period in milliseconds for the step (period may be null).
BOOL GetFrameRate(DWORD* step, DWORD* automatic, WORD* period);
// Frames per second that automatic compression aims at.
WORD GetFrameRateTarget(void);
BOOL SetFrameRateTarget(WORD framesPerSecond);

// The camera's own stream capture, on the selected device's frame grabber.
BOOL GF_InitFrameStream(DWORD skip, DWORD unused);
BOOL GF_FiniFrameStream(void);
BOOL GF_StartFrameStream(void);
BOOL GF_StopFrameStream(void);

// The decoder library's palette: with a null destination only its size in
// bytes; with one, also the palette copied there.
DWORD GetDecoderPalette(void* destination);
void SetDecoderPalette(const void* palette);

#endif
