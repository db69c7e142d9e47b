// The viewport record's operations, the image-size rule and the image
// format and window changes of the selected device.
#include <string.h>

#include "camera_device.h"
#include "device.h"

Viewport* CreateViewport(void) {
    HLOCAL memory = LocalAlloc(LHND, sizeof(Viewport));
    Viewport* viewport = memory ? (Viewport*)LocalLock(memory) : NULL;
    if (!viewport) {
        if (memory) LocalFree(memory);
        return NULL;
    }
    viewport->memory = memory;
    return viewport;
}

void ReleaseViewport(Viewport* viewport) {
    if (!viewport) return;
    HLOCAL memory = viewport->memory;
    LocalUnlock(memory);
    LocalFree(memory);
}

int AttachViewport(Viewport* viewport, Link* link) {
    if (!viewport) return 0;
    viewport->failed = 0;
    viewport->link = link;
    // A camera whose status cannot be read is as good as one that does not
    // answer: the attach fails rather than stage settings for nobody.
    BYTE systemState = 0;
    if (!ZELT_GetCameraStatus(link, &systemState, NULL, NULL, NULL, NULL, NULL, NULL, NULL) || systemState == 0) {
        viewport->failed = 1;
        return 0;
    }
    SetViewportDefaults(viewport);
    ZELT_SetCompressionParams(link, 3, 9, 1, 3, 2, 5, 3, 2);
    return 1;
}

static void Mark(Viewport* viewport, DWORD bits) {
    viewport->dirty |= bits;
    viewport->pending = 1;
}

int SetVideoSize(Viewport* viewport, BYTE size) {
    if (!viewport) return 0;
    viewport->videoSize = size;
    Mark(viewport, VP_DIRTY_SIZE);
    return 1;
}

int SetYUVFormat(Viewport* viewport, BYTE subSample, BYTE order) {
    if (!viewport) return 0;
    viewport->subSample = subSample;
    viewport->yuvOrder = order;
    Mark(viewport, VP_DIRTY_YUV);
    return 1;
}

int SetWindow(Viewport* viewport, WORD colStart, WORD colEnd, WORD rowStart, WORD rowEnd) {
    if (!viewport || viewport->failed) return 0;
    BYTE c0 = (BYTE)(colStart / 8), c1 = (BYTE)(colEnd / 8), r0 = (BYTE)(rowStart / 4), r1 = (BYTE)(rowEnd / 4);
    if (viewport->colStart8 == c0 && viewport->colEnd8 == c1 && viewport->rowStart4 == r0 && viewport->rowEnd4 == r1)
        return 1;
    viewport->colStart8 = c0;
    viewport->colEnd8 = c1;
    viewport->rowStart4 = r0;
    viewport->rowEnd4 = r1;
    Mark(viewport, VP_DIRTY_WINDOW);
    return 1;
}

int GetWindow(Viewport* viewport, WORD* colStart, WORD* colEnd, WORD* rowStart, WORD* rowEnd) {
    if (!viewport) return 0;
    if (colStart) *colStart = (WORD)(viewport->colStart8 * 8);
    if (colEnd) *colEnd = (WORD)(viewport->colEnd8 * 8);
    if (rowStart) *rowStart = (WORD)(viewport->rowStart4 * 4);
    if (rowEnd) *rowEnd = (WORD)(viewport->rowEnd4 * 4);
    return 1;
}

int SetCompression(Viewport* viewport, int mode, int decimation, int yThreshold, int uvThreshold) {
    if (!viewport) return 0;
    if (mode != -1) viewport->compMode = (BYTE)mode;
    if (decimation != -1) viewport->decimation = (BYTE)decimation;
    if (yThreshold != -1) viewport->yThreshold = (BYTE)yThreshold;
    if (uvThreshold != -1) viewport->uvThreshold = (BYTE)uvThreshold;
    Mark(viewport, VP_DIRTY_COMPRESSION);
    return 1;
}

int SetYUVThresholds(Viewport* viewport, int yThreshold, int uvThreshold) {
    return SetCompression(viewport, -1, -1, yThreshold, uvThreshold);
}

int SetDecimation(Viewport* viewport, DWORD flag) {
    if (!viewport) return 0;
    if (viewport->decimation == flag) return 1;
    viewport->decimation = flag != 0;
    Mark(viewport, VP_DIRTY_COMPRESSION);
    return 1;
}

int GetDecimation(Viewport* viewport) {
    return viewport && viewport->decimation == 1;
}

int AdaptCompression(Viewport* viewport, const BYTE* frameHeader, WORD callInterval, WORD lastDuration) {
    if (!viewport) return 0;
    if (viewport->videoConf == 0) AdaptCompressionTarget(viewport, (DWORD)lastDuration * 3 < (DWORD)callInterval * 2);
    if (!viewport->pending) return 0;
    ApplyViewportChanges(viewport);
    return 1;
}

static LONG RoundToNearest(LONG value, LONG step) {
    return (value + step / 2) / step * step;
}

int AmendImageSize(const BITMAPINFOHEADER* format, LONG* width, LONG* height) {
    if (!format) return 0;
    LONG maxW, maxH;
    if (format->biCompression != 0 || format->biBitCount == 8 || format->biBitCount == 16) {
        maxW = 352;
        maxH = 288;
    } else if (format->biBitCount == 24) {
        maxW = 704;
        maxH = 576;
    } else {
        if (width) *width = format->biWidth;
        if (height) *height = format->biHeight;
        return 0;
    }
    LONG w = format->biWidth < maxW ? format->biWidth : maxW;
    LONG h = format->biHeight < maxH ? format->biHeight : maxH;
    if (w <= 8) w = 8;
    if (h <= 4) h = 4;
    if (w <= 352 && h <= 288) {
        w = RoundToNearest(w, 8);
        h = RoundToNearest(h, 4);
    } else {
        w = RoundToNearest(w, 16);
        h = RoundToNearest(h, 8);
    }
    if (width) *width = w;
    if (height) *height = h;
    return w == format->biWidth && h == format->biHeight;
}

// The format's own window: the camera picture centred on the smaller
// sensor that holds it. 1 when it was staged.
static int StageFormatWindow(Viewport* viewport, LONG cameraW, LONG cameraH) {
    LONG sensorW = 352, sensorH = 288;
    if (cameraW <= 176 && cameraH <= 144) {
        SetVideoSize(viewport, 0);
        sensorW = 176;
        sensorH = 144;
    } else {
        SetVideoSize(viewport, 1);
    }
    LONG col = (sensorW - cameraW) / 2, row = (sensorH - cameraH) / 2;
    return SetWindow(viewport, (WORD)col, (WORD)(col + cameraW), (WORD)row, (WORD)(row + cameraH));
}

// Whether a window lies on the sensor of that size as the camera takes it:
// at least one unit wide and high once cut to its units of 8 columns and 4
// rows, and inside the sensor.
static BOOL WindowOnSensor(BYTE videoSize, const RECT* r) {
    LONG width = videoSize ? 352 : 176, height = videoSize ? 288 : 144;
    if (r->left < 0 || r->top < 0 || r->right > width || r->bottom > height) return FALSE;
    return r->left / 8 < r->right / 8 && r->top / 4 < r->bottom / 4;
}

// An output the decoder can write and the camera has a YUV layout for.
static BOOL OutputFormatSupported(const BITMAPINFOHEADER* format) {
    DWORD c = format->biCompression;
    if (c != 0 && c != FOURCC_I420 && c != FOURCC_IYUV && c != FOURCC_YV12 && c != FOURCC_YUY2 && c != FOURCC_UYVY)
        return FALSE;
    DWORD decoder = DecoderOpen(c, format->biBitCount);
    return decoder != 0 && decoder != 1;
}

BOOL SetImageFormat(const BITMAPINFOHEADER* format) {
    CameraDevice* device = SelectedDevice();
    if (!device || !format) return FALSE;
    if (format->biWidth <= 0 || format->biHeight <= 0 || format->biWidth > 704 || format->biHeight > 576) return FALSE;
    LONG w = 0, h = 0;
    if (!AmendImageSize(format, &w, &h)) return FALSE;
    // Refused before anything changes: a refusal half-way would leave the
    // window, the sensor size and the output format of a format the driver
    // does not deliver, with the decoder still on the old one.
    if (!OutputFormatSupported(format)) return FALSE;
    if (!(format->biWidth == 176 && format->biHeight == 144)) device->panTiltMode = 0;
    LONG cameraW = format->biWidth, cameraH = format->biHeight;
    if (cameraW > 352 || cameraH > 288) {
        cameraW /= 2;
        cameraH /= 2;
    }
    device->outputFormat = *format;
    Viewport* viewport = device->viewport;
    // A new format stages the whole picture again, so a change the camera
    // refused earlier does not keep every later one out.
    if (viewport) viewport->failed = 0;
    if (!device->panTiltMode) StageFormatWindow(viewport, cameraW, cameraH);
    device->frameRateTarget = (cameraW > 176 && cameraH > 144) ? 8 : 15;
    InitBitmapHeader(&device->cameraFormat);
    SetBitmapFormat(&device->cameraFormat, 16, FOURCC_PYUV);
    SetBitmapSize(&device->cameraFormat, cameraW, cameraH);
    if (!SetupDecoder(device->frameGrabber, &device->cameraFormat, &device->outputFormat)) return FALSE;
    NormaliseImageFormat(&device->outputFormat);
    DWORD c = device->outputFormat.biCompression;
    if (c != 0 && c != FOURCC_I420 && c != FOURCC_YV12 && c != FOURCC_YUY2 && c != FOURCC_UYVY) return FALSE;
    SetYUVFormat(viewport, 1, 0);
    GF_MarkResync(device->frameGrabber);
    return TRUE;
}

void NormaliseImageFormat(BITMAPINFOHEADER* format) {
    if (!format) return;
    if (format->biCompression == FOURCC_IYUV) format->biCompression = FOURCC_I420;
    // The byte count of every frame is the driver's to say, whatever the
    // request held there (0 is allowed for RGB, and any other number would
    // be reported as the size of each frame).
    format->biSizeImage =
        (DWORD)ImageSizeFor(format->biCompression, format->biBitCount, format->biWidth, format->biHeight);
}

BOOL GetImageFormat(BITMAPINFOHEADER* format) {
    CameraDevice* device = SelectedDevice();
    if (!device || !format) return FALSE;
    *format = device->outputFormat;
    return TRUE;
}

BOOL GetImageWindow(RECT* rectangle, DWORD* panTilt) {
    CameraDevice* device = SelectedDevice();
    if (!device) return FALSE;
    WORD c0 = 0, c1 = 0, r0 = 0, r1 = 0;
    GetWindow(device->viewport, &c0, &c1, &r0, &r1);
    if (rectangle) {
        rectangle->left = c0;
        rectangle->right = c1;
        rectangle->top = r0;
        rectangle->bottom = r1;
    }
    if (panTilt) *panTilt = device->panTiltMode;
    return (c1 - c0) < 352 && (r1 - r0) < 288;
}

BOOL SetImageWindow(DWORD panTilt, const RECT* rectangle) {
    CameraDevice* device = SelectedDevice();
    if (!device || !rectangle) return FALSE;
    Viewport* viewport = device->viewport;
    int done;
    if (!panTilt && device->panTiltMode) {
        // Leaving pan and tilt gives the format back its own window. The
        // pan window centred in a QCIF image would lie off that sensor for
        // any picture larger than QCIF, and the camera would refuse it.
        device->panTiltMode = 0;
        done = StageFormatWindow(viewport, device->cameraFormat.biWidth, device->cameraFormat.biHeight);
    } else {
        // Refused before anything changes: a window the camera would
        // refuse must never reach it.
        if (!viewport || !WindowOnSensor(panTilt ? 1 : viewport->videoSize, rectangle)) return FALSE;
        if (panTilt && !device->panTiltMode) SetVideoSize(viewport, 1);
        device->panTiltMode = panTilt;
        done = SetWindow(viewport, (WORD)rectangle->left, (WORD)rectangle->right, (WORD)rectangle->top,
                         (WORD)rectangle->bottom);
    }
    if (done) GF_MarkResync(device->frameGrabber);
    return done;
}
