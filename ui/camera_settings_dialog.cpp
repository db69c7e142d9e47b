// The Camera Settings dialog: brightness, contrast and colour, and the
// compression trade-off of the two compression modes. Every change reaches
// the camera at once; Cancel puts back the values of the opening.
#include "../device/device.h"
#include "../driver/driver.h"
#include "dialogs.h"
#include "resources/resource.h"

// One slider's range, value and steps; the value is the slider's current
// value while the dialog is open.
typedef struct SliderSetting {
    LONG minimum;
    LONG maximum;
    LONG value;
    LONG lineStep;
    LONG pageStep;
} SliderSetting;

static const SliderSetting kColourStart = {1, 100, 50, 1, 10};
static const SliderSetting kCompressionStart = {1, 100, 50, 2, 10};

static SliderSetting brightnessSlider = kColourStart;
static SliderSetting contrastSlider = kColourStart;
static SliderSetting colourSlider = kColourStart;
static SliderSetting compressionSlider = kCompressionStart;

// Values at opening, for Cancel.
static DWORD openingBrightness, openingContrast, openingColour;
static LONG openingMode, openingConference;
static WORD openingConferenceLevel, openingPreviewLevel, openingQuality;
static int openingModeRadio;
// The mode radio in force and the level each mode keeps.
static int currentModeRadio;
static WORD previewLevel, conferenceLevel;
// Passed with every compression change; 100 once the slider has moved.
static WORD compressionQuality;
// Set while the opening fills the number boxes, whose change notifications
// then only store the value.
static BOOL cameraSettingsOpening;
static RECT cameraSettingsRect;

void ResetSliderSettings(void) {
    brightnessSlider = kColourStart;
    contrastSlider = kColourStart;
    colourSlider = kColourStart;
    compressionSlider = kCompressionStart;
}

static void InitialiseSlider(HWND dialog, int sliderId, int numberId, const SliderSetting* slider) {
    HWND bar = GetDlgItem(dialog, sliderId);
    SetScrollRange(bar, SB_CTL, slider->minimum, slider->maximum, FALSE);
    SetScrollPos(bar, SB_CTL, slider->value, TRUE);
    if (numberId) SetDlgItemInt(dialog, numberId, (UINT)slider->value, TRUE);
}

// The slider's new value for a scroll code; the caller stores it.
static LONG ScrollSlider(HWND dialog, int sliderId, int numberId, const SliderSetting* slider, WPARAM wParam) {
    LONG value = slider->value;
    switch (LOWORD(wParam)) {
        case SB_LINEUP:
            value -= slider->lineStep;
            break;
        case SB_LINEDOWN:
            value += slider->lineStep;
            break;
        case SB_PAGEUP:
            value -= slider->pageStep;
            break;
        case SB_PAGEDOWN:
            value += slider->pageStep;
            break;
        case SB_THUMBTRACK:
            value = HIWORD(wParam);
            break;
        default:
            break;
    }
    if (value < slider->minimum) value = slider->minimum;
    if (value > slider->maximum) value = slider->maximum;
    SetScrollPos(GetDlgItem(dialog, sliderId), SB_CTL, value, TRUE);
    if (numberId) SetDlgItemInt(dialog, numberId, (UINT)value, TRUE);
    return value;
}

// The value typed into a number box when it is a number in range (the slider
// follows it); otherwise the stored value, with the box left as typed.
static LONG NumberChanged(HWND dialog, int sliderId, int numberId, const SliderSetting* slider) {
    BOOL translated = FALSE;
    UINT typed = GetDlgItemInt(dialog, numberId, &translated, FALSE);
    long long number = typed;
    if (!translated || number < slider->minimum || number > slider->maximum) return slider->value;
    SetScrollPos(GetDlgItem(dialog, sliderId), SB_CTL, (int)typed, TRUE);
    return (LONG)typed;
}

static void ApplyColour(void) {
    SetColourParams((DWORD)brightnessSlider.value, (DWORD)contrastSlider.value, (DWORD)colourSlider.value);
}

static void MoveToRememberedPlace(HWND dialog, const RECT* place) {
    if (!IsRectEmpty(place)) SetWindowPos(dialog, NULL, place->left, place->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// A user of British English sees the English template in British spelling.
static void UseBritishSpelling(HWND dialog) {
    char language[40];
    GetProfileStringA("Intl", "sLanguage", "enu", language, sizeof language);
    if (lstrcmpiA(language, "eng") != 0 || cameraSettingsDialogId != IDD_CAMERA_SETTINGS_ENGLISH) return;
    SetDlgItemTextA(dialog, IDC_COLOUR_LABEL, "Colou&r");
    SetDlgItemTextA(dialog, IDC_OPTIMIZE_CONFERENCE, "Optimise for &Video Conference");
    SetDlgItemTextA(dialog, IDC_OPTIMIZE_PREVIEW, "Optimise for Video &Preview");
}

static void OpenCameraSettings(HWND dialog) {
    cameraSettingsOpening = TRUE;
    GetColourParams(&openingBrightness, &openingContrast, &openingColour);
    brightnessSlider.value = (LONG)openingBrightness;
    contrastSlider.value = (LONG)openingContrast;
    colourSlider.value = (LONG)openingColour;
    GetCompressionSettings(&openingMode, &openingConference, &openingConferenceLevel, &openingPreviewLevel,
                           &openingQuality);
    openingModeRadio = openingConference ? IDC_OPTIMIZE_CONFERENCE : IDC_OPTIMIZE_PREVIEW;
    currentModeRadio = openingModeRadio;
    previewLevel = openingPreviewLevel;
    conferenceLevel = openingConferenceLevel;
    compressionQuality = openingQuality;
    CheckRadioButton(dialog, IDC_OPTIMIZE_PREVIEW, IDC_OPTIMIZE_CONFERENCE, currentModeRadio);
    compressionSlider.value = currentModeRadio == IDC_OPTIMIZE_CONFERENCE ? conferenceLevel : previewLevel;
    InitialiseSlider(dialog, IDC_COMPRESSION_BAR, 0, &compressionSlider);
    InitialiseSlider(dialog, IDC_BRIGHTNESS_BAR, IDC_BRIGHTNESS_EDIT, &brightnessSlider);
    InitialiseSlider(dialog, IDC_CONTRAST_BAR, IDC_CONTRAST_EDIT, &contrastSlider);
    InitialiseSlider(dialog, IDC_COLOUR_BAR, IDC_COLOUR_EDIT, &colourSlider);
    UseBritishSpelling(dialog);
    SetFocus(GetDlgItem(dialog, IDOK));
    MoveToRememberedPlace(dialog, &cameraSettingsRect);
    cameraSettingsOpening = FALSE;
}

// The slider and number box of each colour setting.
typedef struct ColourControl {
    int sliderId;
    int numberId;
    SliderSetting* slider;
} ColourControl;

static const ColourControl kColourControls[] = {
    {IDC_BRIGHTNESS_BAR, IDC_BRIGHTNESS_EDIT, &brightnessSlider},
    {IDC_CONTRAST_BAR, IDC_CONTRAST_EDIT, &contrastSlider},
    {IDC_COLOUR_BAR, IDC_COLOUR_EDIT, &colourSlider},
};

static void ScrollCompression(HWND dialog, WPARAM wParam) {
    LONG level = ScrollSlider(dialog, IDC_COMPRESSION_BAR, 0, &compressionSlider, wParam);
    compressionSlider.value = level;
    if (currentModeRadio == IDC_OPTIMIZE_PREVIEW) {
        previewLevel = (WORD)level;
        SetCompressionSettings(1, 0, conferenceLevel, previewLevel, compressionQuality);
    } else {
        conferenceLevel = (WORD)level;
        SetCompressionSettings(1, 1, conferenceLevel, previewLevel, compressionQuality);
    }
    compressionQuality = 100;
}

static void CameraSettingsScroll(HWND dialog, WPARAM wParam, LPARAM lParam) {
    int id = (int)GetWindowLongA((HWND)lParam, GWL_ID);
    if (id == IDC_COMPRESSION_BAR) {
        ScrollCompression(dialog, wParam);
        return;
    }
    for (const ColourControl& control : kColourControls) {
        if (control.sliderId != id) continue;
        control.slider->value = ScrollSlider(dialog, control.sliderId, control.numberId, control.slider, wParam);
        ApplyColour();
        return;
    }
}

static void ColourNumberChanged(HWND dialog, const ColourControl& control) {
    control.slider->value = NumberChanged(dialog, control.sliderId, control.numberId, control.slider);
    if (!cameraSettingsOpening) ApplyColour();
}

static void ChooseMode(HWND dialog, int radio) {
    if (radio == currentModeRadio) return;
    currentModeRadio = radio;
    compressionSlider.value = radio == IDC_OPTIMIZE_PREVIEW ? previewLevel : conferenceLevel;
    SetCompressionSettings(1, radio == IDC_OPTIMIZE_CONFERENCE ? 1 : 0, conferenceLevel, previewLevel,
                           compressionQuality);
    SetScrollPos(GetDlgItem(dialog, IDC_COMPRESSION_BAR), SB_CTL, compressionSlider.value, TRUE);
}

// Each number written raises its change notification, so the camera takes
// the defaults one setting at a time.
static void ResetDefaults(HWND dialog) {
    SetDlgItemInt(dialog, IDC_BRIGHTNESS_EDIT, 50, FALSE);
    SetDlgItemInt(dialog, IDC_CONTRAST_EDIT, 50, FALSE);
    SetDlgItemInt(dialog, IDC_COLOUR_EDIT, 50, FALSE);
    currentModeRadio = IDC_OPTIMIZE_PREVIEW;
    previewLevel = 50;
    conferenceLevel = 50;
    CheckRadioButton(dialog, IDC_OPTIMIZE_PREVIEW, IDC_OPTIMIZE_CONFERENCE, IDC_OPTIMIZE_PREVIEW);
    compressionSlider.value = 50;
    InitialiseSlider(dialog, IDC_COMPRESSION_BAR, 0, &compressionSlider);
    // Makes the preview command below a change, so that it applies.
    currentModeRadio = IDC_OPTIMIZE_CONFERENCE;
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_OPTIMIZE_PREVIEW, BN_CLICKED),
                 (LPARAM)GetDlgItem(dialog, IDC_OPTIMIZE_PREVIEW));
}

static void CancelCameraSettings(HWND dialog) {
    SetColourParams(openingBrightness, openingContrast, openingColour);
    SetCompressionSettings(1, openingModeRadio == IDC_OPTIMIZE_CONFERENCE ? 1 : 0, openingConferenceLevel,
                           openingPreviewLevel, compressionQuality);
    EndDialog(dialog, 1);
}

static BOOL CameraSettingsCommand(HWND dialog, int id, int code) {
    for (const ColourControl& control : kColourControls) {
        if (control.numberId != id) continue;
        if (code == EN_CHANGE) ColourNumberChanged(dialog, control);
        return FALSE;
    }
    switch (id) {
        case IDC_OPTIMIZE_PREVIEW:
        case IDC_OPTIMIZE_CONFERENCE:
            ChooseMode(dialog, id);
            return TRUE;
        case IDC_RESET_DEFAULTS:
            ResetDefaults(dialog);
            return FALSE;
        case IDC_ADVANCED:
            DialogBoxParamA(moduleHandle, MAKEINTRESOURCEA(advancedSettingsDialogId), dialog, AdvancedSettingsDlgProc,
                            0);
            return TRUE;
        case IDOK:
            GetWindowRect(dialog, &cameraSettingsRect);
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            CancelCameraSettings(dialog);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK CameraSettingsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            OpenCameraSettings(dialog);
            return FALSE;
        case WM_COMMAND:
            return CameraSettingsCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        case WM_HSCROLL:
            CameraSettingsScroll(dialog, wParam, lParam);
            return FALSE;
        default:
            return FALSE;
    }
}
