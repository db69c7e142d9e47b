// The stream engine: the host's buffers in a queue, filled on a one-shot
// multimedia timer that re-arms itself with a delay computed from how long
// the last frame took, so slow frames stretch the interval instead of piling
// timer events up.
//
// Two threads meet here: the host's (every DVM_STREAM_ message) and the
// timer's (the tick, which takes frames and dequeues). The queue links change
// only under the "Streaming Mutex"; the few values both threads read are
// atomic. Each START and STOP opens a new timer generation, and a tick whose
// generation is over does nothing, so a tick that fires late, or that a STOP
// raced, can neither take a frame nor arm another timer.
#include <atomic>

#include "../device/device.h"
#include "../device/grabber.h"
#include "../trace/trace.h"
#include "driver.h"

BOOL streamInitialised = FALSE;

static BOOL streamRunning = FALSE;
static VIDEO_STREAM_INIT_PARMS initParams;
static std::atomic<WORD> framePeriod(0);
static WORD cameraFrameInterval = 33;
static WORD timerResolution = 2;
static std::atomic<UINT> timerId(0);
static std::atomic<VIDEOHDR*> queueHead(NULL);
static VIDEOHDR* queueTail = NULL;
static std::atomic<DWORD> skippedFrames(0);
static std::atomic<DWORD> lastGrabTime(0);
// Whether this stream has begun a grab, so that lastGrabTime is its own.
static std::atomic<bool> grabbed(false);
static WORD savedFrameRateTarget = 0;
static DWORD streamPosition = 0;
static HANDLE streamMutex = NULL;
static DWORD addBufferCalls = 0;
static DWORD prepareCalls = 0;
static DWORD unprepareCalls = 0;

// The timer generation the pending timer belongs to, how many ticks are
// running (a stale one may fire beside the live one where timers fire on
// more than one thread), and whether this thread is inside a tick (a host
// that answers a callback with a stream message calls back in from there).
static std::atomic<DWORD> timerGeneration(0);
static std::atomic<int> ticksRunning(0);
static thread_local bool inTick = false;

static const WORD kMinimumDelay = 4;

static void CALLBACK FrameTimerCallback(UINT id, UINT msg, DWORD_PTR generation, DWORD_PTR dw1, DWORD_PTR dw2);

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

// Ends the current timer generation: kills the pending timer and waits for
// a tick in flight, so that nothing the tick does overlaps what the caller
// does next (stop the camera's capture, hand the queue back).
static void StopTimer(void) {
    timerGeneration++;
    UINT id = timerId.exchange(0);
    if (id) timeKillEvent(id);
    // The tick ends by itself: it takes one frame at most, and the grabber
    // bounds each of its waits. A limit of our own would let the caller
    // hand back a buffer that the tick is still filling.
    if (!inTick)
        while (ticksRunning > 0) Sleep(1);
    // A tick that armed its successor just before it saw the new generation
    // takes it back itself; this catches one it stored after the exchange.
    id = timerId.exchange(0);
    if (id) timeKillEvent(id);
}

void StreamEndTimer(void) {
    if (streamInitialised) StopTimer();
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
    // Periods beyond the 16-bit millisecond range read as its longest, not
    // as what is left after the top bits go.
    DWORD milliseconds = parms->dwMicroSecPerFrame / 1000;
    WORD requested = (WORD)(milliseconds > 0xFFFF ? 0xFFFF : milliseconds);
    WORD multiple = requested > cameraFrameInterval ? (WORD)(requested / cameraFrameInterval) : 1;
    // The camera skips at most 255 frames between two it keeps.
    if (multiple > 256) multiple = 256;
    WORD period = (WORD)(multiple * cameraFrameInterval);
    SetFrameRateTarget((WORD)(1000 / period));
    initParams = *parms;
    queueHead = NULL;
    queueTail = NULL;
    streamPosition = 0;
    skippedFrames = 0;
    grabbed = false;
    streamRunning = FALSE;
    streamInitialised = TRUE;
    timerId = 0;
    timerResolution = 2;
    TIMECAPS caps;
    if (timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR) {
        if (caps.wPeriodMin > 2) timerResolution = (WORD)caps.wPeriodMin;
        if (caps.wPeriodMax < period) period = (WORD)caps.wPeriodMax;
    }
    framePeriod = period;
    timeBeginPeriod(timerResolution);
    trace(TRACE_MESSAGE, "InStreamInit: Requested Period = %umS    Using = %umS", (UINT)requested, (UINT)period);
    streamMutex = CreateMutexA(NULL, FALSE, "Streaming Mutex");
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
    // A host that ends a running stream without STOP would otherwise leave
    // the timer reporting skipped frames to a stream that is gone.
    StopTimer();
    if (streamRunning) {
        if (!GF_StopFrameStream(SelectedFrameGrabber()))
            trace(TRACE_MESSAGE, "Error returned from GF_StopFrameStream()");
        streamRunning = FALSE;
    }
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

// The target period follows how fast the host gives buffers back: longer
// when one comes more than a period after the last grab began, shorter when
// it comes within half a period. Until the stream's first grab there is
// nothing to measure from: the buffers a host queues before it starts would
// each stretch the period by a quarter, measured from the last stream's
// grab, and the stream would begin at a fraction of its rate.
static void AdaptPeriod(void) {
    if (!grabbed) return;
    DWORD sinceGrab = timeGetTime() - lastGrabTime;
    WORD period = framePeriod;
    if (sinceGrab > period) {
        period = (WORD)(period + period / 4);
        if (period > 1000) period = 1000;
    } else if (sinceGrab < (DWORD)(period / 2)) {
        period = (WORD)(period - period / 8);
    }
    framePeriod = period;
}

static DWORD StreamAddBuffer(VIDEOHDR* header) {
    AdaptPeriod();
    if (!streamInitialised || !header) return DV_ERR_NONSPECIFIC;
    if (!(header->dwFlags & VHDR_PREPARED)) return DV_ERR_UNPREPARED;
    if (header->dwFlags & VHDR_INQUEUE) return DV_ERR_NONSPECIFIC;
    // A buffer without room for a frame would sit at the head for ever, and
    // one smaller than the format would come back claiming more bytes than
    // it holds.
    if (!header->lpData || header->dwBufferLength == 0 || header->dwBufferLength < currentFormat.biSizeImage)
        return DV_ERR_PARAM1;
    header->dwFlags &= ~VHDR_DONE;
    header->dwBytesUsed = 0;
    Enqueue(header);
    return DV_ERR_OK;
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
    DWORD generation = ++timerGeneration;
    UINT id = timeSetEvent(kMinimumDelay, timerResolution, FrameTimerCallback, generation, TIME_ONESHOT);
    if (!id) return DV_ERR_NONSPECIFIC;
    // The first tick may already have run and armed its successor.
    UINT none = 0;
    timerId.compare_exchange_strong(none, id);
    streamRunning = TRUE;
    return DV_ERR_OK;
}

static DWORD StreamStop(void) {
    if (!streamInitialised) return DV_ERR_NONSPECIFIC;
    if (!streamRunning) return DV_ERR_OK;
    StopTimer();
    if (!GF_StopFrameStream(SelectedFrameGrabber())) {
        trace(TRACE_MESSAGE, "Error returned from GF_StopFrameStream()");
        return DV_ERR_NONSPECIFIC;
    }
    streamRunning = FALSE;
    return DV_ERR_OK;
}

static DWORD StreamReset(void) {
    if (!streamInitialised) return DV_ERR_NONSPECIFIC;
    // STOP ends the timer even when the camera refuses to stop, so no tick
    // dequeues from here on.
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
    // Taken and cleared in one step, so a tick's count is never lost.
    DWORD count = skippedFrames.exchange(0);
    if (skipped) *skipped = count;
    return DV_ERR_OK;
}

static DWORD StreamGetPosition(MMTIME* time, DWORD size) {
    if (size != 12 || !time) return DV_ERR_NOTSUPPORTED;
    time->wType = TIME_MS;
    time->u.ms = streamPosition;
    return DV_ERR_OK;
}

// The delay until the next tick, from how long the last capture took.
static WORD NextDelay(DWORD t0, DWORD t1) {
    WORD period = framePeriod;
    if (t1 < t0) return period;
    DWORD elapsed = t1 - t0;
    if (elapsed < period) {
        DWORD delay = period - elapsed;
        return (WORD)(delay < kMinimumDelay ? kMinimumDelay : delay);
    }
    if (elapsed < 2u * cameraFrameInterval) {
        DWORD delay = 2u * cameraFrameInterval - elapsed;
        return (WORD)(delay < kMinimumDelay ? kMinimumDelay : delay);
    }
    return cameraFrameInterval;
}

// Takes a frame into the head buffer if there is one and a frame is ready,
// or counts a skipped frame; answers the delay until the next tick.
static WORD TakeFrame(void) {
    VIDEOHDR* head = queueHead.load();
    if (!head) {
        DWORD count = ++skippedFrames;
        Notify(MM_DRVM_ERROR, count);
        return kMinimumDelay;
    }
    DWORD t0 = timeGetTime();
    lastGrabTime = t0;
    grabbed = true;
    DWORD result = CaptureSingleFrame(head, 1);
    DWORD t1 = timeGetTime();
    if (result == DV_ERR_SYNC) return kMinimumDelay;
    if (result == DV_ERR_OK) {
        VIDEOHDR* filled = Dequeue();
        if (filled) Notify(MM_DRVM_DATA, (DWORD_PTR)filled);
    }
    return NextDelay(t0, t1);
}

static void CALLBACK FrameTimerCallback(UINT id, UINT msg, DWORD_PTR generation, DWORD_PTR dw1, DWORD_PTR dw2) {
    // Marked running before the generation is read: a STOP that ends the
    // generation after this point waits for the tick to finish.
    ticksRunning++;
    if (generation != timerGeneration) {
        ticksRunning--;
        return;
    }
    inTick = true;
    UINT pending = timerId.exchange(0);
    if (pending) timeKillEvent(pending);
    WORD delay = TakeFrame();
    if (delay < timerResolution) delay = timerResolution;
    // A STOP (and maybe a START) from the host's callback, or from another
    // thread meanwhile, owns the timer now.
    if (generation == timerGeneration) {
        UINT next = timeSetEvent(delay, timerResolution, FrameTimerCallback, generation, TIME_ONESHOT);
        timerId = next;
        if (generation != timerGeneration) {
            UINT mine = next;
            if (timerId.compare_exchange_strong(mine, 0)) timeKillEvent(next);
        }
    }
    inTick = false;
    ticksRunning--;
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
