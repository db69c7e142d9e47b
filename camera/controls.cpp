// Camera control operations on the CameraState: exposure mode, gain, colour
// balance, colour parameters and centre weighting, and their read-backs.
#include "camera.h"

// Sends an exposure command that changes one item; the data block is zero.
static DWORD SendExposureItem(CameraState* state, BYTE gain, BYTE mode, BYTE centreWeight) {
    return ZELT_SetExposure(state->link, gain, mode, 0, centreWeight, 0, 0, 0, 0, 0, 0, 0, 0);
}

int camSetAutoExposure(CameraState* state, DWORD on) {
    if (!state) return -1;
    BYTE mode = on ? 2 : 3;
    if (!SendExposureItem(state, 0, mode, 0)) return -1;
    if (CheckCameraStatus(state, "camSetAutoExposure()") != 0) return -1;
    state->exposureMode = mode;
    return 0;
}

int camGetAutoExposure(CameraState* state) {
    return state && state->exposureMode == 2 ? 1 : 0;
}

int camSetGain(CameraState* state, BYTE gainIndex) {
    if (!state) return -1;
    // Older firmware sets its gain by itself.
    if (state->firmwareVersion < FIRMWARE_1_3) return 0;
    if (!SendExposureItem(state, (BYTE)(gainIndex + 1), 0, 0)) return -1;
    return CheckCameraStatus(state, "camSetGain()");
}

// Reads the camera's exposure block into the state; 0 or -1. A block the
// camera refused is not kept.
static int ReadExposureBlock(CameraState* state, const char* label) {
    BYTE b[8] = {0};
    if (!ZELT_GetExposure(state->link, &b[0], &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7])) return -1;
    if (CheckCameraStatus(state, label) != 0) return -1;
    for (int i = 0; i < 8; i++) state->exposure[i] = b[i];
    return 0;
}

int camGetGain(CameraState* state) {
    if (!state || ReadExposureBlock(state, "camGetGain()") != 0) return -1;
    return state->exposure[0];
}

int camGetExposure(CameraState* state) {
    if (!state || ReadExposureBlock(state, "camGetExposure") != 0) return -1;
    return state->exposure[3] * 256 + state->exposure[2];
}

int camSetColBal(CameraState* state, DWORD mode, BYTE red, BYTE green, BYTE blue) {
    if (!state) return -1;
    // Recorded before sending, whatever the camera says: the dialogs show
    // what was asked for.
    state->colBalMode = mode;
    if (mode == 1) {
        state->red = red;
        state->green = green;
        state->blue = blue;
    }
    if (!ZELT_SetColBal(state->link, (BYTE)mode, red, green, blue)) return -1;
    return CheckCameraStatus(state, "camSetColBal() : cmd fail");
}

int camGetColBal(CameraState* state, BYTE* red, BYTE* green, BYTE* blue) {
    if (!state) return -1;
    int result = -1;
    BYTE r = 0, g = 0, b = 0;
    if (ZELT_GetColBal(state->link, &r, &g, &b)) {
        result = CheckCameraStatus(state, "camGetColBal() : cmd fail");
        if (result == 0) {
            state->red = r;
            state->green = g;
            state->blue = b;
        }
    }
    // The last known values in every case.
    if (red) *red = state->red;
    if (green) *green = state->green;
    if (blue) *blue = state->blue;
    return result;
}

int camSetColPar(CameraState* state, DWORD brightness, DWORD contrast, DWORD colour) {
    if (!state) return -1;
    state->brightness = (BYTE)brightness;
    state->contrast = (BYTE)contrast;
    state->colour = (BYTE)colour;
    BYTE wanted = state->contrast;
    BYTE limit = state->firmwareVersion == FIRMWARE_1_2 ? 28 : 12;
    BYTE base = state->firmwareVersion == FIRMWARE_1_2 ? 14 : 12;
    // The parameter covers only the upper part of the range; below it the
    // processor's register 20 sets the contrast.
    BYTE sent = wanted > limit ? (BYTE)(wanted - limit) : 0;
    if (!ZELT_SetColPar(state->link, state->brightness, sent, state->colour)) return -1;
    int result = CheckCameraStatus(state, "camSetColPar");
    if (wanted <= limit) ZELT_WriteReg(state->link, 20, 0, (BYTE)(base - (wanted + 4) / 8));
    // The flicker allowance depends on the brightness.
    state->flickerAllow = FlickerAllowance(state->brightness, state->flickExp, state->flickMax);
    if (state->flickerState == 2 && camSetFlicker(state, 1, 0) != 0) result = -1;
    return result;
}

int camGetColPar(CameraState* state, DWORD* brightness, DWORD* contrast, DWORD* colour) {
    if (!state) return -1;
    int result = -1;
    BYTE b = 0, c = 0, k = 0;
    if (ZELT_GetColPar(state->link, &b, &c, &k)) {
        result = CheckCameraStatus(state, "camGetColPar()");
        if (result == 0) {
            state->brightness = b;
            state->colour = k;
        } else {
            c = 0;
        }
    }
    // The camera's contrast byte is only the part above the firmware's
    // limit, so the recorded contrast is what the caller set; the camera's
    // byte stands in only until one was set.
    if (brightness) *brightness = state->brightness;
    if (contrast) *contrast = state->contrast ? state->contrast : c;
    if (colour) *colour = state->colour;
    return result;
}

// The status check waits for the change to reach a frame: longer at the
// slower frame rates.
static WORD CentreWeightWait(DWORD frameRate) {
    switch (frameRate) {
        case 1:
            return 76;
        case 2:
            return 90;
        case 3:
            return 142;
        case 4:
            return 170;
        default:
            return 274;
    }
}

int camSetCentreWeight(CameraState* state, DWORD on) {
    if (!state) return -1;
    if (!SendExposureItem(state, 0, 0, on ? 1 : 2)) return -1;
    DelayMs(CentreWeightWait(state->frameRate));
    if (CheckCameraStatus(state, "camSetCentreWeight()") != 0) return -1;
    state->centreWeight = on ? 1 : 0;
    return 0;
}

DWORD camGetCentreWeight(CameraState* state) {
    return state ? state->centreWeight : 0;
}

int camGetMainsFrequency(CameraState* state, DWORD* mains) {
    if (mains) *mains = state ? state->mainsFrequency : 0;
    return 0;
}
