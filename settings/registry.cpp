// Registry access: each call opens the key, does its one query or write and
// closes the key again, so no handle is kept between calls.
#include "registry.h"

#include <string.h>

// Read and write access even for reads, so a key the driver cannot write
// shows up as a failure at the first read rather than later.
static const REGSAM kAccess = KEY_READ | KEY_WRITE;

DWORD ReadRegDword(const char* name, DWORD defaultValue) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, kAccess, &key) != ERROR_SUCCESS) return defaultValue;
    BYTE data[4];
    DWORD type = 0;
    DWORD size = sizeof data;
    LONG result = RegQueryValueExA(key, name, NULL, &type, data, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != 4) return defaultValue;
    return (DWORD)data[0] | ((DWORD)data[1] << 8) | ((DWORD)data[2] << 16) | ((DWORD)data[3] << 24);
}

BOOL WriteRegDword(const char* name, DWORD value) {
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, kAccess, NULL, &key,
                        &disposition) != ERROR_SUCCESS)
        return FALSE;
    BYTE data[4] = {(BYTE)value, (BYTE)(value >> 8), (BYTE)(value >> 16), (BYTE)(value >> 24)};
    LONG result = RegSetValueExA(key, name, 0, REG_DWORD, data, sizeof data);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? TRUE : FALSE;
}

// Copies the default bounded by the buffer: every caller's default fits,
// and a bound costs nothing where it does.
static void CopyDefault(const char* defaultValue, char* buffer, DWORD size) {
    if (!buffer || size == 0) return;
    lstrcpynA(buffer, defaultValue ? defaultValue : "", (int)size);
}

DWORD ReadRegString(const char* name, const char* defaultValue, char* buffer, DWORD size) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, kAccess, &key) != ERROR_SUCCESS) {
        CopyDefault(defaultValue, buffer, size);
        return 0;
    }
    DWORD type = 0;
    DWORD length = size;
    LONG result = RegQueryValueExA(key, name, NULL, &type, (LPBYTE)buffer, &length);
    RegCloseKey(key);
    // A stored string without its zero is terminated here, inside the room
    // the caller gave, rather than handed on unterminated.
    if (result == ERROR_SUCCESS && type == REG_SZ && buffer && length > 0) {
        if (buffer[length - 1] != '\0') {
            if (length >= size) {
                CopyDefault(defaultValue, buffer, size);
                return 0;
            }
            buffer[length] = '\0';
        }
        return length;
    }
    CopyDefault(defaultValue, buffer, size);
    return 0;
}
