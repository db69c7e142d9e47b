// Kernel, registry, profile and file services of the POSIX Win32 layer.
#ifndef TARN2_POSIX_W32_KERNEL_H
#define TARN2_POSIX_W32_KERNEL_H

#include <stdarg.h>

#include "w32_base.h"

// Local and global memory.
#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GMEM_SHARE 0x2000
#define GMEM_DDESHARE GMEM_SHARE
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

W32_EXTERN_C HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
W32_EXTERN_C LPVOID WINAPI LocalLock(HLOCAL hMem);
W32_EXTERN_C BOOL WINAPI LocalUnlock(HLOCAL hMem);
W32_EXTERN_C HLOCAL WINAPI LocalFree(HLOCAL hMem);
W32_EXTERN_C SIZE_T WINAPI LocalSize(HLOCAL hMem);
W32_EXTERN_C HLOCAL WINAPI LocalHandle(LPCVOID pMem);
W32_EXTERN_C HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
W32_EXTERN_C LPVOID WINAPI GlobalLock(HGLOBAL hMem);
W32_EXTERN_C BOOL WINAPI GlobalUnlock(HGLOBAL hMem);
W32_EXTERN_C HGLOBAL WINAPI GlobalFree(HGLOBAL hMem);
W32_EXTERN_C SIZE_T WINAPI GlobalSize(HGLOBAL hMem);
W32_EXTERN_C HGLOBAL WINAPI GlobalHandle(LPCVOID pMem);

W32_EXTERN_C DWORD WINAPI GetLastError(void);
W32_EXTERN_C void WINAPI SetLastError(DWORD dwErrCode);

// Strings and formatting.
W32_EXTERN_C int WINAPI lstrlenA(LPCSTR s);
W32_EXTERN_C LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src);
W32_EXTERN_C LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int maxLength);
W32_EXTERN_C LPSTR WINAPI lstrcatA(LPSTR dst, LPCSTR src);
W32_EXTERN_C int WINAPI lstrcmpA(LPCSTR a, LPCSTR b);
W32_EXTERN_C int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b);
W32_EXTERN_C LPSTR WINAPI CharUpperA(LPSTR s);
// Like the system's, output is limited to 1024 bytes including the zero.
W32_EXTERN_C int WINAPI MulDiv(int number, int numerator, int denominator);
W32_EXTERN_C int WINAPI wvsprintfA(LPSTR out, LPCSTR format, va_list args);
W32_EXTERN_C int wsprintfA(LPSTR out, LPCSTR format, ...);
#define lstrlen lstrlenA
#define lstrcpy lstrcpyA
#define lstrcpyn lstrcpynA
#define lstrcat lstrcatA
#define lstrcmp lstrcmpA
#define lstrcmpi lstrcmpiA
#define wsprintf wsprintfA
#define wvsprintf wvsprintfA

// Files in the Windows directory and elsewhere.
#define OF_READ 0x0000
#define OF_WRITE 0x0001
#define OF_READWRITE 0x0002
W32_EXTERN_C UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size);
W32_EXTERN_C HFILE WINAPI _lcreat(LPCSTR path, int attribute);
W32_EXTERN_C HFILE WINAPI _lopen(LPCSTR path, int mode);
W32_EXTERN_C UINT WINAPI _lwrite(HFILE file, LPCSTR buffer, UINT bytes);
W32_EXTERN_C UINT WINAPI _lread(HFILE file, LPVOID buffer, UINT bytes);
W32_EXTERN_C HFILE WINAPI _lclose(HFILE file);
W32_EXTERN_C UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName);
W32_EXTERN_C DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out,
                                                   DWORD size, LPCSTR fileName);
// The user profile, win.ini.
W32_EXTERN_C DWORD WINAPI GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR out, DWORD size);
W32_EXTERN_C BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
W32_EXTERN_C DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size);

// Registry.
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))
typedef DWORD REGSAM;
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define READ_CONTROL 0x00020000L
#define KEY_READ (READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY)
#define KEY_WRITE (READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
#define KEY_ALL_ACCESS 0xF003F
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L
W32_EXTERN_C LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result);
W32_EXTERN_C LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                                         REGSAM desired, LPSECURITY_ATTRIBUTES security, PHKEY result,
                                         LPDWORD disposition);
W32_EXTERN_C LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                          LPDWORD dataSize);
W32_EXTERN_C LONG WINAPI RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                                        DWORD dataSize);
W32_EXTERN_C LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR valueName);
W32_EXTERN_C LONG WINAPI RegCloseKey(HKEY key);

// Synchronisation.
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED 0xFFFFFFFF
W32_EXTERN_C HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
W32_EXTERN_C BOOL WINAPI ReleaseMutex(HANDLE mutex);
W32_EXTERN_C DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
W32_EXTERN_C BOOL WINAPI CloseHandle(HANDLE handle);
W32_EXTERN_C void WINAPI Sleep(DWORD milliseconds);

// Processes: whether one that left a record behind is still running.
#define PROCESS_QUERY_INFORMATION 0x0400
#define STILL_ACTIVE ((DWORD)0x00000103L)
W32_EXTERN_C DWORD WINAPI GetCurrentProcessId(void);
W32_EXTERN_C HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
W32_EXTERN_C BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);

// Devices (the link driver).
#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_OVERLAPPED 0x40000000
#define METHOD_BUFFERED 0
#define FILE_ANY_ACCESS 0
#define CTL_CODE(deviceType, function, method, access) \
    (((deviceType) << 16) | ((access) << 14) | ((function) << 2) | (method))
W32_EXTERN_C HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                       DWORD creation, DWORD flags, HANDLE templateFile);
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
W32_EXTERN_C BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped);
W32_EXTERN_C BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED overlapped);
W32_EXTERN_C DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, LPLONG distanceHigh, DWORD method);
W32_EXTERN_C DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);
W32_EXTERN_C BOOL WINAPI DeleteFileA(LPCSTR path);
W32_EXTERN_C BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                                         LPDWORD returned, LPOVERLAPPED overlapped);

// Modules.
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
typedef INT_PTR(WINAPI* FARPROC)(void);
W32_EXTERN_C HMODULE WINAPI LoadLibraryA(LPCSTR path);
W32_EXTERN_C BOOL WINAPI FreeLibrary(HMODULE module);
W32_EXTERN_C FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);
W32_EXTERN_C HMODULE WINAPI GetModuleHandleA(LPCSTR name);

// File version records of a module.
typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;
#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_RESOURCE_LANG_NOT_FOUND 1815L
W32_EXTERN_C DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle);
W32_EXTERN_C BOOL WINAPI GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data);
W32_EXTERN_C BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length);

#endif
