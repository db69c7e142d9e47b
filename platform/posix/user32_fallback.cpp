// Weak fallbacks for the window calls, so that the kernel layer links before
// the window system does; the window system's own definitions replace them.
#include "internal.h"

#define W32_WEAK __attribute__((weak))

extern "C" {
W32_WEAK int WINAPI MessageBoxA(HWND, LPCSTR, LPCSTR, UINT) {
    return IDOK;
}
W32_WEAK HWND WINAPI GetDesktopWindow(void) {
    return nullptr;
}
W32_WEAK BOOL WINAPI IsWindow(HWND) {
    return FALSE;
}
W32_WEAK BOOL WINAPI DestroyWindow(HWND) {
    return FALSE;
}
W32_WEAK BOOL WINAPI PostMessageA(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}
W32_WEAK LRESULT WINAPI SendMessageA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}
W32_WEAK HWND WINAPI CreateDialogParamA(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM) {
    return nullptr;
}
W32_WEAK INT_PTR WINAPI DialogBoxParamA(HINSTANCE, LPCSTR, HWND, DLGPROC, LPARAM) {
    return -1;
}
W32_WEAK BOOL WINAPI EndDialog(HWND, INT_PTR) {
    return FALSE;
}
}
