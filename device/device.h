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
// A format as the device keeps it once it accepts it: "IYUV" is the layout
// of "I420" and the byte count is the device's own.
void NormaliseImageFormat(BITMAPINFOHEADER* format);
// The nearest valid size; 1 when the format's own size is valid.
int AmendImageSize(const BITMAPINFOHEADER* format, LONG* width, LONG* height);
// The window inside the sensor image; 1 when it is smaller than full CIF.
BOOL GetImageWindow(RECT* rectangle, DWORD* panTilt);
BOOL SetImageWindow(DWORD panTilt, const RECT* rectangle);

// The frame rate: the step (1..5), the automatic flag and the camera's frame
// period in milliseconds for the step (period may be null). Without a device:
// 0, and the places hold step 1 and its 33 ms.
BOOL GetFrameRate(DWORD* step, DWORD* automatic, WORD* period);
BOOL SetFrameRate(DWORD step, DWORD automatic);
// Frames per second that automatic compression aims at.
WORD GetFrameRateTarget(void);
BOOL SetFrameRateTarget(WORD framesPerSecond);

// The selected device's frame grabber (null without a device), for the
// stream engine's GF_ calls.
struct FrameGrabber* SelectedFrameGrabber(void);

// The decoder library's palette: with a null destination only its size in
// bytes; with one, also the palette copied there.
DWORD GetDecoderPalette(void* destination);
void SetDecoderPalette(const void* palette);

// Compression: mode 0 none, 1 automatic presets, 2 fixed quality.
BOOL SetCompressionSettings(LONG mode, LONG videoConf, WORD videoConfVal, WORD videoCapVal, WORD quality);
void GetCompressionSettings(LONG* mode, LONG* videoConf, WORD* videoConfVal, WORD* videoCapVal, WORD* quality);
BOOL SetCompressionQuality(LONG quality);
DWORD GetBanding(void);
BOOL SetBanding(DWORD flag);
BOOL GetDecimationFlag(void);
BOOL SetDecimationFlag(DWORD flag);
BOOL SetBacklight(DWORD flag);
DWORD GetBacklight(void);
// The camera's own results (0 success, -1 failure, also without a device)
// passed on.
int SetColourParams(DWORD brightness, DWORD contrast, DWORD colour);
int GetColourParams(DWORD* brightness, DWORD* contrast, DWORD* colour);
BOOL SetMainsFrequency(DWORD mains);
BOOL GetMainsFrequency(DWORD* mains);
WORD GetDeviceFirmwareVersion(void);
// The LPT number the camera was found on and the port's transfer-mode bits
// in use.
BOOL GetDevicePort(LONG* port, BYTE* portMode);
// The watch on the camera's input port and whether the watched bit was seen
// low since the last read; the read clears the event.
BOOL GetPortWatch(DWORD* watch, DWORD* event);
BOOL SetPortWatch(DWORD watch, DWORD event);
DWORD GetPortTransferMode(void);

#endif
