// The Advanced Camera Settings dialog: lighting (the camera's frame-rate step,
// fixed or automatic), backlight compensation, the banding filter and its
// mains frequency, and the digital zoom with pan and tilt on the czoom
// control. Every change reaches the camera at once; Cancel puts back the
// opening value of each setting that was changed.
#include "../device/device.h"
#include "czoom.h"
#include "dialogs.h"
#include "resources/resource.h"

// While automatic, the lighting radios follow the camera's own choice.
#define FOLLOW_TIMER 1
#define FOLLOW_PERIOD 1000

// Firmware up to 1.06 cannot run the Low step with the banding filter on.
#define LAST_OLD_FIRMWARE 0x0106

// The sensor the pan position is given in.
#define SENSOR_WIDTH 352
#define SENSOR_HEIGHT 288

// Values at opening, for Cancel.
static DWORD openingStep, openingAutomatic, openingBacklight, openingBanding, openingMains;
static RECT openingWindow;
static DWORD openingZoom;
// Values in force.
static DWORD currentStep, currentAutomatic;
static int currentLightingRadio, currentFrequencyRadio;
static POINT panPosition;
// The compression in force when a pan drag began; it comes back at its end.
static LONG dragMode, dragConference;
static WORD dragConferenceLevel, dragPreviewLevel, dragQuality;
static BOOL dragUnderWay;
// What Cancel has to put back. Backlight, banding and zoom toggle with each
// click, so two clicks are no change.
static BOOL lightingChanged, backlightChanged, bandingChanged, mainsChanged, zoomChanged, panChanged;
// Set while the lighting handler gives the focus back to its radio.
static BOOL lightingFocusGuard;
// Set from OK or Cancel until the next opening: no follow timer any more.
static BOOL advancedEnded = TRUE;
static RECT advancedRect;

static BOOL IsOldFirmware(WORD version) {
    return version <= LAST_OLD_FIRMWARE;
}

static int LightingRadioFor(DWORD step) {
    switch (step) {
        case 1:
            return IDC_LIGHTING_NORMAL;
        case 3:
            return IDC_LIGHTING_MEDIUM;
        case 5:
            return IDC_LIGHTING_LOW;
        default:
            return 0;
    }
}

static DWORD StepFor(int radio) {
    return radio == IDC_LIGHTING_LOW ? 5 : radio == IDC_LIGHTING_MEDIUM ? 3 : 1;
}

// Checks the radio of the step (none for a step without one); it becomes
// the lighting radio in force.
static void ShowLightingStep(HWND dialog, DWORD step) {
    currentLightingRadio = LightingRadioFor(step);
    if (currentLightingRadio) {
        CheckRadioButton(dialog, IDC_LIGHTING_NORMAL, IDC_LIGHTING_LOW, currentLightingRadio);
        return;
    }
    CheckDlgButton(dialog, IDC_LIGHTING_NORMAL, BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_LIGHTING_MEDIUM, BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_LIGHTING_LOW, BST_UNCHECKED);
}

static void EnableItem(HWND dialog, int id, BOOL enable) {
    EnableWindow(GetDlgItem(dialog, id), enable);
}

static void EnableLightingRadios(HWND dialog, BOOL enable) {
    EnableItem(dialog, IDC_LIGHTING_NORMAL, enable);
    EnableItem(dialog, IDC_LIGHTING_MEDIUM, enable);
    EnableItem(dialog, IDC_LIGHTING_LOW, enable);
}

static void EnableFrequencyRadios(HWND dialog, BOOL enable) {
    EnableItem(dialog, IDC_FILTER_50HZ, enable);
    EnableItem(dialog, IDC_FILTER_60HZ, enable);
}

static BOOL IsChecked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// The capture window of the opening, moved to the pan position.
static RECT PannedWindow(void) {
    RECT window;
    window.left = panPosition.x;
    window.top = panPosition.y;
    window.right = panPosition.x + (openingWindow.right - openingWindow.left);
    window.bottom = panPosition.y + (openingWindow.bottom - openingWindow.top);
    return window;
}

static void OpenLighting(HWND dialog) {
    GetFrameRate(&openingStep, &openingAutomatic, NULL);
    currentStep = openingStep;
    currentAutomatic = openingAutomatic;
    openingBacklight = GetBacklight();
    ShowLightingStep(dialog, currentStep);
    EnableLightingRadios(dialog, !currentAutomatic);
    CheckDlgButton(dialog, IDC_LIGHTING_AUTOMATIC, currentAutomatic ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_BACKLIT, openingBacklight ? BST_CHECKED : BST_UNCHECKED);
}

static void OpenBanding(HWND dialog) {
    openingBanding = GetBanding();
    WORD firmware = GetDeviceFirmwareVersion();
    openingMains = 0;
    GetMainsFrequency(&openingMains);
    CheckDlgButton(dialog, IDC_BANDING_ENABLED, openingBanding ? BST_CHECKED : BST_UNCHECKED);
    currentFrequencyRadio = openingMains == 0 ? IDC_FILTER_50HZ : IDC_FILTER_60HZ;
    CheckRadioButton(dialog, IDC_FILTER_50HZ, IDC_FILTER_60HZ, currentFrequencyRadio);
    BOOL lowExcludesBanding = IsOldFirmware(firmware) && currentStep == 5;
    if (lowExcludesBanding) EnableItem(dialog, IDC_BANDING_ENABLED, FALSE);
    EnableFrequencyRadios(dialog, openingBanding && !lowExcludesBanding);
}

static void OpenPanTilt(HWND dialog) {
    openingWindow.left = openingWindow.top = openingWindow.right = openingWindow.bottom = 0;
    openingZoom = 0;
    if (GetImageWindow(&openingWindow, &openingZoom) != 1) {
        SetDlgItemTextA(dialog, IDC_PAN_TILT_GROUP, "Pan/Tilt only at 176x144 or smaller");
        EnableItem(dialog, IDC_PAN_TILT, FALSE);
        EnableItem(dialog, IDC_PAN_TILT_GROUP, FALSE);
        EnableItem(dialog, IDC_ZOOM, FALSE);
        return;
    }
    if (openingZoom) {
        panPosition.x = openingWindow.left;
        panPosition.y = openingWindow.top;
    } else {
        panPosition.x = (SENSOR_WIDTH - (openingWindow.right - openingWindow.left)) / 2;
        panPosition.y = (SENSOR_HEIGHT - (openingWindow.bottom - openingWindow.top)) / 2;
    }
    SendDlgItemMessageA(dialog, IDC_PAN_TILT, ZM_SETSIZE, 0, (LPARAM)&openingWindow);
    if (openingZoom) {
        POINT corner = {openingWindow.left, openingWindow.top};
        SendDlgItemMessageA(dialog, IDC_PAN_TILT, ZM_SETPOSITION, 0, (LPARAM)&corner);
    }
    EnableItem(dialog, IDC_PAN_TILT, openingZoom != 0);
    CheckDlgButton(dialog, IDC_ZOOM, openingZoom ? BST_CHECKED : BST_UNCHECKED);
}

static void OpenAdvanced(HWND dialog) {
    advancedEnded = FALSE;
    dragUnderWay = FALSE;
    lightingFocusGuard = FALSE;
    OpenLighting(dialog);
    OpenBanding(dialog);
    OpenPanTilt(dialog);
    lightingChanged = backlightChanged = bandingChanged = mainsChanged = zoomChanged = panChanged = FALSE;
    if (!IsRectEmpty(&advancedRect))
        SetWindowPos(dialog, NULL, advancedRect.left, advancedRect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

static void ChooseAutomatic(HWND dialog) {
    DWORD automatic = IsChecked(dialog, IDC_LIGHTING_AUTOMATIC) ? 1 : 0;
    if (automatic == currentAutomatic) return;
    currentAutomatic = automatic;
    if (!automatic) {
        DWORD ignored = 0;
        GetFrameRate(&currentStep, &ignored, NULL);
    }
    ShowLightingStep(dialog, currentStep);
    SetFrameRate(currentStep, currentAutomatic);
    EnableLightingRadios(dialog, !currentAutomatic);
}

static void ChooseLighting(HWND dialog, int radio) {
    if (radio == currentLightingRadio || lightingFocusGuard) return;
    int previous = currentLightingRadio;
    currentLightingRadio = radio;
    EnableLightingRadios(dialog, FALSE);
    HCURSOR cursor = SetCursor(LoadCursorA(NULL, IDC_WAIT));
    BOOL oldFirmware = IsOldFirmware(GetDeviceFirmwareVersion());
    // Old firmware: the banding filter gives way to Low and comes back after
    // it, without counting as a banding change of the user's.
    if (IsChecked(dialog, IDC_BANDING_ENABLED) && oldFirmware) {
        if (radio == IDC_LIGHTING_LOW) {
            SetBanding(0);
            EnableFrequencyRadios(dialog, FALSE);
        } else if (previous == IDC_LIGHTING_LOW) {
            SetBanding(1);
            EnableFrequencyRadios(dialog, TRUE);
        }
    }
    EnableItem(dialog, IDC_BANDING_ENABLED, !(oldFirmware && radio == IDC_LIGHTING_LOW));
    currentStep = StepFor(radio);
    SetFrameRate(currentStep, 0);
    EnableLightingRadios(dialog, TRUE);
    lightingFocusGuard = TRUE;
    SetFocus(GetDlgItem(dialog, radio));
    lightingFocusGuard = FALSE;
    SetCursor(cursor);
    lightingChanged = TRUE;
}

static void ChooseBanding(HWND dialog) {
    BOOL on = IsChecked(dialog, IDC_BANDING_ENABLED);
    SetBanding(on ? 1 : 0);
    EnableFrequencyRadios(dialog, on);
    bandingChanged = !bandingChanged;
}

static void ChooseFrequency(int radio) {
    if (radio == currentFrequencyRadio) return;
    currentFrequencyRadio = radio;
    mainsChanged = TRUE;
    SetBanding(0);
    SetMainsFrequency(radio == IDC_FILTER_50HZ ? 0 : 1);
    SetBanding(1);
}

static void ChooseBacklight(HWND dialog) {
    SetBacklight(IsChecked(dialog, IDC_BACKLIT) ? 1 : 0);
    backlightChanged = !backlightChanged;
}

static void ChooseZoom(HWND dialog) {
    BOOL on = IsChecked(dialog, IDC_ZOOM);
    EnableItem(dialog, IDC_PAN_TILT, on);
    zoomChanged = !zoomChanged;
    if (on) {
        RECT window = PannedWindow();
        SetImageWindow(1, &window);
    } else {
        SetImageWindow(0, &openingWindow);
    }
}

// Puts back the compression saved at a drag's start; only that.
static void EndPanDrag(void) {
    if (!dragUnderWay) return;
    dragUnderWay = FALSE;
    SetCompressionSettings(dragMode, dragConference, dragConferenceLevel, dragPreviewLevel, dragQuality);
}

// A pan drag runs uncompressed, so that each frame shows where the window is.
static void PanNotification(HWND dialog, int code) {
    switch (code) {
        case ZN_DRAGSTARTED:
            GetCompressionSettings(&dragMode, &dragConference, &dragConferenceLevel, &dragPreviewLevel, &dragQuality);
            dragUnderWay = TRUE;
            SetCompressionSettings(0, dragConference, dragConferenceLevel, dragPreviewLevel, dragQuality);
            break;
        case ZN_MOVED: {
            LRESULT position = SendDlgItemMessageA(dialog, IDC_PAN_TILT, ZM_GETPOSITION, 0, 0);
            panPosition.x = LOWORD(position);
            panPosition.y = HIWORD(position);
            RECT window = PannedWindow();
            SetImageWindow(1, &window);
            panChanged = TRUE;
            break;
        }
        case ZN_DRAGENDED:
            EndPanDrag();
            break;
        default:
            break;
    }
}

static void RestoreOpeningValues(void) {
    if (backlightChanged) SetBacklight(openingBacklight);
    if (mainsChanged) SetMainsFrequency(openingMains);
    if (bandingChanged) SetBanding(openingBanding);
    if (lightingChanged) {
        HCURSOR cursor = SetCursor(LoadCursorA(NULL, IDC_WAIT));
        // A call that changes the automatic flag changes only the flag; the
        // step of the opening then needs a second call.
        DWORD step = 0, automatic = 0;
        GetFrameRate(&step, &automatic, NULL);
        if (automatic != openingAutomatic) SetFrameRate(openingStep, openingAutomatic);
        SetFrameRate(openingStep, openingAutomatic);
        // Old firmware may have turned the filter off for Low; with the step
        // back, the filter of the opening comes back too.
        if (GetBanding() != openingBanding) SetBanding(openingBanding);
        SetCursor(cursor);
    }
    if (zoomChanged || panChanged) SetImageWindow(openingZoom, &openingWindow);
}

static void EndAdvanced(HWND dialog, int id) {
    // A drag that the dialog's end cuts short must not leave the camera
    // uncompressed: its end notification would find no dialog.
    EndPanDrag();
    if (id == IDCANCEL) RestoreOpeningValues();
    GetWindowRect(dialog, &advancedRect);
    EndDialog(dialog, id == IDOK ? 1 : 0);
    advancedEnded = TRUE;
    KillTimer(dialog, FOLLOW_TIMER);
}

static BOOL AdvancedCommand(HWND dialog, int id, int code) {
    switch (id) {
        case IDC_LIGHTING_AUTOMATIC:
            ChooseAutomatic(dialog);
            return TRUE;
        case IDC_LIGHTING_NORMAL:
        case IDC_LIGHTING_MEDIUM:
        case IDC_LIGHTING_LOW:
            ChooseLighting(dialog, id);
            return TRUE;
        case IDC_BANDING_ENABLED:
            ChooseBanding(dialog);
            return TRUE;
        case IDC_FILTER_50HZ:
        case IDC_FILTER_60HZ:
            ChooseFrequency(id);
            return TRUE;
        case IDC_BACKLIT:
            ChooseBacklight(dialog);
            return TRUE;
        case IDC_ZOOM:
            ChooseZoom(dialog);
            return TRUE;
        case IDC_PAN_TILT:
            PanNotification(dialog, code);
            return TRUE;
        case IDOK:
        case IDCANCEL:
            EndAdvanced(dialog, id);
            return TRUE;
        default:
            return FALSE;
    }
}

static void FollowCameraStep(HWND dialog) {
    if (!currentAutomatic) return;
    DWORD step = 0, automatic = 0;
    GetFrameRate(&step, &automatic, NULL);
    if (step != currentStep) {
        currentStep = step;
        ShowLightingStep(dialog, step);
    }
}

static BOOL EraseBackground(HWND dialog, HDC dc) {
    RECT client;
    GetClientRect(dialog, &client);
    HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    return TRUE;
}

static INT_PTR AdvancedMessage(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            OpenAdvanced(dialog);
            return FALSE;
        case WM_COMMAND:
            return AdvancedCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        case WM_TIMER:
            FollowCameraStep(dialog);
            return FALSE;
        case WM_ERASEBKGND:
            return EraseBackground(dialog, (HDC)wParam);
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK AdvancedSettingsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = AdvancedMessage(dialog, msg, wParam, lParam);
    // Each message restarts the one-second follow timer while automatic is
    // on, so it counts from the last message handled.
    if (currentAutomatic && !advancedEnded && msg != WM_DESTROY && msg != WM_NCDESTROY)
        SetTimer(dialog, FOLLOW_TIMER, FOLLOW_PERIOD, NULL);
    return result;
}
