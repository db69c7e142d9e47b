// Camera control operations on the CameraState.
#include "camera.h"

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
