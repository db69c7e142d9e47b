// Stand-ins for the dialog procedures until the dialogs are built: each
// dialog closes at once with the end value 0 (cancelled).
#include "dialogs.h"

static INT_PTR CloseAtOnce(HWND dialog, UINT msg) {
    if (msg != WM_INITDIALOG) return FALSE;
    EndDialog(dialog, 0);
    return TRUE;
}

INT_PTR CALLBACK DriverSettingsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    return CloseAtOnce(dialog, msg);
}

INT_PTR CALLBACK CameraSettingsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    return CloseAtOnce(dialog, msg);
}

INT_PTR CALLBACK VideoFormatDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    return CloseAtOnce(dialog, msg);
}

void ResetSliderSettings(void) {}
