// Private control messages tunnelled through DVM_FORMAT SET: a companion
// application reads and changes camera settings that the capture interface
// has no message for. The host always sees DV_ERR_NOTSUPPORTED for these;
// a read's answer is fetched with the next GET of the current format.
#include "../device/device.h"
#include "../trace/trace.h"
#include "driver.h"

BOOL privateReadPending = FALSE;
DWORD privateReadValue = 0;

static const LONG kMarkerMask = 0x7FFF0000;
static const LONG kWriteMarker = 0x23680000;
static const LONG kReadMarker = 0x68320000;

// Message numbers.
#define MSG_FIRMWARE 0x21
#define MSG_PORT 0x24
#define MSG_PAUSE 0x25
#define MSG_COLOUR 0x40
#define MSG_COMPRESSION 0x41
#define MSG_FRAME_RATE 0x50
#define MSG_LIGHTING 0x51
#define MSG_WINDOW 0x52
#define MSG_PORT_WATCH 0x70

BOOL IsPrivateMessage(const BITMAPINFOHEADER* request) {
    LONG marker = request->biXPelsPerMeter & kMarkerMask;
    return marker == kWriteMarker || marker == kReadMarker;
}

// Byte i of the four data bytes, d0 at the lowest address.
static DWORD DataByte(DWORD data, int i) {
    return (data >> (8 * i)) & 0xFF;
}

static void PutDataByte(DWORD* data, int i, DWORD value) {
    DWORD shift = 8 * (DWORD)i;
    *data = (*data & ~(0xFFu << shift)) | ((value & 0xFF) << shift);
}

static BOOL FirmwareMessage(BOOL read, DWORD* data) {
    if (!read) return FALSE;
    WORD version = GetDeviceFirmwareVersion();
    PutDataByte(data, 0, HIBYTE(version));
    PutDataByte(data, 1, LOBYTE(version));
    return TRUE;
}

static BOOL PortMessage(BOOL read, DWORD* data) {
    if (!read) return FALSE;
    LONG port = 0;
    BYTE portMode = 0;
    if (!GetDevicePort(&port, &portMode)) return FALSE;
    PutDataByte(data, 0, (DWORD)port);
    PutDataByte(data, 1, portMode);
    PutDataByte(data, 2, LOBYTE(DriverOptions));
    PutDataByte(data, 3, HIBYTE(DriverOptions));
    return TRUE;
}

static BOOL PauseMessage(BOOL read, DWORD* data) {
    if (read) return FALSE;
    PauseFrameGrabbing(DataByte(*data, 0) == 0 ? 1 : 0);
    return TRUE;
}

static BOOL ColourMessage(BOOL read, DWORD* data) {
    if (!read) {
        SetColourParams(DataByte(*data, 0), DataByte(*data, 1), DataByte(*data, 2));
        return TRUE;
    }
    DWORD brightness = 0, contrast = 0, colour = 0;
    GetColourParams(&brightness, &contrast, &colour);
    PutDataByte(data, 0, brightness);
    PutDataByte(data, 1, contrast);
    PutDataByte(data, 2, colour);
    return TRUE;
}

static BOOL CompressionMessage(BOOL read, DWORD* data) {
    if (read) {
        LONG mode = 0, videoConf = 0;
        WORD videoConfVal = 0, videoCapVal = 0, quality = 0;
        GetCompressionSettings(&mode, &videoConf, &videoConfVal, &videoCapVal, &quality);
        PutDataByte(data, 0, ((DWORD)mode & 0x0F) | (((DWORD)videoConf & 0x0F) << 4));
        PutDataByte(data, 1, videoConfVal);
        PutDataByte(data, 2, videoCapVal);
        PutDataByte(data, 3, quality);
        return TRUE;
    }
    DWORD mode = DataByte(*data, 0) & 0x0F, videoConf = DataByte(*data, 0) >> 4;
    DWORD videoConfVal = DataByte(*data, 1), videoCapVal = DataByte(*data, 2);
    // Settings no dialog or stored value can hold are refused whole rather
    // than recorded and later saved; the quality is clamped on the way.
    if (mode > 2 || videoConf > 1 || videoConfVal > 100 || videoCapVal > 100) return FALSE;
    return SetCompressionSettings((LONG)mode, (LONG)videoConf, (WORD)videoConfVal, (WORD)videoCapVal,
                                  (WORD)DataByte(*data, 3));
}

static BOOL FrameRateMessage(BOOL read, DWORD* data) {
    if (read) {
        DWORD step = 0, automatic = 0;
        BOOL known = GetFrameRate(&step, &automatic, NULL);
        PutDataByte(data, 0, step);
        PutDataByte(data, 1, automatic);
        return known;
    }
    DWORD step = DataByte(*data, 0), automatic = DataByte(*data, 1);
    // Only the five steps exist; the camera's tables are indexed by them.
    if (step < 1 || step > 5 || automatic > 1) return FALSE;
    return SetFrameRate(step, automatic);
}

static BOOL LightingMessage(BOOL read, DWORD* data) {
    if (read) {
        DWORD mains = 0;
        PutDataByte(data, 0, 2);
        PutDataByte(data, 1, GetBacklight());
        PutDataByte(data, 2, GetBanding());
        BOOL result = GetMainsFrequency(&mains);
        PutDataByte(data, 3, mains);
        return result;
    }
    DWORD backlight = DataByte(*data, 1), banding = DataByte(*data, 2), mains = DataByte(*data, 3);
    if (backlight > 1 || banding > 1 || mains > 1) return FALSE;
    // The banding filter goes off while the mains frequency changes and only
    // then takes its new state, with the new frequency's period.
    BOOL result = SetBacklight(backlight);
    if (!SetBanding(0)) result = FALSE;
    if (!SetMainsFrequency(mains)) result = FALSE;
    if (!SetBanding(banding)) result = FALSE;
    return result;
}

// A quarter of a pixel count, truncated towards zero.
static DWORD Quarter(LONG pixels) {
    return (DWORD)(pixels / 4);
}

static BOOL WindowMessage(BOOL read, DWORD* data) {
    if (read) {
        RECT window = {0, 0, 0, 0};
        DWORD panTilt = 0;
        BOOL smaller = GetImageWindow(&window, &panTilt);
        PutDataByte(data, 0, Quarter(window.top) * 2 + (smaller ? 1 : 0));
        PutDataByte(data, 1, Quarter(window.bottom) * 2 + (panTilt ? 1 : 0));
        PutDataByte(data, 2, Quarter(window.left));
        PutDataByte(data, 3, Quarter(window.right));
        return TRUE;
    }
    RECT window;
    window.left = (LONG)DataByte(*data, 2) * 4;
    window.top = (LONG)(DataByte(*data, 0) >> 1) * 4;
    window.right = (LONG)DataByte(*data, 3) * 4;
    window.bottom = (LONG)(DataByte(*data, 1) >> 1) * 4;
    // A window the camera could not cut out is refused whole there.
    return SetImageWindow(DataByte(*data, 1) & 1, &window);
}

static BOOL PortWatchMessage(BOOL read, DWORD* data) {
    if (!read) return SetPortWatch(DataByte(*data, 0), DataByte(*data, 1));
    DWORD watch = 0, event = 0;
    if (!GetPortWatch(&watch, &event)) return FALSE;
    PutDataByte(data, 0, watch);
    PutDataByte(data, 1, event);
    return TRUE;
}

// Runs one message on the selected device; 1 success, 0 failure. The data
// bytes are the values of a write and receive the answer of a read.
static BOOL RunPrivateMessage(DWORD number, BOOL read, DWORD* data) {
    // Every message acts on the camera: without one there is nothing to
    // read or change.
    if (!GetDevicePort(NULL, NULL)) return FALSE;
    switch (number) {
        case MSG_FIRMWARE:
            return FirmwareMessage(read, data);
        case MSG_PORT:
            return PortMessage(read, data);
        case MSG_PAUSE:
            return PauseMessage(read, data);
        case MSG_COLOUR:
            return ColourMessage(read, data);
        case MSG_COMPRESSION:
            return CompressionMessage(read, data);
        case MSG_FRAME_RATE:
            return FrameRateMessage(read, data);
        case MSG_LIGHTING:
            return LightingMessage(read, data);
        case MSG_WINDOW:
            return WindowMessage(read, data);
        case MSG_PORT_WATCH:
            return PortWatchMessage(read, data);
        default:
            return FALSE;
    }
}

void HandlePrivateMessage(const BITMAPINFOHEADER* request) {
    DWORD number = (DWORD)request->biXPelsPerMeter & 0xFFFF;
    BOOL read = (request->biXPelsPerMeter & kMarkerMask) == kReadMarker;
    DWORD data = (DWORD)request->biYPelsPerMeter;
    if (!RunPrivateMessage(number, read, &data)) {
        trace(TRACE_MESSAGE, "MBK_MSG : Failed Msg=0x%x", number);
        return;
    }
    if (read) {
        privateReadValue = data;
        privateReadPending = TRUE;
        trace(TRACE_MESSAGE, "MBK_MSG : Msg=0x%x  ReadData=0x%lx", number, data);
    } else {
        trace(TRACE_MESSAGE, "MBK_MSG : Msg=0x%x  WriteData=0x%lx", number, data);
    }
}
