// The power transitions and the millisecond waits.
#include "camera.h"

void DelayMs(WORD ms) {
    DWORD start = timeGetTime();
    for (;;) {
        // The difference of two readings, so the clock's wrap does not
        // prolong the wait.
        DWORD elapsed = timeGetTime() - start;
        if (elapsed > ms) return;
        // Sleep for what is left rather than spin: the waits last up to a
        // second and would otherwise hold a processor the whole time.
        Sleep(ms + 1 - elapsed);
    }
}

void PollPause(void) {
    Sleep(1);
}

static int GotoLowPower(CameraState* state) {
    DelayMs(20);
    if (!ZELT_GotoLoPower(state->link)) return -1;
    if (CheckCameraStatus(state, "GotoLoPower") == 0) state->powerState = POWER_LOW;
    return 0;
}

static int GotoHighPower(CameraState* state) {
    if (!ZELT_GotoHiPower(state->link)) return -1;
    // The camera needs the time to power its sensor up before it answers.
    DelayMs(40);
    if (CheckCameraStatus(state, "GotoHiPower") == 0) {
        state->powerState = POWER_HIGH;
        camSetColBal(state, 2, 0, 0, 0);
        ZELT_GetCameraStatus(state->link, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    }
    return 0;
}

static int GotoSuspended(CameraState* state) {
    if (!ZELT_GotoSuspend(state->link)) return -1;
    if (CheckCameraStatus(state, "GotoSuspend") == 0) state->powerState = POWER_SUSPENDED;
    return 0;
}

int SetPowerState(CameraState* state, DWORD target) {
    if (!state || target == state->powerState) return -1;
    switch (target) {
        case POWER_LOW:
            return GotoLowPower(state);
        case POWER_HIGH:
            return GotoHighPower(state);
        case POWER_SUSPENDED:
            return GotoSuspended(state);
        default:
            return -1;
    }
}
