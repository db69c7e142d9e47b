// The flat set of operations on the selected device that dialogs, channel
// and private messages, the stream engine and the settings load and save
// use. Each records what the device keeps, stages or sends the change, and
// answers a plain result.
#include "camera_device.h"
#include "device.h"

#define NO_DEVICE_OR(expression) (SelectedDevice() ? (expression) : 0)

static CameraState* State(void) {
    return SelectedDevice()->cameraState;
}

int CaptureFrame(BYTE* data, DWORD length, DWORD* captureTime, int onlyIfReady) {
    CameraDevice* device = SelectedDevice();
    if (!device) return 0;
    if (onlyIfReady) {
        DWORD ready = 0;
        if (!GF_FrameReady(device->frameGrabber, &ready)) return 0;
        if (!ready) return 2;
    }
    return GF_GetFrame(device->frameGrabber, data, length, captureTime) ? 1 : 0;
}

BOOL PauseFrameGrabbing(int pause) {
    CameraDevice* device = SelectedDevice();
    if (!device) return FALSE;
    GF_SetPipelining(device->frameGrabber, pause ? 0 : 1);
    return TRUE;
}

BOOL SetCompressionQuality(LONG quality) {
    CameraDevice* device = SelectedDevice();
    if (!device) return FALSE;
    if (quality < 0) quality = 0;
    if (quality > 100) quality = 100;
    device->compressionQuality = (WORD)quality;
    int t = (100 - quality) * 32 / 100;
    SetYUVThresholds(device->viewport, t, t / 2);
    return TRUE;
}

BOOL SetCompressionSettings(LONG mode, LONG videoConf, WORD videoConfVal, WORD videoCapVal, WORD quality) {
    CameraDevice* device = SelectedDevice();
    if (!device) return FALSE;
    int code = mode == 0 ? 0 : mode == 2 ? 2 : 1;
    GF_SetCompressed(device->frameGrabber, mode != 0);
    if (mode != device->compressionMode) GF_MarkResync(device->frameGrabber);
    int staged = SetCompression(device->viewport, code, -1, -1, -1);
    if (staged) {
        device->compressionMode = mode;
        device->videoConf = videoConf;
        device->videoConfVal = videoConfVal;
        device->videoCapVal = videoCapVal;
        device->compressionQuality = quality;
    }
    if (mode == 2) return SetCompressionQuality(quality);
    if (mode == 1) {
        int conferenceLevel = 10 - ((int)videoConfVal - 1) / 10;
        int captureLevel = 10 - ((int)videoCapVal - 1) / 10;
        return SetCompressionPreset(device->viewport, (DWORD)videoConf, conferenceLevel, captureLevel,
                                    device->frameRateTarget);
    }
    return staged;
}

void GetCompressionSettings(LONG* mode, LONG* videoConf, WORD* videoConfVal, WORD* videoCapVal, WORD* quality) {
    CameraDevice* device = SelectedDevice();
    if (!device) return;
    if (mode) *mode = device->compressionMode;
    if (videoConf) *videoConf = device->videoConf;
    if (videoConfVal) *videoConfVal = device->videoConfVal;
    if (videoCapVal) *videoCapVal = device->videoCapVal;
    if (quality) *quality = device->compressionQuality;
}

BOOL SetFrameRateTarget(WORD framesPerSecond) {
    CameraDevice* device = SelectedDevice();
    if (!device) return FALSE;
    device->frameRateTarget = framesPerSecond;
    if (device->compressionMode == 1)
        SetCompressionSettings(device->compressionMode, device->videoConf, device->videoConfVal, device->videoCapVal,
                               device->compressionQuality);
    return TRUE;
}

WORD GetFrameRateTarget(void) {
    CameraDevice* device = SelectedDevice();
    return device ? device->frameRateTarget : 0;
}

// The camera's frame period in milliseconds for a frame-rate step; never 0,
// the stream engine divides by it.
static WORD FramePeriod(DWORD step) {
    switch (step) {
        case 2:
            return 40;
        case 3:
            return 66;
        case 4:
            return 80;
        case 5:
            return 133;
        default:
            return 33;
    }
}

// Without a device the places still get the fastest step and its period,
// so a caller that divides by the period is safe either way.
BOOL GetFrameRate(DWORD* step, DWORD* automatic, WORD* period) {
    DWORD s = 1, a = 0;
    BOOL known = SelectedDevice() != NULL;
    if (known) camGetFrameRate(State(), &s, &a);
    if (step) *step = s;
    if (automatic) *automatic = a;
    if (period) *period = FramePeriod(s);
    return known;
}

BOOL SetFrameRate(DWORD step, DWORD automatic) {
    return NO_DEVICE_OR(camSetFrameRate(State(), step, automatic) == 0);
}

DWORD GetBanding(void) {
    CameraDevice* device = SelectedDevice();
    return device ? device->bandingFilter : 0;
}

BOOL SetBanding(DWORD flag) {
    CameraDevice* device = SelectedDevice();
    if (!device) return FALSE;
    device->bandingFilter = flag;
    return camSetFlicker(device->cameraState, flag, 0) == 0;
}

BOOL GetDecimationFlag(void) {
    return NO_DEVICE_OR(GetDecimation(SelectedDevice()->viewport));
}

BOOL SetDecimationFlag(DWORD flag) {
    return NO_DEVICE_OR(SetDecimation(SelectedDevice()->viewport, flag));
}

BOOL SetBacklight(DWORD flag) {
    return NO_DEVICE_OR(camSetCentreWeight(State(), flag) == 0);
}

DWORD GetBacklight(void) {
    return NO_DEVICE_OR(camGetCentreWeight(State()));
}

// These two pass the camera's own result on, where 0 is success: without a
// device they answer the camera's failure, -1, not 0.
int SetColourParams(DWORD brightness, DWORD contrast, DWORD colour) {
    if (!SelectedDevice()) return -1;
    return camSetColPar(State(), brightness, contrast, colour);
}

int GetColourParams(DWORD* brightness, DWORD* contrast, DWORD* colour) {
    if (brightness) *brightness = 0;
    if (contrast) *contrast = 0;
    if (colour) *colour = 0;
    if (!SelectedDevice()) return -1;
    return camGetColPar(State(), brightness, contrast, colour);
}

BOOL SetMainsFrequency(DWORD mains) {
    return NO_DEVICE_OR(camSetMainsFrequency(State(), mains) == 0);
}

BOOL GetMainsFrequency(DWORD* mains) {
    return NO_DEVICE_OR(camGetMainsFrequency(State(), mains) == 0);
}

WORD GetDeviceFirmwareVersion(void) {
    return (WORD)NO_DEVICE_OR(GetFirmwareVersion(State()));
}

BOOL GetDevicePort(LONG* port, BYTE* portMode) {
    CameraDevice* device = SelectedDevice();
    if (!device) return FALSE;
    if (port) *port = device->port;
    if (portMode) *portMode = device->portMode;
    return TRUE;
}

BOOL GetPortWatch(DWORD* watch, DWORD* event) {
    CameraDevice* device = SelectedDevice();
    if (!device || !device->cameraState) return FALSE;
    if (watch) *watch = device->cameraState->portWatch;
    if (event) *event = device->cameraState->portEvent;
    // An event is reported once: the next read sees only a new one.
    device->cameraState->portEvent = 0;
    return TRUE;
}

BOOL SetPortWatch(DWORD watch, DWORD event) {
    CameraDevice* device = SelectedDevice();
    if (!device || !device->cameraState) return FALSE;
    device->cameraState->portWatch = watch;
    device->cameraState->portEvent = event;
    return TRUE;
}

DWORD GetDecoderPalette(void* destination) {
    WORD size[2] = {0, 0};
    DecoderGetPalette(size, destination);
    return size[0];
}

void SetDecoderPalette(const void* palette) {
    if (palette) DecoderSetPalette(palette);
}
