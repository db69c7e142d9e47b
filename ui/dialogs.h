// The dialog procedures the driver interface opens.
#ifndef TARN2_UI_DIALOGS_H
#define TARN2_UI_DIALOGS_H

#include "../platform/win32.h"

INT_PTR CALLBACK DriverSettingsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK CameraSettingsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK VideoFormatDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// The Advanced Camera Settings dialog, opened from Camera Settings.
INT_PTR CALLBACK AdvancedSettingsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
// Puts the Camera Settings dialog's slider records back to their start values.
void ResetSliderSettings(void);

#endif
