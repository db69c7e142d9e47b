// CameraState, the status check and the read-outs of the state.
#include "../trace/trace.h"
#include "camera.h"

CameraState* CreateCameraState(void) {
    HLOCAL memory = LocalAlloc(LHND, sizeof(CameraState));
    CameraState* state = memory ? (CameraState*)LocalLock(memory) : NULL;
    if (!state) {
        if (memory) LocalFree(memory);
        return NULL;
    }
    state->memory = memory;
    return state;
}

int FreeCameraState(CameraState* state) {
    if (!state || !state->memory) return 1;
    HLOCAL memory = state->memory;
    LocalUnlock(memory);
    LocalFree(memory);
    return 1;
}

int CloseCameraState(CameraState* state) {
    if (state) ZELT_GotoLoPower(state->link);
    return 1;
}

DWORD PowerStateFromSystemState(BYTE systemState) {
    return systemState >= 1 && systemState <= 3 ? systemState : POWER_NONE;
}

DWORD GetPowerState(CameraState* state) {
    return state ? state->powerState : POWER_NONE;
}

WORD GetFirmwareVersion(CameraState* state) {
    return state ? state->firmwareVersion : 0;
}

void TraceCameraError(const char* label, BYTE fatalError, BYTE cmdError, BYTE systemState) {
    if (TraceOn())
        trace(TRACE_MESSAGE, "Error in %s, FatalError = 0x%02x, CmdError = 0x%02x%s", label ? label : "",
              (int)fatalError, (int)cmdError, systemState == 3 ? "" : " ** NOT IN HI POWER **");
}

int CheckCameraStatus(CameraState* state, const char* label) {
    if (!label) label = "";
    BYTE systemState = 0;
    BYTE fatalError = 0;
    BYTE cmdError = 0;
    Link* link = state ? state->link : NULL;
    if (!ZELT_GetCameraStatus(link, &systemState, NULL, NULL, &fatalError, &cmdError, NULL, NULL, NULL)) {
        if (TraceOn()) trace(TRACE_MESSAGE, "ZELT_GetCameraStatus() failed !   Previous command : %s", label);
        return -1;
    }
    if (fatalError == 0 && cmdError == 0) return 0;
    TraceCameraError(label, fatalError, cmdError, systemState);
    // Clear exactly the bits that were seen, so an error latched since the
    // read is not lost.
    if (cmdError) ZELT_ModifyCameraStatus(link, STATUS_CMD_ERROR, (BYTE)~cmdError, 0);
    if (fatalError) ZELT_ModifyCameraStatus(link, STATUS_FATAL_ERROR, (BYTE)~fatalError, 0);
    return -1;
}
