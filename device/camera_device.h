// The one camera device record and the selection every device operation
// works on. Private to the device room and the settings load and save.
#ifndef TARN2_DEVICE_CAMERA_DEVICE_H
#define TARN2_DEVICE_CAMERA_DEVICE_H

#include "../camera/camera.h"
#include "../camera/viewport.h"
#include "grabber.h"

typedef struct CameraDevice {
    HLOCAL memory;
    LONG port;
    BYTE portMode;
    Link* link;
    CameraState* cameraState;
    Viewport* viewport;
    FrameGrabber* frameGrabber;
    DWORD panTiltMode;
    BITMAPINFOHEADER outputFormat;
    BITMAPINFOHEADER cameraFormat;
    DWORD bandingFilter;
    WORD firmwareVersion;
    WORD frameRateTarget;
    LONG compressionMode;
    LONG videoConf;
    WORD videoConfVal;
    WORD videoCapVal;
    WORD compressionQuality;
} CameraDevice;

// The selected device, or null. A device whose camera came up without its
// viewport and frame grabber is never selected, so every holder of a
// selected device may use all four owned records.
CameraDevice* SelectedDevice(void);

// Port detection.
Link* FindCameraPort(CameraDevice* device, LONG* port, BYTE mask, BYTE* detectedType);
Link* ProbeCameraPort(CameraDevice* device, LONG port, BYTE mask, BYTE* detectedType);

// Viewport operations.
Viewport* CreateViewport(void);
void ReleaseViewport(Viewport* viewport);
int AttachViewport(Viewport* viewport, Link* link);
int SetVideoSize(Viewport* viewport, BYTE size);
int SetYUVFormat(Viewport* viewport, BYTE subSample, BYTE order);
int SetWindow(Viewport* viewport, WORD colStart, WORD colEnd, WORD rowStart, WORD rowEnd);
int GetWindow(Viewport* viewport, WORD* colStart, WORD* colEnd, WORD* rowStart, WORD* rowEnd);
int SetCompression(Viewport* viewport, int mode, int decimation, int yThreshold, int uvThreshold);
int SetYUVThresholds(Viewport* viewport, int yThreshold, int uvThreshold);
int SetDecimation(Viewport* viewport, DWORD flag);
int GetDecimation(Viewport* viewport);
int AdaptCompression(Viewport* viewport, const BYTE* frameHeader, WORD callInterval, WORD lastDuration);

int SetTARNDefaults(void);

#endif
