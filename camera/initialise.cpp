// Bringing the camera up: opening the conversation, proving the link with
// the camera's test pattern, and putting exposure, flicker and colour into
// a known state.
#include <stdio.h>

#include "../link/protocol.h"
#include "../settings/registry.h"
#include "../trace/trace.h"
#include "camera.h"

// The test pattern: 64 blocks of 256 bytes, each byte its offset modulo 256.
#define TEST_BLOCKS 64
#define TEST_BLOCK_SIZE 256
#define TEST_SIZE (TEST_BLOCKS * TEST_BLOCK_SIZE)
#define TEST_CHUNK 4096
#define TEST_MISMATCHES_SHOWN 5
// A link driver whose upload never ends must not hang the bring-up; the
// pattern needs about 200 ms on the slowest port mode.
#define TEST_UPLOAD_LIMIT_MS 5000

int camInitialiseZELT_CAM(CameraState* state, Link* link) {
    if (!state) return 0;
    state->link = link;
    BYTE major = 0, minor = 0, d2 = 0, d3 = 0;
    if (!ZELT_GetVersion(link, &major, &minor, &d2, &d3)) return 0;
    state->firmwareVersion = (WORD)(major * 256 + minor);
    WriteRegDword("FW_Version", state->firmwareVersion);
    BYTE systemState = 0;
    if (!ZELT_GetCameraStatus(link, &systemState, NULL, NULL, NULL, NULL, NULL, NULL, NULL)) return 0;
    if (PowerStateFromSystemState(systemState) != POWER_LOW && !ZELT_GotoLoPower(link)) return 0;
    if (!ZELT_GetCameraStatus(link, &systemState, NULL, NULL, NULL, NULL, NULL, NULL, NULL)) return 0;
    state->powerState = PowerStateFromSystemState(systemState);
    if (state->firmwareVersion == FIRMWARE_1_2) {
        // Firmware 1.2 comes up with stale fatal bits and stream state.
        ZELT_ModifyCameraStatus(link, STATUS_FATAL_ERROR, 0xEE, 0);
        ZELT_ModifyCameraStatus(link, STATUS_STREAM_STATE, 0, 0);
    }
    state->portWatch = 0;
    state->portEvent = 0;
    return 1;
}

// The text of an upload state as the test stream prints it.
static const char* UploadStateText(BYTE uploadState) {
    switch (uploadState) {
        case UPLOAD_IDLE:
            return "\nIDLE";
        case UPLOAD_STARTED:
            return " S";
        case UPLOAD_CHUNK_START:
            return " CS";
        case UPLOAD_CHUNK_END:
            return " CE";
        case UPLOAD_FINISHING:
            return "\nFINISHING";
        case UPLOAD_FAILED:
            return "\nFAILED";
        default:
            return "";
    }
}

int ZELT_TestStream(Link* link, WORD blocks, BYTE* buffer) {
    if (!buffer) return 0;
    if (!ZELT_StartTestStream(link)) return 0;
    BYTE streamState = 0;
    if (!ZELT_GetCameraStatus(link, NULL, NULL, &streamState, NULL, NULL, NULL, NULL, NULL)) {
        printf("ZELT_TestStream: GetCameraStatus failed\n");
        return 0;
    }
    if (streamState != 1) printf("ZELT_TestStream: StreamState = %d\n", (int)streamState);
    DWORD count = (DWORD)blocks * TEST_BLOCK_SIZE;
    // A start that failed shows in the status that follows.
    CLINK_StartUpload(link, 0, 0, count, buffer, TEST_CHUNK, 0);
    BYTE uploadState = UPLOAD_STARTED;
    DWORD bytes = 0;
    DWORD start = timeGetTime();
    // Each state the upload passes through is shown once, not at every poll.
    int shown = -1;
    for (;;) {
        if (!CLINK_GetUploadStatus(link, &uploadState, &bytes)) {
            fflush(stdout);
            return 0;
        }
        if (uploadState != shown) fputs(UploadStateText(uploadState), stdout);
        shown = uploadState;
        if (uploadState == UPLOAD_IDLE || uploadState == UPLOAD_FAILED) break;
        if ((DWORD)(timeGetTime() - start) > TEST_UPLOAD_LIMIT_MS) {
            CLINK_AbortUpload(link);
            printf("ZELT_TestStream: upload did not end in %d ms\n", TEST_UPLOAD_LIMIT_MS);
            return 0;
        }
        PollPause();
    }
    if (uploadState == UPLOAD_FAILED) {
        CLINK_AbortUpload(link);
        printf("ZELT_TestStream: GetUploadStatus reported UPLOAD_FAILED\n");
        return 0;
    }
    if (bytes != count) {
        printf("ZELT_TestStream: UploadStreamData uploaded the wrong number of bytes\n");
        return 0;
    }
    fflush(stdout);
    return 1;
}

// Compares the pattern; traces the first few wrong bytes. 1 when intact.
static int CheckTestPattern(const BYTE* buffer) {
    int result = 1;
    int mismatches = 0;
    for (DWORD i = 0; i < TEST_SIZE; i++) {
        BYTE expected = (BYTE)(i % 256);
        if (buffer[i] == expected) continue;
        trace(TRACE_MESSAGE, "UploadTestData: Buffer at %lu   %d != %d\n", (unsigned long)i, (int)buffer[i],
              (int)expected);
        result = 0;
        if (++mismatches == TEST_MISMATCHES_SHOWN) break;
    }
    return result;
}

int DoHiPowerCommsTest(CameraState* state) {
    if (!state) return 0;
    HGLOBAL memory = GlobalAlloc(GHND, TEST_SIZE);
    BYTE* buffer = memory ? (BYTE*)GlobalLock(memory) : NULL;
    if (!buffer) {
        if (memory) GlobalFree(memory);
        return 0;
    }
    int result = 0;
    if (!ZELT_TestStream(state->link, TEST_BLOCKS, buffer))
        trace(TRACE_MESSAGE, "ZELT_MACRO_TestStream failed\n");
    else
        result = CheckTestPattern(buffer);
    ZELT_ModifyCameraStatus(state->link, STATUS_STREAM_STATE, 0, 0);
    CheckCameraStatus(state, "TestStream failed\n");
    GlobalUnlock(memory);
    GlobalFree(memory);
    return result;
}

int camInitialiseCamera(CameraState* state) {
    if (!state || GetPowerState(state) != POWER_HIGH) return 0;
    state->frameRate = 1;
    state->autoFrameRate = 0;
    state->exposureMode = 2;
    state->centreWeight = 1;
    state->flickerState = 0;
    camSetFlickerLimits(state, 250, 146);
    camSetMainsFrequency(state, 0);
    camGetGain(state);
    camGetColBal(state, NULL, NULL, NULL);
    camGetColPar(state, NULL, NULL, NULL);
    const BYTE compensation[4] = {220, 214, 214, 230};
    for (int i = 0; i < 4; i++) state->exposure[4 + i] = compensation[i];
    ZELT_SetVLOffset(state->link, 20, 24, 26, 26);
    camSetGain(state, 1);
    ZELT_SetCorrectionGains(state->link, 24, 22, 36, 52);
    return CheckCameraStatus(state, "camera initialisation") == 0 ? 1 : 0;
}
