// The Video Format dialog: the capture image size and RGB depth of the
// VIDEO_IN channel. It edits a working copy of the capture format and applies
// it only on OK; a size the camera cannot deliver is amended and shown for a
// second OK.
#include "../device/device.h"
#include "../device/grabber.h"
#include "dialogs.h"
#include "resources/resource.h"

// The format at opening and the copy that the controls edit; the dialog's
// screen rectangle at its last close (empty until it has closed once).
static BITMAPINFOHEADER openingFormat;
static BITMAPINFOHEADER workingFormat;
static RECT videoFormatRect;

static const char kBoxCaption[] = "mbkzelt";

// The size radios and the sizes they stand for, in the order a format's size
// is matched at opening.
typedef struct SizeChoice {
    int id;
    LONG width;
    LONG height;
} SizeChoice;

static const SizeChoice kSizes[] = {
    {IDC_SIZE_704X576, 704, 576}, {IDC_SIZE_640X480, 640, 480}, {IDC_SIZE_352X288, 352, 288},
    {IDC_SIZE_320X240, 320, 240}, {IDC_SIZE_176X144, 176, 144}, {IDC_SIZE_160X120, 160, 120},
};

// Sizes beyond 352 x 288 exist only for 24-bit RGB; the two next below are
// the ones that other depths fall back on.
static const int kLargeSizeControls[] = {IDC_SIZE_640X480, IDC_SIZE_704X576, IDC_VGA_LABEL, IDC_4CIF_LABEL};
static const int kMiddleSizeControls[] = {IDC_SIZE_352X288, IDC_SIZE_320X240, IDC_CIF_LABEL, IDC_SIF_LABEL};

static void EnableControls(HWND dialog, const int* ids, int count, BOOL enable) {
    for (int i = 0; i < count; i++) EnableWindow(GetDlgItem(dialog, ids[i]), enable);
}

static int DepthRadioFor(const BITMAPINFOHEADER* format) {
    if (format->biCompression == BI_RGB) {
        if (format->biBitCount == 24) return IDC_DEPTH_RGB24;
        if (format->biBitCount == 16) return IDC_DEPTH_RGB16;
        if (format->biBitCount == 8) return IDC_DEPTH_RGB8;
        return 0;
    }
    return format->biCompression == FOURCC_I420 ? IDC_DEPTH_I420 : 0;
}

static void ApplyDepthRule(HWND dialog, int depthId) {
    if (depthId == IDC_DEPTH_RGB24) {
        EnableControls(dialog, kLargeSizeControls, 4, TRUE);
        EnableControls(dialog, kMiddleSizeControls, 4, TRUE);
        return;
    }
    EnableControls(dialog, kMiddleSizeControls, 4, TRUE);
    if (IsDlgButtonChecked(dialog, IDC_SIZE_640X480) || IsDlgButtonChecked(dialog, IDC_SIZE_704X576)) {
        CheckRadioButton(dialog, IDC_SIZE_352X288, IDC_SIZE_640X480, IDC_SIZE_352X288);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SIZE_352X288, BN_CLICKED),
                     (LPARAM)GetDlgItem(dialog, IDC_SIZE_352X288));
    }
    EnableControls(dialog, kLargeSizeControls, 4, FALSE);
}

static void PutSize(HWND dialog, LONG width, LONG height) {
    SetDlgItemInt(dialog, IDC_CUSTOM_WIDTH, (UINT)width, TRUE);
    SetDlgItemInt(dialog, IDC_CUSTOM_HEIGHT, (UINT)height, TRUE);
}

static void MoveToRememberedPlace(HWND dialog, const RECT* place) {
    if (!IsRectEmpty(place)) SetWindowPos(dialog, NULL, place->left, place->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

static void OpenVideoFormat(HWND dialog) {
    if (!GetImageFormat(&openingFormat)) InitBitmapHeader(&openingFormat);
    workingFormat = openingFormat;
    int depthId = DepthRadioFor(&workingFormat);
    if (depthId) CheckRadioButton(dialog, IDC_DEPTH_RGB24, IDC_DEPTH_I420, depthId);
    PutSize(dialog, workingFormat.biWidth, workingFormat.biHeight);
    for (const SizeChoice& size : kSizes) {
        if (size.width == workingFormat.biWidth && size.height == workingFormat.biHeight) {
            CheckRadioButton(dialog, IDC_SIZE_352X288, IDC_SIZE_640X480, size.id);
            break;
        }
    }
    ApplyDepthRule(dialog, depthId);
    SendDlgItemMessageA(dialog, IDC_CUSTOM_WIDTH, EM_LIMITTEXT, 3, 0);
    SendDlgItemMessageA(dialog, IDC_CUSTOM_HEIGHT, EM_LIMITTEXT, 3, 0);
    SetFocus(GetDlgItem(dialog, IDOK));
    MoveToRememberedPlace(dialog, &videoFormatRect);
}

static void ChooseDepth(HWND dialog, int depthId) {
    ApplyDepthRule(dialog, depthId);
    switch (depthId) {
        case IDC_DEPTH_RGB24:
            SetBitmapFormat(&workingFormat, 24, BI_RGB);
            break;
        case IDC_DEPTH_RGB16:
            SetBitmapFormat(&workingFormat, 16, BI_RGB);
            break;
        case IDC_DEPTH_RGB8:
            SetBitmapFormat(&workingFormat, 8, BI_RGB);
            break;
        default:
            SetBitmapFormat(&workingFormat, 8, FOURCC_I420);
            break;
    }
}

// Applies the typed size; a refused one is amended into the edits and the
// working copy, and the dialog stays open for another OK.
static void ApplyVideoFormat(HWND dialog) {
    GetWindowRect(dialog, &videoFormatRect);
    LONG height = (LONG)GetDlgItemInt(dialog, IDC_CUSTOM_HEIGHT, NULL, FALSE);
    LONG width = (LONG)GetDlgItemInt(dialog, IDC_CUSTOM_WIDTH, NULL, FALSE);
    SetBitmapSize(&workingFormat, width, height);
    if (SetImageFormat(&workingFormat)) {
        EndDialog(dialog, 1);
        return;
    }
    LONG amendedWidth = width, amendedHeight = height;
    AmendImageSize(&workingFormat, &amendedWidth, &amendedHeight);
    if (amendedWidth == width && amendedHeight == height) {
        MessageBoxA(dialog, "Unsupported image type requested.", kBoxCaption, MB_OK);
        return;
    }
    MessageBoxA(dialog, "Invalid image size\nSize will be amended to nearest valid size", kBoxCaption,
                MB_OK | MB_ICONEXCLAMATION);
    PutSize(dialog, amendedWidth, amendedHeight);
    SetBitmapSize(&workingFormat, amendedWidth, amendedHeight);
}

static BOOL VideoFormatCommand(HWND dialog, int id) {
    for (const SizeChoice& size : kSizes) {
        if (size.id == id) {
            PutSize(dialog, size.width, size.height);
            return FALSE;
        }
    }
    switch (id) {
        case IDC_DEPTH_RGB24:
        case IDC_DEPTH_RGB16:
        case IDC_DEPTH_RGB8:
        case IDC_DEPTH_I420:
            ChooseDepth(dialog, id);
            return FALSE;
        case IDOK:
            ApplyVideoFormat(dialog);
            return TRUE;
        case IDCANCEL:
            // Nothing was applied, so nothing is put back.
            GetWindowRect(dialog, &videoFormatRect);
            EndDialog(dialog, 1);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK VideoFormatDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            OpenVideoFormat(dialog);
            return FALSE;
        case WM_COMMAND:
            return VideoFormatCommand(dialog, LOWORD(wParam));
        default:
            return FALSE;
    }
}
