// Driver start-up: the INI file and port from the open string and the
// registry, the options, the language, and the camera bring-up.
#include <string.h>

#include "../device/device.h"
#include "../settings/registry.h"
#include "../trace/trace.h"
#include "../ui/dialogs.h"
#include "driver.h"

const char defaultIniName[] = "mbkzelt.ini";

static char ToUpper(char c) {
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// An upper-case copy of the open string, or false when it is too long for
// the keyword search (260 characters or more).
static BOOL UpperCopy(const char* openString, char* upper) {
    size_t length = strlen(openString);
    if (length >= MAX_PATH) return FALSE;
    for (size_t i = 0; i <= length; i++) upper[i] = ToUpper(openString[i]);
    return TRUE;
}

static void FindIniKeyword(const char* openString) {
    char upper[MAX_PATH];
    if (!UpperCopy(openString, upper)) return;
    const char* found = strstr(upper, ".INI");
    if (!found) return;
    size_t end = (size_t)(found - upper) + 4;
    size_t begin = (size_t)(found - upper);
    while (begin > 0 && upper[begin - 1] != ' ') begin--;
    // The run fits: the whole string is shorter than the path buffer.
    memcpy(iniPath, openString + begin, end - begin);
    iniPath[end - begin] = '\0';
}

static void FindPortKeyword(const char* openString) {
    char upper[MAX_PATH];
    if (!UpperCopy(openString, upper)) return;
    const char* found = strstr(upper, "LPT");
    if (found && found[3] >= '1' && found[3] <= '3') portNumber = (DWORD)(found[3] - '0');
}

static void LoadDriverOptions(void) {
    DriverOptions = LOWORD(ReadRegDword("DebugLevel", 0));
    if (TraceOn()) trace(TRACE_OPEN, NULL);
    if (ReadRegDword("DisableECP", 0)) DriverOptions |= OPT_NO_ECP;
    if (ReadRegDword("DisableDMA", 0)) DriverOptions |= OPT_NO_DMA;
    if (ReadRegDword("DisableFDMA", 0)) DriverOptions |= OPT_NO_FAST_DMA;
    if (ReadRegDword("DisableIRQ", 0)) DriverOptions |= OPT_NO_IRQ;
}

BOOL DriverStartup(const char* openString) {
    if (!openString) openString = "";
    lstrcpyA(iniPath, defaultIniName);
    FindIniKeyword(openString);
    LoadDriverOptions();
    SetDialogIds(SelectLanguage());
    portNumber = ReadRegDword("LPTPort", 0);
    FindPortKeyword(openString);
    DWORD error = 0;
    deviceHandle = CreateTARNDevice(iniPath, &portNumber, &error);
    if (!deviceHandle) return FALSE;
    if (!SelectTARNDevice(deviceHandle)) return FALSE;
    WriteRegDword("Initialised", 1);
    initialised = TRUE;
    captureStartTime = timeGetTime();
    ResetSliderSettings();
    return TRUE;
}
