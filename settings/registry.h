// The driver's registry values under HKEY_LOCAL_MACHINE\SOFTWARE\MARBECK\TARN2.
// These three calls are the only code that touches the registry.
#ifndef TARN2_SETTINGS_REGISTRY_H
#define TARN2_SETTINGS_REGISTRY_H

#include "../platform/win32.h"

#define TARN2_REGISTRY_KEY "SOFTWARE\\MARBECK\\TARN2"

DWORD ReadRegDword(const char* name, DWORD defaultValue);
BOOL WriteRegDword(const char* name, DWORD value);
// Copies the stored string, or the default when there is none that fits;
// returns the stored length with its zero, or 0 for the default.
DWORD ReadRegString(const char* name, const char* defaultValue, char* buffer, DWORD size);

#endif
