// Bringing the one camera up from nothing into a working, selected device,
// and tearing it down again in the reverse order.
#include "../settings/camera_settings.h"
#include "../settings/registry.h"
#include "../trace/trace.h"
#include "camera_device.h"
#include "device.h"

// Bring-up error codes.
#define BRINGUP_NO_MEMORY 1
#define BRINGUP_NO_CAMERA 4
#define BRINGUP_PIPELINE 6
#define BRINGUP_SETTINGS 12
#define BRINGUP_SELECT 13
#define BRINGUP_DEFAULTS 14
#define BRINGUP_CAMERA_SETUP 15

static const char kBoxCaption[] = "DBG_INITTARN";

static HLOCAL selectedHandle = NULL;
static CameraDevice* selectedAddress = NULL;

CameraDevice* SelectedDevice(void) {
    return selectedAddress;
}

FrameGrabber* SelectedFrameGrabber(void) {
    return selectedAddress ? selectedAddress->frameGrabber : NULL;
}

static void ShowBringUpMessage(const char* text) {
    if (DriverOptions & OPT_BRINGUP_BOXES) MessageBoxA(NULL, text, kBoxCaption, MB_OK | MB_ICONEXCLAMATION);
}

static void ClearSelection(void) {
    if (selectedHandle) LocalUnlock(selectedHandle);
    selectedHandle = NULL;
    selectedAddress = NULL;
}

void* SelectTARNDevice(HLOCAL handle) {
    if (handle && handle == selectedHandle) return selectedAddress;
    ClearSelection();
    CameraDevice* device = handle ? (CameraDevice*)LocalLock(handle) : NULL;
    if (!device) return NULL;
    // Only a whole device is selected: every operation on the selection may
    // then use all four records it owns.
    if (!device->link || !device->cameraState || !device->viewport || !device->frameGrabber) {
        LocalUnlock(handle);
        return NULL;
    }
    selectedHandle = handle;
    selectedAddress = device;
    return device;
}

BOOL EnableTARNDevices(void) {
    ClearSelection();
    return TRUE;
}

BOOL DisableTARNDevices(void) {
    return TRUE;
}

static void CloseLink(CameraDevice* device) {
    if (!device->link) return;
    PPLINK_DeinitialiseLink(device->link);
    PPLINK_DestroyLink(device->link);
    device->link = NULL;
}

static void ReleaseCameraState(CameraDevice* device) {
    if (!device->cameraState) return;
    CloseCameraState(device->cameraState);
    FreeCameraState(device->cameraState);
    device->cameraState = NULL;
}

static void ReleaseFrameGrabber(CameraDevice* device) {
    if (!device->frameGrabber) return;
    GF_Shutdown(device->frameGrabber);
    GF_Release(device->frameGrabber);
    device->frameGrabber = NULL;
    EndDecoderLibrary();
}

static void ReleaseDeviceViewport(CameraDevice* device) {
    if (!device->viewport) return;
    ReleaseViewport(device->viewport);
    device->viewport = NULL;
}

// Initialises the camera on the link just found; 1 when it answers in high
// power and carries the test pattern intact.
static int BringCameraUp(CameraDevice* device) {
    device->cameraState = CreateCameraState();
    if (!device->cameraState) return 0;
    if (!camInitialiseZELT_CAM(device->cameraState, device->link)) {
        ShowBringUpMessage("Failed camInitialiseZELT_CAM\n");
        return 0;
    }
    if (SetPowerState(device->cameraState, POWER_HIGH) != 0) {
        ShowBringUpMessage("Failed camInitialiseZELT_CAM\n");
        return 0;
    }
    if (!DoHiPowerCommsTest(device->cameraState)) {
        ShowBringUpMessage("Failed DoHiPowerCommsTest");
        return 0;
    }
    return 1;
}

// One rung down the port-mode ladder for a port of type t (already masked).
// Answers whether another attempt is worth making.
static int StepDownPortModes(BYTE t) {
    if (!(t & 0x04)) return 0;
    if (t & 0x40) {
        DriverOptions |= OPT_NO_FAST_DMA;
    } else if (t & 0x30) {
        DriverOptions |= OPT_NO_DMA;
    } else {
        DriverOptions |= OPT_NO_ECP;
    }
    return 1;
}

static BYTE NarrowedMask(BYTE mask) {
    if (DriverOptions & OPT_NO_FAST_DMA) mask &= 0x37;
    if (DriverOptions & OPT_NO_DMA) mask &= 0x07;
    if (DriverOptions & OPT_NO_ECP) mask &= 0x01;
    return mask;
}

// The detection loop: finds the port and brings the camera up, stepping down
// the port modes after each failed attempt. Leaves cameraState set only on
// success.
static void DetectCamera(CameraDevice* device, DWORD* preferredPort) {
    BYTE mask = 0xFF;
    int fallbackTaken = 0;
    for (;;) {
        mask = NarrowedMask(mask);
        WriteRegDword("LPTPort", 0);
        LONG port = preferredPort ? (LONG)*preferredPort : 0;
        BYTE detected = 0;
        device->link = FindCameraPort(device, &port, mask, &detected);
        if (!device->link) break;
        WriteRegDword("LPTPort", (DWORD)port);
        device->port = port;
        device->portMode = (BYTE)(detected & mask);
        if (BringCameraUp(device)) break;
        ReleaseCameraState(device);
        // The next attempt opens the port afresh; a link left attached
        // would keep the port busy and leak its handle.
        CloseLink(device);
        if (!StepDownPortModes((BYTE)(detected & mask))) break;
        fallbackTaken = 1;
    }
    if (device->cameraState && fallbackTaken && (DriverOptions & 0x58))
        WriteRegDword("BackoffLevel", DriverOptions & 0x58);
}

static HLOCAL FailBringUp(HLOCAL handle, CameraDevice* device, DWORD* error, DWORD code, const char* text) {
    if (text) ShowBringUpMessage(text);
    if (error) *error = code;
    ReleaseFrameGrabber(device);
    ReleaseDeviceViewport(device);
    ReleaseCameraState(device);
    if (device->link) {
        PPLINK_DestroyLink(device->link);
        device->link = NULL;
    }
    if (handle == selectedHandle) ClearSelection();
    LocalUnlock(handle);
    LocalFree(handle);
    return NULL;
}

static int BuildPipeline(CameraDevice* device) {
    device->viewport = CreateViewport();
    if (!device->viewport || !AttachViewport(device->viewport, device->link)) return BRINGUP_PIPELINE;
    return 0;
}

static int BuildFrameGrabber(CameraDevice* device) {
    if (!StartDecoderLibrary()) return 0;
    device->frameGrabber = GF_Create();
    if (!device->frameGrabber) {
        EndDecoderLibrary();
        return 0;
    }
    if (!GF_Initialise(device->frameGrabber, device->link, device->cameraState, device->viewport)) return 0;
    return 1;
}

HLOCAL CreateTARNDevice(const char* iniPath, DWORD* port, DWORD* error) {
    if (error) *error = 0;
    HLOCAL handle = LocalAlloc(LHND, sizeof(CameraDevice));
    CameraDevice* device = handle ? (CameraDevice*)LocalLock(handle) : NULL;
    if (!device) {
        if (handle) LocalFree(handle);
        if (error) *error = BRINGUP_NO_MEMORY;
        return NULL;
    }
    device->memory = handle;
    DetectCamera(device, port);
    if (!device->cameraState) return FailBringUp(handle, device, error, BRINGUP_NO_CAMERA, "Unable to detect a camera");
    if (port) *port = (DWORD)device->port;
    device->firmwareVersion = GetFirmwareVersion(device->cameraState);
    // A camera that will not take its settings is not half used: the
    // bring-up fails as a whole and releases everything.
    if (!camInitialiseCamera(device->cameraState)) {
        trace(TRACE_MESSAGE, "camInitialiseCamera failed");
        return FailBringUp(handle, device, error, BRINGUP_CAMERA_SETUP, "Failed camInitialiseCamera");
    }
    if (BuildPipeline(device))
        return FailBringUp(handle, device, error, BRINGUP_PIPELINE, "Failed to switch camera to high power");
    if (!BuildFrameGrabber(device))
        return FailBringUp(handle, device, error, BRINGUP_PIPELINE, "Failed to initialise GetFrame");
    if (!SelectTARNDevice(handle)) return FailBringUp(handle, device, error, BRINGUP_SELECT, "SelectTARNDevice failed");
    if (!SetTARNDefaults()) return FailBringUp(handle, device, error, BRINGUP_DEFAULTS, "SetTARNDefaults failed");
    if (!ReadTARNInit(device, iniPath))
        return FailBringUp(handle, device, error, BRINGUP_SETTINGS, "ReadTARNInit failed");
    LocalUnlock(handle);
    return handle;
}

void DestroyTARNDevice(HLOCAL handle, const char* iniPath) {
    if (!handle) return;
    int selected = handle == selectedHandle;
    CameraDevice* device = selected ? selectedAddress : (CameraDevice*)LocalLock(handle);
    if (!device) return;
    WriteTARNInit(device, iniPath);
    ReleaseFrameGrabber(device);
    ReleaseDeviceViewport(device);
    ReleaseCameraState(device);
    if (device->link) PPLINK_DestroyLink(device->link);
    device->link = NULL;
    if (selected) {
        ClearSelection();
    } else {
        LocalUnlock(handle);
    }
    LocalFree(handle);
}

int SetTARNDefaults(void) {
    CameraDevice* device = SelectedDevice();
    if (!device) return 0;
    device->bandingFilter = 0;
    device->frameRateTarget = 30;
    BITMAPINFOHEADER format;
    InitBitmapHeader(&format);
    SetBitmapFormat(&format, 24, 0);
    SetBitmapSize(&format, 176, 144);
    return SetImageFormat(&format);
}
