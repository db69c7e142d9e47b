// The Driver Settings dialog: the driver's version and build date, the port
// and transfer mode, the sensor, the camera firmware and the interface
// language. When no capture channel holds the camera, the dialog brings it
// up for a moment to read the details, and releases it again.
#include "../device/device.h"
#include "../driver/driver.h"
#include "../settings/registry.h"
#include "../trace/trace.h"
#include "dialogs.h"
#include "resources/resource.h"

// Posted to itself so that the dialog shows its wait text before the camera
// comes up.
#define WM_GATHER_DETAILS (WM_USER + 42)

static const char kSensorModel[] = "T2C";
static const char kBuildDate[] = "Jan  7 1999";

// The detail controls in the order they are shown or hidden (the sensor's
// pair is listed twice).
static const int kDetailControls[] = {
    IDC_SENSOR_LABEL,   IDC_SENSOR,     IDC_VERSION_LABEL,  IDC_VERSION,      IDC_BUILD_DATE_LABEL,
    IDC_BUILD_DATE,     IDC_PORT_LABEL, IDC_PORT,           IDC_SENSOR_LABEL, IDC_SENSOR,
    IDC_LANGUAGE_LABEL, IDC_LANGUAGE,   IDC_FIRMWARE_LABEL, IDC_FIRMWARE,
};

// A string of the module's version record (language block 040904e4), cut
// to the buffer. 1 when a non-empty value was found.
static BOOL GetVersionString(const char* key, char* buffer, UINT size) {
    if (!buffer || size == 0) return FALSE;
    buffer[0] = '\0';
    char path[MAX_PATH];
    if (!GetModuleFileNameA(moduleHandle, path, MAX_PATH)) return FALSE;
    DWORD handle = 0;
    DWORD bytes = GetFileVersionInfoSizeA(path, &handle);
    if (!bytes) return FALSE;
    HLOCAL memory = LocalAlloc(LHND, bytes);
    void* block = memory ? LocalLock(memory) : NULL;
    BOOL found = FALSE;
    if (block && GetFileVersionInfoA(path, handle, bytes, block)) {
        char query[80];
        wsprintfA(query, "\\StringFileInfo\\040904e4\\%s", key);
        LPVOID value = NULL;
        UINT length = 0;
        if (VerQueryValueA(block, query, &value, &length) && value && length && *(const char*)value) {
            lstrcpynA(buffer, (const char*)value, (int)size);
            found = TRUE;
        }
    }
    if (block) LocalUnlock(memory);
    if (memory) LocalFree(memory);
    return found;
}

static void ShowDetails(HWND dialog, BOOL show) {
    for (int id : kDetailControls) ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(dialog, IDC_RETRIEVING), show ? SW_HIDE : SW_SHOW);
}

static const char* TransferModeName(DWORD mode) {
    switch (mode) {
        case 0x40:
            return "Fast DMA";
        case 0x10:
            return "ECP DMA";
        case 0x04:
            return "ECP";
        case 0x01:
            return "4 bit";
        default:
            return "Unknown";
    }
}

static void ShowPort(HWND dialog, DWORD port) {
    DWORD mode = GetPortTransferMode();
    DWORD backoff = ReadRegDword("BackoffLevel", 0);
    // A star: a faster transfer mode was switched off by option or back-off.
    BOOL slowed = ((DriverOptions | backoff) & (OPT_NO_DMA | OPT_NO_ECP | OPT_NO_FAST_DMA)) != 0;
    char text[64];
    wsprintfA(text, "LPT%d - %s%s", (int)port, TransferModeName(mode), slowed ? " *" : "");
    SetDlgItemTextA(dialog, IDC_PORT, text);
    SetDlgItemTextA(dialog, IDC_SENSOR, kSensorModel);
    DWORD firmware = ReadRegDword("FW_Version", 0);
    wsprintfA(text, "%d-%02d", (int)HIBYTE(LOWORD(firmware)), (int)LOBYTE(firmware));
    SetDlgItemTextA(dialog, IDC_FIRMWARE, text);
}

static void AddDisableOptions(void) {
    if (ReadRegDword("DisableECP", 0)) DriverOptions |= OPT_NO_ECP;
    if (ReadRegDword("DisableDMA", 0)) DriverOptions |= OPT_NO_DMA;
    if (ReadRegDword("DisableFDMA", 0)) DriverOptions |= OPT_NO_FAST_DMA;
}

// Brings the camera up for its details and releases it, which stores the
// camera settings.
static void ReadCameraDetails(HWND dialog) {
    DWORD port = ReadRegDword("LPTPort", 0);
    DriverOptions = LOWORD(ReadRegDword("DebugLevel", 0));
    AddDisableOptions();
    DWORD error = 0;
    HLOCAL device = CreateTARNDevice(defaultIniName, &port, &error);
    if (!device) {
        SetDlgItemTextA(dialog, IDC_SENSOR, "Error initialising camera");
        return;
    }
    if (!SelectTARNDevice(device)) {
        // Not released: the release would store settings read from no
        // selected device over the good ones.
        SetDlgItemTextA(dialog, IDC_SENSOR, "Unable to find camera");
        return;
    }
    ShowPort(dialog, port);
    DestroyTARNDevice(device, defaultIniName);
}

static const char* LanguageName(char* stored, DWORD size) {
    switch (LOWORD(ReadRegDword("Language", 255))) {
        case 0:
            return defaultLanguageName;
        case 1:
            return "French";
        case 2:
            return "Italian";
        case 3:
            return "German";
        case 4:
            return "Spanish";
        case 5:
            return "Portuguese";
        default:
            ReadRegString("Language", defaultLanguageName, stored, size);
            return stored;
    }
}

// A capture channel holds the camera: one of this process's, or, as the
// registry tells, of another. Then the camera is not touched.
static BOOL CameraHeldByAChannel(void) {
    return initialised || ReadRegDword("Initialised", 0) != 0;
}

static void GatherDetails(HWND dialog) {
    if (CameraHeldByAChannel()) {
        AddDisableOptions();
        ShowPort(dialog, ReadRegDword("LPTPort", 0));
    } else {
        ReadCameraDetails(dialog);
    }
    char stored[80];
    SetDlgItemTextA(dialog, IDC_LANGUAGE, LanguageName(stored, sizeof stored));
    char version[20];
    GetVersionString("FileVersion", version, sizeof version);
    SetDlgItemTextA(dialog, IDC_VERSION, version);
    SetDlgItemTextA(dialog, IDC_BUILD_DATE, kBuildDate);
}

static void ShowGatheredDetails(HWND dialog) {
    GatherDetails(dialog);
    ShowDetails(dialog, TRUE);
    SetFocus(GetDlgItem(dialog, IDOK));
}

INT_PTR CALLBACK DriverSettingsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowTextA(dialog, "Driver Settings");
            if (CameraHeldByAChannel()) {
                ShowGatheredDetails(dialog);
                return FALSE;
            }
            ShowDetails(dialog, FALSE);
            PostMessageA(dialog, WM_GATHER_DETAILS, 0, 0);
            return FALSE;
        case WM_GATHER_DETAILS:
            ShowGatheredDetails(dialog);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
            EndDialog(dialog, 1);
            return TRUE;
        default:
            return FALSE;
    }
}
