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

// Firmware versions whose rules differ (major * 256 + minor).
#define FIRMWARE_1_2 0x0102
#define FIRMWARE_1_3 0x0103

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
// The trace line of a latched error under the operation's label (with
// tracing on), noting a camera that is not in high power.
void TraceCameraError(const char* label, BYTE fatalError, BYTE cmdError, BYTE systemState);

// Target POWER_LOW, POWER_HIGH or POWER_SUSPENDED. 0 whenever the power
// command reached the camera, -1 otherwise or when already there.
int SetPowerState(CameraState* state, DWORD target);
DWORD GetPowerState(CameraState* state);
WORD GetFirmwareVersion(CameraState* state);

// The camera's systemState byte as a power state: 1, 2, 3, anything else 0.
DWORD PowerStateFromSystemState(BYTE systemState);

// Colour balance: mode 1 uses the three values, 2 automatic, 3 hold.
int camSetColBal(CameraState* state, DWORD mode, BYTE red, BYTE green, BYTE blue);

// Camera controls. Each sends its command, runs the status check under its
// own label and records the setting only when the camera took it. The get
// operations fill their places from the state even when the read failed.
int camSetAutoExposure(CameraState* state, DWORD on);
// 1 when automatic exposure is on; sends nothing.
int camGetAutoExposure(CameraState* state);
// Gain index 0..; only firmware 1.3 and later take it (older: 0, nothing sent).
int camSetGain(CameraState* state, BYTE gainIndex);
// Reads the exposure block: the gain byte, or -1.
int camGetGain(CameraState* state);
// Reads the exposure block: the coarse exposure in sensor lines, or -1.
int camGetExposure(CameraState* state);
int camGetColBal(CameraState* state, BYTE* red, BYTE* green, BYTE* blue);
// Brightness, contrast and colour; a contrast the firmware's parameter
// cannot reach goes through processor register 20.
int camSetColPar(CameraState* state, DWORD brightness, DWORD contrast, DWORD colour);
int camGetColPar(CameraState* state, DWORD* brightness, DWORD* contrast, DWORD* colour);
int camSetCentreWeight(CameraState* state, DWORD on);
DWORD camGetCentreWeight(CameraState* state);

// Mains frequency 0 (50 Hz) or 1 (60 Hz): chooses the flicker grid for the
// current frame rate; sends nothing.
int camSetMainsFrequency(CameraState* state, DWORD mains);
int camGetMainsFrequency(CameraState* state, DWORD* mains);
// The INI file's "FlickMax" and "FlickExp"; sends nothing.
int camSetFlickerLimits(CameraState* state, BYTE flickMax, BYTE flickExp);
int camGetFlickerLimits(CameraState* state, BYTE* flickMax, BYTE* flickExp);
// The second flicker value for a brightness and the two limits.
BYTE FlickerAllowance(BYTE brightness, BYTE flickExp, BYTE flickMax);
// Flicker suppression on (non-zero) or off; exposure 0 reads it from the
// camera. Puts the exposure on the mains grid with its colour compensation.
int camSetFlicker(CameraState* state, DWORD on, WORD exposure);
// Step 1..5 (30, 25, 15, 12.5, 7.5 frames/s). A call whose automatic flag
// differs from the recorded one only records the flag.
int camSetFrameRate(CameraState* state, DWORD step, DWORD automatic);
int camGetFrameRate(CameraState* state, DWORD* step, DWORD* automatic);
// Runs for every frame with a valid 64-byte header: the port watch, the
// flicker follow-up of older firmware and the automatic frame rate. 1 when
// any of them ran (or observed), else 0.
int camFrameHook(CameraState* state, const BYTE* header);
// Forgets the automatic frame rate's observations and the port watch's
// memory, as a fresh load of the driver has them.
void camResetControlMemory(void);

// Initialisation: 1 success, 0 failure.
int camInitialiseZELT_CAM(CameraState* state, Link* link);
int DoHiPowerCommsTest(CameraState* state);
int camInitialiseCamera(CameraState* state);
// Streams blocks x 256 bytes of the camera's test pattern into buffer; 1
// when exactly that many arrived.
int ZELT_TestStream(Link* link, WORD blocks, BYTE* buffer);

// Waits on the millisecond clock, giving the processor up meanwhile.
void DelayMs(WORD ms);
// Gives the processor up between two reads of a status that said "not yet":
// a poll that spins starves the stream timer and the rest of the machine.
void PollPause(void);

#endif
