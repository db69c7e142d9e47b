// Temporary: camera operations the device calls, until the camera room has them.
#include "camera_device.h"

int camInitialiseZELT_CAM(CameraState* state, Link* link) {
    state->link = link;
    BYTE major = 0, minor = 0, d2 = 0, d3 = 0;
    if (!ZELT_GetVersion(link, &major, &minor, &d2, &d3)) return 0;
    state->firmwareVersion = (WORD)(major * 256 + minor);
    ZELT_GotoLoPower(link);
    state->powerState = POWER_LOW;
    return 1;
}
int DoHiPowerCommsTest(CameraState* state) {
    return 1;
}
int camInitialiseCamera(CameraState* state) {
    return GetPowerState(state) == POWER_HIGH;
}
int camFrameHook(CameraState* state, const BYTE* header) {
    return 0;
}
int camSetFlickerLimits(CameraState* state, BYTE flickMax, BYTE flickExp) {
    state->flickMax = flickMax;
    state->flickExp = flickExp;
    return 0;
}
int camGetFlickerLimits(CameraState* state, BYTE* flickMax, BYTE* flickExp) {
    if (flickMax) *flickMax = state->flickMax;
    if (flickExp) *flickExp = state->flickExp;
    return 0;
}
int camGetColBal(CameraState* state, BYTE* red, BYTE* green, BYTE* blue) {
    if (red) *red = state->red;
    if (green) *green = state->green;
    if (blue) *blue = state->blue;
    return 0;
}
int camGetFrameRate(CameraState* state, DWORD* step, DWORD* automatic) {
    if (step) *step = state->frameRate ? state->frameRate : 1;
    if (automatic) *automatic = state->autoFrameRate;
    return 0;
}
int camSetFrameRate(CameraState* state, DWORD step, DWORD automatic) {
    state->frameRate = step;
    state->autoFrameRate = automatic;
    return 0;
}
int camSetFlicker(CameraState* state, DWORD on, WORD exposure) {
    return 0;
}
int camSetCentreWeight(CameraState* state, DWORD on) {
    state->centreWeight = on;
    return 0;
}
DWORD camGetCentreWeight(CameraState* state) {
    return state->centreWeight;
}
int camSetColPar(CameraState* state, DWORD brightness, DWORD contrast, DWORD colour) {
    return 0;
}
int camGetColPar(CameraState* state, DWORD* brightness, DWORD* contrast, DWORD* colour) {
    return 0;
}
int camSetMainsFrequency(CameraState* state, DWORD mains) {
    state->mainsFrequency = mains;
    return 0;
}
int camGetMainsFrequency(CameraState* state, DWORD* mains) {
    if (mains) *mains = state->mainsFrequency;
    return 0;
}
