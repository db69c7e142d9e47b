// The frame grabber: grab, upload, check and decode one picture, with the
// next frame's upload started ahead on fast ports, and the camera's own
// stream capture for the stream engine.
#include <string.h>

#include "../trace/trace.h"
#include "camera_device.h"

// The camera or the link driver normally ends both waits by reporting a
// state; these bounds keep a camera that answers but never delivers from
// holding the caller (a dialog, the host's thread, the stream timer) for
// ever. A frame is due within a few frame intervals; an upload that moved
// no byte for this long has stopped.
#define GF_READY_WAIT_MS 3000
#define GF_UPLOAD_STALL_MS 2000

static void Trace(const char* text) {
    if (DriverOptions & OPT_TRACE_ON) trace(TRACE_MESSAGE, "%s", text);
}

static int AllocBuffer(GrabBuffer* buffer, DWORD size) {
    buffer->memory = GlobalAlloc(GHND, size);
    buffer->address = buffer->memory ? (BYTE*)GlobalLock(buffer->memory) : NULL;
    if (!buffer->address) {
        if (buffer->memory) GlobalFree(buffer->memory);
        buffer->memory = NULL;
        return 0;
    }
    buffer->size = size;
    return 1;
}

static void FreeBuffer(GrabBuffer* buffer) {
    if (!buffer->memory) return;
    GlobalUnlock(buffer->memory);
    GlobalFree(buffer->memory);
    buffer->memory = NULL;
    buffer->address = NULL;
    buffer->size = 0;
}

static void GF_FreeBuffers(FrameGrabber* g) {
    FreeBuffer(&g->uploadBuffer[0]);
    FreeBuffer(&g->uploadBuffer[1]);
    FreeBuffer(&g->decodeBuffer);
}

static int GF_AllocBuffers(FrameGrabber* g) {
    if (AllocBuffer(&g->uploadBuffer[0], GF_UPLOAD_BUFFER_SIZE) &&
        AllocBuffer(&g->uploadBuffer[1], GF_UPLOAD_BUFFER_SIZE) && AllocBuffer(&g->decodeBuffer, GF_DECODE_BUFFER_SIZE))
        return 1;
    GF_FreeBuffers(g);
    return 0;
}

FrameGrabber* GF_Create(void) {
    HLOCAL memory = LocalAlloc(LHND, sizeof(FrameGrabber));
    FrameGrabber* grabber = memory ? (FrameGrabber*)LocalLock(memory) : NULL;
    if (!grabber) {
        if (memory) LocalFree(memory);
        return NULL;
    }
    grabber->memory = memory;
    return grabber;
}

void GF_Release(FrameGrabber* grabber) {
    if (!grabber) return;
    GF_FreeBuffers(grabber);
    HLOCAL memory = grabber->memory;
    LocalUnlock(memory);
    LocalFree(memory);
}

int GF_Initialise(FrameGrabber* g, Link* link, CameraState* state, Viewport* viewport) {
    if (!g || !link || !state || !viewport) return 0;
    g->link = link;
    g->cameraState = state;
    g->viewport = viewport;
    BYTE type = 0;
    if (!PPLINK_GetPortInfo(link, NULL, &type, NULL)) return 0;
    g->fastPort = (type & 0x10) && (type & 0x20);
    if (!GF_AllocBuffers(g)) return 0;
    g->bufferState[0] = g->bufferState[1] = GF_IDLE;
    g->chunkSize = 4096;
    g->current = g->previous = 0;
    g->streamReady = 0;
    g->streamInterrupt = 0;
    g->pipelining = g->fastPort;
    g->resync = 1;
    g->compressed = 1;
    g->grabStartLine = 0;
    g->lastCallTime = timeGetTime();
    g->lastDuration = 200;
    return ZELT_SetGrabMode(link, 1) != 0;
}

// Reads the upload status until it ends, stops moving, or the read fails.
// Answers the last state read (0 idle, 6 failed), or -1 when the read
// failed, -2 when the upload stalled.
static int WaitForUpload(FrameGrabber* g, DWORD* bytes) {
    BYTE state = 0;
    DWORD uploaded = 0, lastBytes = 0;
    DWORD lastMove = timeGetTime();
    for (;;) {
        if (!CLINK_GetUploadStatus(g->link, &state, &uploaded)) return -1;
        if (bytes) *bytes = uploaded;
        if (state == 0 || state == 6) return state;
        DWORD now = timeGetTime();
        if (uploaded != lastBytes) {
            lastBytes = uploaded;
            lastMove = now;
        } else if (now - lastMove > GF_UPLOAD_STALL_MS) {
            return -2;
        }
        PollPause();
    }
}

int GF_Shutdown(FrameGrabber* g) {
    if (!g) return 0;
    int last = WaitForUpload(g, NULL);
    if (last == 6 || last == -2) CLINK_AbortUpload(g->link);
    ZELT_SetGrabMode(g->link, 0);
    GF_FreeBuffers(g);
    return 1;
}

int GF_MarkResync(FrameGrabber* g) {
    if (!g) return 0;
    g->resync = 1;
    return 1;
}

int GF_SetCompressed(FrameGrabber* g, DWORD compressed) {
    if (!g) return 0;
    g->compressed = compressed;
    return 1;
}

int GF_CancelUpload(FrameGrabber* g) {
    if (!g) return 0;
    if (g->bufferState[g->current] == GF_STARTED) {
        BYTE state = 0;
        DWORD bytes = 0;
        if (!CLINK_GetUploadStatus(g->link, &state, &bytes) || state != 0) CLINK_AbortUpload(g->link);
        g->bufferState[g->current] = GF_IDLE;
    }
    return 1;
}

int GF_UploadState(FrameGrabber* g) {
    if (!g) return 0;
    if (g->bufferState[g->current] == GF_IDLE) return 0;
    BYTE state = 0;
    DWORD bytes = 0;
    // A read that fails says nothing more will arrive: treat it as failed.
    if (!CLINK_GetUploadStatus(g->link, &state, &bytes)) state = 6;
    int summary = state == 1 ? 1 : (state >= 2 && state <= 4) ? 2 : state == 6 ? 4 : 0;
    if (summary == 4) CLINK_AbortUpload(g->link);
    return summary;
}

int GF_SetPipelining(FrameGrabber* g, int on) {
    if (!g) return 0;
    if (on) {
        g->pipelining = g->fastPort;
        return 1;
    }
    g->pipelining = 0;
    DWORD start = timeGetTime();
    for (;;) {
        int state = GF_UploadState(g);
        if (state == 0) break;
        if (state == 4 || timeGetTime() - start > GF_READY_WAIT_MS + GF_UPLOAD_STALL_MS) {
            GF_CancelUpload(g);
            break;
        }
        PollPause();
    }
    return 1;
}

int GF_FrameReady(FrameGrabber* g, DWORD* ready) {
    if (!g) return 0;
    DWORD flag = 1;
    if (g->streamReady && g->bufferState[g->current] == GF_STARTED) {
        BYTE state = 0;
        DWORD bytes = 0;
        if (CLINK_GetUploadStatus(g->link, &state, &bytes) && state != 0 && state != 6) flag = 0;
    }
    if (ready) *ready = flag;
    return 1;
}

static int GF_RecoverStream(FrameGrabber* g) {
    BYTE stream = 0;
    if (!ZELT_GetCameraStatus(g->link, NULL, NULL, &stream, NULL, NULL, NULL, NULL, NULL) || stream != 3) return 0;
    GrabBuffer* buffer = &g->uploadBuffer[g->current];
    g->bufferState[g->current] = GF_IDLE;
    if (CLINK_StartUpload(g->link, 0, 0, buffer->size, buffer->address, g->chunkSize, 1)) {
        if (WaitForUpload(g, NULL) == 0) {
            g->bufferState[g->current] = GF_IDLE;
            return 1;
        }
    }
    BYTE state = 0;
    DWORD bytes = 0;
    if (!CLINK_GetUploadStatus(g->link, &state, &bytes) || state != 0) CLINK_AbortUpload(g->link);
    return 0;
}

// Waits for the camera to report a frame ready (stream state 1). 1 ready,
// 0 failed (a read failed, the stream broke, or no frame came in time).
static int WaitForFrame(FrameGrabber* g) {
    DWORD start = timeGetTime();
    for (;;) {
        BYTE stream = 0;
        if (!ZELT_GetCameraStatus(g->link, NULL, NULL, &stream, NULL, NULL, NULL, NULL, NULL)) return 0;
        if (stream == 1) return 1;
        if (stream == 3) {
            GF_RecoverStream(g);
            return 0;
        }
        if (timeGetTime() - start > GF_READY_WAIT_MS) return 0;
        PollPause();
    }
}

static int GF_AdjustControls(FrameGrabber* g) {
    if (!g->headerValid) return 0;
    int changed = camFrameHook(g->cameraState, g->frameHeader) != 0;
    if (!g->streamReady) changed |= AdaptCompression(g->viewport, g->frameHeader, g->callInterval, g->lastDuration);
    return changed;
}

static int GF_ApplySettings(FrameGrabber* g, DWORD uncompressed) {
    if (!uncompressed) return ApplyViewportChanges(g->viewport);
    ApplyViewportUncompressed(g->viewport);
    return 1;
}

static void DisableStreamInterrupt(void) {
    DriverOptions |= OPT_NO_IRQ;
    Trace("GF_GetFrame: DBG_DISABLE_STREAM_INT");
}

static int GetFrameFailed(FrameGrabber* g) {
    Trace("GF_GetFrame: Error");
    GF_CancelUpload(g);
    return 0;
}

static DWORD NextChunkSize(DWORD uploaded, DWORD bufferSize) {
    DWORD c = uploaded == 0 ? 4096 : uploaded / 12;
    if (c < 2048) return 2048;
    return c > bufferSize ? bufferSize : c;
}

// Starts the current buffer's upload of a frame the camera already has.
static int StartCurrentUpload(FrameGrabber* g, DWORD streamInterrupt, DWORD pipelined) {
    GrabBuffer* buffer = &g->uploadBuffer[g->current];
    return CLINK_StartUpload(g->link, streamInterrupt, pipelined, buffer->size, buffer->address, g->chunkSize, 1) != 0;
}

int GF_GetFrame(FrameGrabber* g, BYTE* destination, DWORD size, DWORD* captureTime) {
    if (!g || !destination) return 0;
    DWORD now = timeGetTime();
    g->callInterval = (WORD)(now - g->lastCallTime);
    if (g->pipelining && g->callInterval > 1000) g->resync = 1;
    g->lastCallTime = now;
    for (int tries = 0;;) {
        if (g->bufferState[g->current] == GF_IDLE) {
            GF_AdjustControls(g);
            GF_ApplySettings(g, g->resync);
            g->streamInterrupt = 0;
            if (!g->streamReady && !ZELT_GrabFrame(g->link, g->grabStartLine)) return GetFrameFailed(g);
            if (!WaitForFrame(g)) return GetFrameFailed(g);
            if (StartCurrentUpload(g, 0, 0)) g->bufferState[g->current] = GF_STARTED;
        }
        DWORD uploaded = 0;
        int ended = WaitForUpload(g, &uploaded);
        if (ended != 0) {
            if (ended == 6 && g->streamInterrupt == 1) DisableStreamInterrupt();
            return GetFrameFailed(g);
        }
        g->bufferState[g->current] = GF_UPLOADED;
        g->previous = g->current;
        g->current = (BYTE)(1 - g->current);
        g->chunkSize = NextChunkSize(uploaded, g->uploadBuffer[g->current].size);

        if (g->pipelining && !g->resync) {
            int changed = GF_AdjustControls(g) | GF_ApplySettings(g, 0);
            if (DriverOptions & OPT_NO_IRQ) changed = 1;
            if (!g->streamReady && !ZELT_GrabFrame(g->link, g->grabStartLine)) return GetFrameFailed(g);
            if (!changed) {
                g->streamInterrupt = 1;
            } else {
                g->streamInterrupt = 0;
                if (!WaitForFrame(g)) return GetFrameFailed(g);
            }
            int started = StartCurrentUpload(g, g->streamInterrupt, 1);
            if (!started && g->streamInterrupt == 1) {
                DisableStreamInterrupt();
                return GetFrameFailed(g);
            }
            if (g->streamInterrupt == 0) {
                BYTE state = 0;
                DWORD bytes = 0;
                CLINK_GetUploadStatus(g->link, &state, &bytes);
                CLINK_GetUploadStatus(g->link, &state, &bytes);
            }
            if (started) g->bufferState[g->current] = GF_STARTED;
        }

        if (g->bufferState[g->previous] != GF_UPLOADED) return GetFrameFailed(g);
        BYTE* frame = g->uploadBuffer[g->previous].address;
        DWORD status = 0;
        if (!ImageVerify(g, frame, &status)) {
            g->resync = 1;
            Trace("GF_GetFrame: ImageVerify failed");
        } else if (!g->resync || status == 0) {
            // A picture that cannot be delivered whole (a buffer too small
            // for the format) is a failed grab, not a success.
            if (!GF_DecodeFrame(g, frame, destination, size)) {
                g->bufferState[g->previous] = GF_IDLE;
                return GetFrameFailed(g);
            }
            if (captureTime) *captureTime = timeGetTime();
            g->resync = 0;
        }
        g->bufferState[g->previous] = GF_IDLE;
        if (!g->resync) break;
        if (++tries == 3) return GetFrameFailed(g);
    }
    g->lastDuration = (WORD)(timeGetTime() - g->lastCallTime);
    return 1;
}

int GF_InitFrameStream(FrameGrabber* g, DWORD skip, DWORD unused) {
    if (!g || g->streamReady) return 0;
    g->savedPipelining = g->pipelining;
    GF_SetPipelining(g, 0);
    int done = ZELT_SetGrabMode(g->link, 0) != 0;
    if (done) {
        WORD c0, c1, r0 = 0, r1 = 0;
        GetWindow(g->viewport, &c0, &c1, &r0, &r1);
        g->grabStartLine = (BYTE)((r1 - r0) / (g->fastPort ? 4 : 2));
        done = ZELT_InitStreamCap(g->link, (BYTE)skip, g->grabStartLine) != 0;
    }
    if (done) g->streamReady = 1;
    return done;
}

int GF_FiniFrameStream(FrameGrabber* g) {
    if (!g || !g->streamReady) return 0;
    int done = ZELT_FinishStreamCap(g->link) != 0;
    if (done) done = ZELT_SetGrabMode(g->link, 1) != 0;
    if (done) {
        g->streamReady = 0;
        GF_MarkResync(g);
    }
    GF_SetPipelining(g, (int)g->savedPipelining);
    return done;
}

int GF_StartFrameStream(FrameGrabber* g) {
    if (!g || !g->streamReady) return 0;
    GF_SetPipelining(g, 1);
    return ZELT_StartStreamCap(g->link) != 0;
}

int GF_StopFrameStream(FrameGrabber* g) {
    if (!g || !g->streamReady) return 0;
    GF_SetPipelining(g, 0);
    int done = ZELT_StopStreamCap(g->link) != 0;
    if (!done) trace(TRACE_MESSAGE, "ZELT_StopStreamCap returned FALSE\n");
    return done;
}
