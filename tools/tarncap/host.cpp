#include "host.h"

#include <stdio.h>
#include <string.h>
#include <unistd.h>

bool LoadDriver(Host& host, const char* name) {
    host.module = LoadLibraryA(name ? name : "mbktarn2u.drv");
    if (!host.module) {
        host.error = std::string("cannot load the driver ") + (name ? name : "mbktarn2u.drv");
        return false;
    }
    host.driverProc = reinterpret_cast<DRIVERPROC>(GetProcAddress(host.module, "DriverProc"));
    if (!host.driverProc) {
        host.error = "the driver exports no DriverProc";
        FreeLibrary(host.module);
        host.module = nullptr;
        return false;
    }
    return true;
}

void UnloadDriver(Host& host) {
    if (host.module) FreeLibrary(host.module);
    host.module = nullptr;
    host.driverProc = nullptr;
}

void PumpMessages(void) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

LRESULT Send(Host& host, DWORD_PTR driverId, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    // What the driver posted to its windows (the trace window's lines)
    // arrives before the next message, as in a host that runs its loop.
    PumpMessages();
    return host.driverProc(driverId, nullptr, msg, lParam1, lParam2);
}

static bool bringUpShown = false;

void ShowBringUpOutput(bool shown) {
    bringUpShown = shown;
}

// The camera's bring-up writes its link test's progress to the standard
// output. While a channel opens, that output is held aside; it is shown on
// the standard error (as lines of their own) with --verbose, or when the
// channel could not be opened, so a failed bring-up still explains itself.
// Otherwise it stays out of the user's way and of what scripts read.
namespace {
struct HeldOutput {
    FILE* held = tmpfile();
    int saved = -1;
    HeldOutput() {
        fflush(stdout);
        if (held) saved = dup(1);
        if (saved >= 0) dup2(fileno(held), 1);
    }
    void Release(bool show) {
        fflush(stdout);
        if (saved >= 0) {
            dup2(saved, 1);
            close(saved);
        }
        if (!held) return;
        rewind(held);
        char chunk[4096];
        size_t n;
        int last = '\n';
        while (show && (n = fread(chunk, 1, sizeof chunk, held)) > 0) {
            fwrite(chunk, 1, n, stderr);
            last = chunk[n - 1];
        }
        if (last != '\n') fputc('\n', stderr);
        fclose(held);
    }
};
}  // namespace

DWORD_PTR OpenChannel(Host& host, DWORD type, const char* openString, DWORD* error) {
    VIDEO_OPEN_PARMS parms;
    memset(&parms, 0, sizeof parms);
    parms.dwSize = sizeof parms;
    parms.fccType = mmioFOURCC('v', 'c', 'a', 'p');
    parms.dwVersion = VIDEOAPIVERSION;
    parms.dwFlags = type;
    HeldOutput aside;
    LRESULT handle = Send(host, 0, DRV_OPEN, reinterpret_cast<LPARAM>(openString ? openString : ""),
                          reinterpret_cast<LPARAM>(&parms));
    aside.Release(bringUpShown || handle == 0);
    if (error) *error = parms.dwError;
    return static_cast<DWORD_PTR>(handle);
}

const char kDriverRegistryKey[] = "SOFTWARE\\MARBECK\\TARN2";

// The driver records beside each usage count the process that holds the
// channel.
static DWORD ChannelHolder(DWORD type) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
    const char* name = type == VIDEO_IN ? "VideoInUsageProcess" : "CaptureUsageProcess";
    DWORD holder = 0, kind = 0, size = sizeof holder;
    if (RegQueryValueExA(key, name, nullptr, &kind, reinterpret_cast<BYTE*>(&holder), &size) != ERROR_SUCCESS ||
        kind != REG_DWORD)
        holder = 0;
    RegCloseKey(key);
    return holder;
}

std::string OpenRefusal(DWORD type, DWORD error) {
    std::string text = std::string(DvErrorName(error)) + " (" + std::to_string(error) + ")";
    DWORD holder = error == DV_ERR_TOOMANYCHANNELS ? ChannelHolder(type) : 0;
    if (holder) text += ", the channel is in use by process " + std::to_string(holder);
    return text;
}

const char* DvErrorName(DWORD code) {
    static const char* const names[] = {
        "DV_ERR_OK",          "DV_ERR_NONSPECIFIC",   "DV_ERR_BADFORMAT",       "DV_ERR_STILLPLAYING",
        "DV_ERR_UNPREPARED",  "DV_ERR_SYNC",          "DV_ERR_TOOMANYCHANNELS", "DV_ERR_NOTDETECTED",
        "DV_ERR_BADINSTALL",  "DV_ERR_CREATEPALETTE", "DV_ERR_SIZEFIELD",       "DV_ERR_PARAM1",
        "DV_ERR_PARAM2",      "DV_ERR_CONFIG1",       "DV_ERR_CONFIG2",         "DV_ERR_FLAGS",
        "DV_ERR_13",          "DV_ERR_NOTSUPPORTED",  "DV_ERR_NOMEM",           "DV_ERR_ALLOCATED",
        "DV_ERR_BADDEVICEID", "DV_ERR_INVALHANDLE",   "DV_ERR_BADERRNUM",       "DV_ERR_NO_BUFFERS"};
    return code < sizeof names / sizeof names[0] ? names[code] : "DV_ERR_?";
}

const char* ChannelName(DWORD type) {
    switch (type) {
        case VIDEO_EXTERNALIN:
            return "VIDEO_EXTERNALIN";
        case VIDEO_EXTERNALOUT:
            return "VIDEO_EXTERNALOUT";
        case VIDEO_IN:
            return "VIDEO_IN";
        case VIDEO_OUT:
            return "VIDEO_OUT";
        default:
            return "unknown channel";
    }
}
