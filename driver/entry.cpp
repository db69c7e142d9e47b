// DriverProc, the module hooks, channel open and close, enable and disable.
#include "driver.h"

#include "../device/device.h"
#include "../settings/registry.h"
#include "../trace/trace.h"
#include "../ui/czoom.h"
#include "../ui/dialogs.h"

HINSTANCE moduleHandle = NULL;
WORD openCount = 0;
WORD captureUsage = 0;
WORD videoInUsage = 0;
BOOL initialised = FALSE;
DWORD portNumber = 0;
HLOCAL deviceHandle = NULL;
char iniPath[MAX_PATH] = "";
DWORD captureStartTime = 0;

static const char* ResultText(BOOL ok) {
    return ok ? "ok" : "error";
}

// A channel kind's usage counter lives in the registry so that it holds
// across processes; beside it, the process that holds the channel. A host
// that crashes or is killed never closes its channel, and its count would
// otherwise keep that channel kind from ever opening again. A counter
// whose holder is recorded and has ended is stale. One with no holder
// recorded (left by an earlier driver) is still honoured.
typedef struct ChannelUsage {
    const char* countName;
    const char* holderName;
    const char* staleText;
    const char* failedText;  // the start-up failed
} ChannelUsage;

static const ChannelUsage kCaptureUsage = {"CaptureUsage", "CaptureUsageProcess",
                                           "Video Open : VIDEO_EXTERNALIN - usage left by an ended process, cleared",
                                           "Video Open : VIDEO_EXTERNALIN - Failed to initialise camera"};
static const ChannelUsage kVideoInUsage = {"VideoInUsage", "VideoInUsageProcess",
                                           "Video Open : VIDEO_IN - usage left by an ended process, cleared",
                                           "Video Open : VIDEO_IN - Failed to initialise camera"};

static BOOL HolderHasEnded(const ChannelUsage* kind) {
    DWORD holder = ReadRegDword(kind->holderName, 0);
    if (holder == 0 || holder == GetCurrentProcessId()) return FALSE;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, holder);
    // No such process; a process we may not look at is running.
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    BOOL running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return !running;
}

// The check of a usage count and its increment are one step for every
// process that loads the driver: a system-wide mutex holds them together,
// so that two hosts opening at once cannot both see the channel free. It
// is held only for those few registry calls; a holder that does not let
// go within this time is taken for one that has the channel.
static const char kUsageMutexName[] = "TARN2 Channel Usage";
#define USAGE_WAIT_MS 2000

// Takes the channel kind if no live process has it: the count and this
// process as its holder are written before anyone else can look.
static BOOL TakeUsage(const ChannelUsage* kind, WORD* usage) {
    HANDLE mutex = CreateMutexA(NULL, FALSE, kUsageMutexName);
    // Without a mutex (none could be made) the check is made all the same;
    // an abandoned one is owned all the same: its holder ended.
    DWORD waited = mutex ? WaitForSingleObject(mutex, USAGE_WAIT_MS) : WAIT_OBJECT_0;
    BOOL owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    BOOL taken = FALSE;
    if (owned) {
        *usage = LOWORD(ReadRegDword(kind->countName, 0));
        if (*usage >= 1 && HolderHasEnded(kind)) {
            trace(TRACE_MESSAGE, kind->staleText);
            *usage = 0;
        }
        if (*usage == 0) {
            *usage = 1;
            WriteRegDword(kind->countName, *usage);
            WriteRegDword(kind->holderName, GetCurrentProcessId());
            taken = TRUE;
        }
    }
    if (mutex) {
        if (owned) ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    return taken;
}

// Closes one usage count, writing it back also when it was already 0; the
// last close leaves no holder.
static void CloseUsage(const ChannelUsage* kind, WORD* usage) {
    if (*usage != 0) (*usage)--;
    WriteRegDword(kind->countName, *usage);
    if (*usage == 0) WriteRegDword(kind->holderName, 0);
}

// Opens one capture channel kind whose opens are counted in the registry.
// The channel is taken before the camera's start-up, which takes its time,
// and given back if the start-up fails.
static BOOL OpenCaptureChannel(const char* openString, VIDEO_OPEN_PARMS* parms, const ChannelUsage* kind, WORD* usage) {
    if (!TakeUsage(kind, usage)) {
        parms->dwError = DV_ERR_TOOMANYCHANNELS;
        return FALSE;
    }
    if (!initialised && !DriverStartup(openString)) {
        CloseUsage(kind, usage);
        parms->dwError = DV_ERR_NOTDETECTED;
        trace(TRACE_MESSAGE, kind->failedText);
        return FALSE;
    }
    return TRUE;
}

LRESULT OpenChannel(const char* openString, VIDEO_OPEN_PARMS* parms) {
    if (!parms) {
        trace(TRACE_MESSAGE, "DRV_OPEN - bogus driver id");
        return 1;
    }
    if (parms->fccType != mmioFOURCC('v', 'c', 'a', 'p')) {
        trace(TRACE_MESSAGE, "DRV_OPEN - not TYPE_VCAP");
        return 0;
    }
    DWORD type = parms->dwFlags & 0x0F;
    parms->dwError = DV_ERR_NOTDETECTED;
    HLOCAL memory = LocalAlloc(LMEM_FIXED, sizeof(DriverInstance));
    DriverInstance* instance = memory ? (DriverInstance*)LocalLock(memory) : NULL;
    if (!instance) {
        parms->dwError = DV_ERR_NOMEM;
        if (memory) LocalFree(memory);
        return 0;
    }
    BOOL ok = FALSE;
    switch (type) {
        case VIDEO_EXTERNALIN:
            ok = OpenCaptureChannel(openString, parms, &kCaptureUsage, &captureUsage);
            if (ok) trace(TRACE_MESSAGE, "Video Open : VIDEO_EXTERNALIN - OK");
            break;
        case VIDEO_IN:
            ok = OpenCaptureChannel(openString, parms, &kVideoInUsage, &videoInUsage);
            break;
        case VIDEO_EXTERNALOUT:
            trace(TRACE_MESSAGE, "Video Open : VIDEO_EXTERNALOUT - Not supported");
            parms->dwError = DV_ERR_NOTSUPPORTED;
            break;
        case VIDEO_OUT:
            trace(TRACE_MESSAGE, "Video Open : VIDEO_OUT - Not supported");
            parms->dwError = DV_ERR_NOTSUPPORTED;
            break;
        default:
            trace(TRACE_MESSAGE, "Video Open : error - unknown channel");
            break;
    }
    if (!ok) {
        LocalUnlock(memory);
        LocalFree(memory);
        return 0;
    }
    instance->tag = INSTANCE_TAG;
    instance->channelType = type;
    instance->openFlags = parms->dwFlags;
    openCount++;
    parms->dwError = DV_ERR_OK;
    return (LRESULT)memory;
}

BOOL CloseChannel(HLOCAL memory) {
    if (streamInitialised) return FALSE;
    DriverInstance* instance = (DriverInstance*)LocalLock(memory);
    // A handle that is no channel of ours is refused, not freed.
    if (!instance) return FALSE;
    if (LocalSize(memory) < sizeof(DriverInstance) || instance->tag != INSTANCE_TAG) {
        LocalUnlock(memory);
        return FALSE;
    }
    if (instance->channelType == VIDEO_EXTERNALIN) CloseUsage(&kCaptureUsage, &captureUsage);
    if (instance->channelType == VIDEO_IN) CloseUsage(&kVideoInUsage, &videoInUsage);
    if (openCount > 0) openCount--;
    if (openCount == 0) {
        DestroyTARNDevice(deviceHandle, iniPath);
        deviceHandle = NULL;
        WriteRegDword("Initialised", 0);
        initialised = FALSE;
        trace(TRACE_MESSAGE, "    Final close");
    }
    // The tag goes with the record, so a stale handle is never taken for a channel.
    instance->tag = 0;
    LocalUnlock(memory);
    LocalFree(memory);
    return TRUE;
}

static void EnableDriver(void) {
    initialised = FALSE;
    openCount = 0;
    captureUsage = 0;
    videoInUsage = 0;
    EnableTARNDevices();
}

static void DisableDriver(void) {
    DisableTARNDevices();
    initialised = FALSE;
}

static void ShowDriverSettings(LPARAM lParam1) {
    HWND owner = (HWND)(UINT_PTR)LOWORD(lParam1);
    if (owner && !IsWindow(owner)) owner = NULL;
    DialogBoxParamA(moduleHandle, MAKEINTRESOURCEA(101), owner, DriverSettingsDlgProc, 0);
}

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR dwDriverId, HDRVR hDriver, UINT uMsg, LPARAM lParam1, LPARAM lParam2) {
    switch (uMsg) {
        case DRV_LOAD:
            trace(TRACE_MESSAGE, "DRV_LOAD - ok");
            return 1;
        case DRV_ENABLE:
            trace(TRACE_MESSAGE, "DRV_ENABLE - ok");
            EnableDriver();
            return 1;
        case DRV_OPEN: {
            LRESULT handle = OpenChannel((const char*)lParam1, (VIDEO_OPEN_PARMS*)lParam2);
            if (handle > 1) trace(TRACE_MESSAGE, "    DRV_OPEN - handle = 0x%08lx", (DWORD)(DWORD_PTR)handle);
            return handle;
        }
        case DRV_CLOSE: {
            trace(TRACE_MESSAGE, "DRV_CLOSE - 0x%08lx", (DWORD)dwDriverId);
            if (dwDriverId == 0 || dwDriverId == 1) return 1;
            BOOL closed = CloseChannel((HLOCAL)dwDriverId);
            trace(TRACE_MESSAGE, "    DRV_CLOSE - res = %s", ResultText(closed));
            return closed ? 1 : 0;
        }
        case DRV_DISABLE:
            trace(TRACE_MESSAGE, "DRV_DISABLE - ok");
            DisableDriver();
            return 0;
        case DRV_FREE:
            StreamEndTimer();
            trace(TRACE_MESSAGE, "DRV_FREE - ok");
            trace(TRACE_END, NULL);
            return 1;
        case DRV_CONFIGURE:
            trace(TRACE_MESSAGE, "DRV_CONFIGURE - ok");
            ShowDriverSettings(lParam1);
            return 1;
        case DRV_QUERYCONFIGURE:
            trace(TRACE_MESSAGE, "DRV_QUERYCONFIGURE - ok");
            return 1;
        case DRV_INSTALL:
            trace(TRACE_MESSAGE, "DRV_INSTALL - ok");
            return 1;
        case DRV_REMOVE:
            trace(TRACE_MESSAGE, "DRV_REMOVE - ok");
            return 1;
        default:
            break;
    }
    if (dwDriverId != 0 && dwDriverId != 1) return DispatchChannelMessage(dwDriverId, uMsg, lParam1, lParam2);
    trace(TRACE_MESSAGE, "DRV_??? - unsupported msg - 0x%04x", uMsg);
    return DefDriverProc(dwDriverId, hDriver, uMsg, lParam1, lParam2);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            moduleHandle = module;
            traceModule = module;
            RegisterZoomControlClass(module);
            trace(TRACE_OPEN, NULL);
            break;
        case DLL_PROCESS_DETACH:
            trace(TRACE_END, NULL);
            break;
        default:
            break;
    }
    return TRUE;
}
