// The camera-protocol state of one camera, the status check every camera
// operation runs after its commands, the power states and the busy wait
// between commands. Camera operations answer 0 for success and -1 for
// failure, where failure includes an error that the camera latched.
#ifndef TARN2_CAMERA_CAMERA_H
#define TARN2_CAMERA_CAMERA_H

#include "../link/link.h"
#include "commands.h"

// Power states as the driver records them; the camera itself reports 1 to 3.
#define POWER_NONE 0
#define POWER_REPORTED 1
#define POWER_LOW 2
#define POWER_HIGH 3
#define POWER_SUSPENDED 4

typedef struct CameraState {
    HLOCAL memory;
    Link* link;
    WORD firmwareVersion;  // major * 256 + minor
    DWORD powerState;
    DWORD portWatch;
    DWORD portEvent;
    DWORD colBalMode;  // 1 manual values, 2 automatic, 3 held
    BYTE red;
    BYTE blue;
    BYTE green;
    BYTE brightness;
    BYTE contrast;
    BYTE colour;
    BYTE exposureMode;  // 2 automatic, 3 fixed
    DWORD centreWeight;
    // Laid out as the data block of ZELT_SetExposure: gain, d1, the coarse
    // exposure low byte first, four colour-compensation values.
    BYTE exposure[8];
    DWORD frameRate;  // step 1..5
    DWORD flickerState;
    DWORD mainsFrequency;  // 0 50 Hz, 1 60 Hz
    BYTE flickerPeriod;
    BYTE flickerAllow;
    BYTE flickerMargin;
    BYTE flickExp;
    BYTE flickMax;
    WORD frameExposure;
    DWORD autoFrameRate;
} CameraState;

CameraState* CreateCameraState(void);
int FreeCameraState(CameraState* state);
// Puts the camera into low power before the record goes; answers 1.
int CloseCameraState(CameraState* state);

// Reads the status; a latched error is traced under the label (the name of
// the operation that ran last) and cleared in the camera. 0 or -1.
int CheckCameraStatus(CameraState* state, const char* label);

// Target POWER_LOW, POWER_HIGH or POWER_SUSPENDED. 0 whenever the power
// command reached the camera, -1 otherwise or when already there.
int SetPowerState(CameraState* state, DWORD target);
DWORD GetPowerState(CameraState* state);
WORD GetFirmwareVersion(CameraState* state);

// The camera's systemState byte as a power state: 1, 2, 3, anything else 0.
DWORD PowerStateFromSystemState(BYTE systemState);

// Colour balance: mode 1 uses the three values, 2 automatic, 3 hold.
int camSetColBal(CameraState* state, DWORD mode, BYTE red, BYTE green, BYTE blue);

// Busy wait on the millisecond clock, without sleeping.
void DelayMs(WORD ms);

#endif
