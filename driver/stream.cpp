// The stream engine: the host's buffers in a queue, filled on a one-shot
// multimedia timer that re-arms itself with a delay computed from how long
// the last frame took, so slow frames stretch the interval instead of piling
// timer events up.
#include <atomic>

#include "../device/device.h"
#include "../device/grabber.h"
#include "../trace/trace.h"
#include "driver.h"

BOOL streamInitialised = FALSE;

static BOOL streamRunning = FALSE;
static VIDEO_STREAM_INIT_PARMS initParams;
static WORD framePeriod = 0;
static WORD cameraFrameInterval = 33;
static WORD timerResolution = 2;
// Shared by the host thread (messages) and the timer thread (the tick).
static std::atomic<UINT> timerId(0);
static std::atomic<VIDEOHDR*> queueHead(NULL);
static VIDEOHDR* queueTail = NULL;
static std::atomic<DWORD> skippedFrames(0);
static std::atomic<DWORD> lastGrabTime(0);
// Set by STOP before it kills the timer, so a tick in flight does not arm
// a new one behind its back; and whether a tick is running now.
static std::atomic<bool> stopRequested(false);
static std::atomic<bool> tickRunning(false);
static WORD savedFrameRateTarget = 0;
static DWORD streamPosition = 0;
static HANDLE streamMutex = NULL;
static DWORD addBufferCalls = 0;
static DWORD prepareCalls = 0;
static DWORD unprepareCalls = 0;

static const WORD kMinimumDelay = 4;

static void CALLBACK FrameTimerCallback(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2);
static void CancelTimer(void);

static void Notify(UINT msg, DWORD_PTR parameter) {
    if (initParams.dwCallback == 0) return;
    DriverCallback(initParams.dwCallback, HIWORD(initParams.dwFlags), (HDRVR)initParams.hVideo, msg,
                   initParams.dwCallbackInst, parameter, 0);
}

// Traces the 1st, 101st, 201st ... call of a counted message.
static void TraceCounted(DWORD* counter, const char* text) {
    if (!TraceOn()) return;
    if (*counter % 100 == 0) trace(TRACE_MESSAGE, text);
    (*counter)++;
}

static VIDEOHDR** NextLink(VIDEOHDR* header) {
    return (VIDEOHDR**)&header->dwReserved[0];
}

static void Enqueue(VIDEOHDR* header) {
    *NextLink(header) = NULL;
    header->dwFlags &= ~VHDR_DONE;
    header->dwFlags |= VHDR_INQUEUE;
    WaitForSingleObject(streamMutex, INFINITE);
    if (queueTail)
        *NextLink(queueTail) = header;
    else
        queueHead.store(header);
    queueTail = header;
    ReleaseMutex(streamMutex);
}

static VIDEOHDR* Dequeue(void) {
    VIDEOHDR* head = queueHead.load();
    if (!head) return NULL;
    head->dwFlags &= ~VHDR_INQUEUE;
    WaitForSingleObject(streamMutex, INFINITE);
    queueHead.store(*NextLink(head));
    if (!queueHead.load()) queueTail = NULL;
    ReleaseMutex(streamMutex);
    return head;
}

static DWORD StreamInit(const VIDEO_STREAM_INIT_PARMS* parms) {
    if (streamInitialised) return DV_ERR_NONSPECIFIC;
    // The parameters are read whole; without them there is no stream.
    if (!parms) return DV_ERR_PARAM1;
    savedFrameRateTarget = GetFrameRateTarget();
    DWORD step = 0, automatic = 0;
    WORD interval = 33;
    GetFrameRate(&step, &automatic, &interval);
    // The interval divides below; a camera never reports 0, but a 0 here
    // would stop the driver, so it reads as the fastest step.
    cameraFrameInterval = interval ? interval : 33;
    WORD requested = (WORD)(parms->dwMicroSecPerFrame / 1000);
    WORD multiple = requested > cameraFrameInterval ? (WORD)(requested / cameraFrameInterval) : 1;
    framePeriod = (WORD)(multiple * cameraFrameInterval);
    SetFrameRateTarget((WORD)(1000 / framePeriod));
    initParams = *parms;
    queueHead = NULL;
    queueTail = NULL;
    streamPosition = 0;
    skippedFrames = 0;
    streamRunning = FALSE;
    streamInitialised = TRUE;
    timerId = 0;
    timerResolution = 2;
    TIMECAPS caps;
    if (timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR) {
        if (caps.wPeriodMin > 2) timerResolution = (WORD)caps.wPeriodMin;
        if (caps.wPeriodMax < framePeriod) framePeriod = (WORD)caps.wPeriodMax;
    }
    timeBeginPeriod(timerResolution);
    trace(TRACE_MESSAGE, "InStreamInit: Requested Period = %umS    Using = %umS", (UINT)requested, (UINT)framePeriod);
    streamMutex = CreateMutexA(NULL, FALSE, "Streaming Mutex");
    stopRequested = false;
    if (!GF_InitFrameStream(SelectedFrameGrabber(), (DWORD)(multiple - 1), 0)) {
        trace(TRACE_MESSAGE, "Error returned from GF_InitFrameStream()");
        return DV_ERR_NONSPECIFIC;
    }
    Notify(MM_DRVM_OPEN, 0);
    return DV_ERR_OK;
}

static DWORD StreamFini(void) {
    if (!streamInitialised) return DV_ERR_NONSPECIFIC;
    if (queueHead.load()) return DV_ERR_STILLPLAYING;
    // A running stream's timer goes first, so no tick runs into a stream
    // that is gone.
    CancelTimer();
    streamRunning = FALSE;
    streamInitialised = FALSE;
    timeEndPeriod(timerResolution);
    if (streamMutex) CloseHandle(streamMutex);
    streamMutex = NULL;
    queueHead = NULL;
    queueTail = NULL;
    Notify(MM_DRVM_CLOSE, 0);
    if (!GF_FiniFrameStream(SelectedFrameGrabber())) {
        trace(TRACE_MESSAGE, "Error returned from GF_FiniFrameStream()");
        return DV_ERR_NONSPECIFIC;
    }
    SetFrameRateTarget(savedFrameRateTarget);
    return DV_ERR_OK;
}

static DWORD StreamAddBuffer(VIDEOHDR* header) {
    WORD sinceGrab = (WORD)(timeGetTime() - lastGrabTime);
    if (sinceGrab > framePeriod) {
        framePeriod = (WORD)(framePeriod + framePeriod / 4);
        if (framePeriod > 1000) framePeriod = 1000;
    } else if (sinceGrab < framePeriod / 2) {
        framePeriod = (WORD)(framePeriod - framePeriod / 8);
    }
    if (!streamInitialised || !header) return DV_ERR_NONSPECIFIC;
    if (!(header->dwFlags & VHDR_PREPARED)) return DV_ERR_UNPREPARED;
    if (header->dwFlags & VHDR_INQUEUE) return DV_ERR_NONSPECIFIC;
    header->dwFlags &= ~VHDR_DONE;
    header->dwBytesUsed = 0;
    Enqueue(header);
    return DV_ERR_OK;
}

// Kills the pending timer and waits for a tick in flight to finish; the
// tick re-arms nothing once stopRequested is set.
static void CancelTimer(void) {
    stopRequested = true;
    UINT id = timerId.exchange(0);
    if (id) timeKillEvent(id);
    // A tick takes one frame at most; the wait is bounded all the same.
    for (int waited = 0; tickRunning && waited < 2000; waited++) Sleep(1);
    id = timerId.exchange(0);
    if (id) timeKillEvent(id);
}

static DWORD StreamStart(void) {
    if (!streamInitialised) return DV_ERR_NONSPECIFIC;
    captureStartTime = timeGetTime();
    if (streamRunning) return DV_ERR_OK;
    if (!GF_StartFrameStream(SelectedFrameGrabber())) {
        trace(TRACE_MESSAGE, "Error returned from GF_StartFrameStream()");
        return DV_ERR_NONSPECIFIC;
    }
    if (timerId) return DV_ERR_NONSPECIFIC;
    stopRequested = false;
    timerId = timeSetEvent(kMinimumDelay, timerResolution, FrameTimerCallback, 0, TIME_ONESHOT);
    if (!timerId) return DV_ERR_NONSPECIFIC;
    streamRunning = TRUE;
    return DV_ERR_OK;
}

static DWORD StreamStop(void) {
    if (!streamInitialised) return DV_ERR_NONSPECIFIC;
    if (!streamRunning) return DV_ERR_OK;
    CancelTimer();
    if (!GF_StopFrameStream(SelectedFrameGrabber())) {
        trace(TRACE_MESSAGE, "Error returned from GF_StopFrameStream()");
        return DV_ERR_NONSPECIFIC;
    }
    streamRunning = FALSE;
    return DV_ERR_OK;
}

static DWORD StreamReset(void) {
    if (!streamInitialised) return DV_ERR_NONSPECIFIC;
    if (streamRunning) StreamStop();
    VIDEOHDR* header;
    while ((header = Dequeue()) != NULL) {
        header->dwFlags |= VHDR_DONE;
        Notify(MM_DRVM_DATA, (DWORD_PTR)header);
    }
    queueHead = NULL;
    queueTail = NULL;
    return DV_ERR_OK;
}

static DWORD StreamGetError(DWORD* error, DWORD* skipped) {
    if (error) *error = DV_ERR_OK;
    if (skipped) *skipped = skippedFrames.load();
    skippedFrames = 0;
    return DV_ERR_OK;
}

static DWORD StreamGetPosition(MMTIME* time, DWORD size) {
    if (size != sizeof(MMTIME) || !time) return DV_ERR_NOTSUPPORTED;
    time->wType = TIME_MS;
    time->u.ms = streamPosition;
    return DV_ERR_OK;
}

// The delay until the next tick, from how long the last capture took.
static WORD NextDelay(DWORD t0, DWORD t1) {
    if (t1 < t0) return framePeriod;
    DWORD elapsed = t1 - t0;
    if (elapsed < framePeriod) {
        DWORD delay = framePeriod - elapsed;
        return (WORD)(delay < kMinimumDelay ? kMinimumDelay : delay);
    }
    if (elapsed < 2u * cameraFrameInterval) {
        DWORD delay = 2u * cameraFrameInterval - elapsed;
        return (WORD)(delay < kMinimumDelay ? kMinimumDelay : delay);
    }
    return cameraFrameInterval;
}

static void CALLBACK FrameTimerCallback(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2) {
    tickRunning = true;
    UINT pending = timerId.exchange(0);
    if (pending) timeKillEvent(pending);
    if (stopRequested) {
        tickRunning = false;
        return;
    }
    WORD delay = kMinimumDelay;
    VIDEOHDR* head = queueHead.load();
    if (!head) {
        skippedFrames++;
        Notify(MM_DRVM_ERROR, skippedFrames.load());
    } else {
        DWORD t0 = timeGetTime();
        lastGrabTime = t0;
        DWORD result = CaptureSingleFrame(head, 1);
        DWORD t1 = timeGetTime();
        if (result == DV_ERR_OK) {
            Notify(MM_DRVM_DATA, (DWORD_PTR)Dequeue());
            delay = NextDelay(t0, t1);
        } else if (result != DV_ERR_SYNC) {
            delay = NextDelay(t0, t1);
        }
    }
    if (delay < timerResolution) delay = timerResolution;
    // A stop, or a start in between, owns the timer from here.
    if (!timerId && !stopRequested) {
        UINT next = timeSetEvent(delay, timerResolution, FrameTimerCallback, 0, TIME_ONESHOT);
        UINT none = 0;
        if (!timerId.compare_exchange_strong(none, next)) {
            timeKillEvent(next);  // a start armed its own meanwhile
        } else if (stopRequested) {
            // Lost to a stop that came meanwhile: the new timer goes too.
            UINT mine = next;
            if (timerId.compare_exchange_strong(mine, 0)) timeKillEvent(next);
        }
    }
    tickRunning = false;
}

DWORD StreamMessage(DriverInstance* instance, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    if (instance->channelType == VIDEO_EXTERNALIN || instance->channelType == VIDEO_EXTERNALOUT)
        return DV_ERR_NOTSUPPORTED;
    switch (msg) {
        case DVM_STREAM_ADDBUFFER:
            TraceCounted(&addBufferCalls, "DVM_STREAM_ADDBUFFER (100)");
            return StreamAddBuffer((VIDEOHDR*)lParam1);
        case DVM_STREAM_FINI:
            trace(TRACE_MESSAGE, "DVM_STREAM_FINI");
            return StreamFini();
        case DVM_STREAM_GETERROR:
            trace(TRACE_MESSAGE, "DVM_STREAM_GETERROR");
            return StreamGetError((DWORD*)lParam1, (DWORD*)lParam2);
        case DVM_STREAM_GETPOSITION:
            trace(TRACE_MESSAGE, "DVM_STREAM_GETPOSITION");
            return StreamGetPosition((MMTIME*)lParam1, (DWORD)lParam2);
        case DVM_STREAM_INIT: {
            trace(TRACE_MESSAGE, "DVM_STREAM_INIT");
            DWORD result = StreamInit((const VIDEO_STREAM_INIT_PARMS*)lParam1);
            if (result != DV_ERR_OK) trace(TRACE_MESSAGE, "- failed");
            return result;
        }
        case DVM_STREAM_PREPAREHEADER:
            TraceCounted(&prepareCalls, "DVM_STREAM_PREPAREHEADER (100)");
            return DV_ERR_NOTSUPPORTED;
        case DVM_STREAM_RESET:
            trace(TRACE_MESSAGE, "DVM_STREAM_RESET");
            return StreamReset();
        case DVM_STREAM_START:
            trace(TRACE_MESSAGE, "DVM_STREAM_START");
            return StreamStart();
        case DVM_STREAM_STOP:
            trace(TRACE_MESSAGE, "DVM_STREAM_STOP");
            return StreamStop();
        case DVM_STREAM_UNPREPAREHEADER:
            TraceCounted(&unprepareCalls, "DVM_STREAM_UNPREPAREHEADER (100)");
            return DV_ERR_NOTSUPPORTED;
        default:
            trace(TRACE_MESSAGE, "stream msg, not supported (%u)", msg);
            return DV_ERR_NOTSUPPORTED;
    }
}
