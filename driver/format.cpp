// Capture format and palette negotiation (DVM_FORMAT, DVM_PALETTE).
#include <string.h>

#include "../device/device.h"
#include "../trace/trace.h"
#include "driver.h"

BITMAPINFOHEADER currentFormat;

static const char kFormatLine[] = "    bitcnt = %u comp = %lx (%s) X size = %lu Y size = %lu";

static void TraceFormat(const BITMAPINFOHEADER* format) {
    trace(TRACE_MESSAGE, kFormatLine, (UINT)format->biBitCount, format->biCompression,
          CompressionText(format->biCompression), (DWORD)format->biWidth, (DWORD)format->biHeight);
}

static DWORD SetFormat(const VIDEOCONFIGPARMS* parms) {
    // The request is read whole, so a shorter buffer is refused unread.
    if (!parms->lpData1) return DV_ERR_PARAM1;
    if (parms->dwSize1 < sizeof(BITMAPINFOHEADER)) return DV_ERR_SIZEFIELD;
    BITMAPINFOHEADER request;
    memcpy(&request, parms->lpData1, sizeof request);
    if (IsPrivateMessage(&request)) {
        HandlePrivateMessage(&request);
        return DV_ERR_NOTSUPPORTED;
    }
    trace(TRACE_MESSAGE, "DVM_FORMAT : VIDEO_CONFIGURE_SET");
    TraceFormat(&request);
    // Compared as the device would keep it (a host may leave the byte count
    // 0 or call I420 "IYUV"), and with the device's format of now: a dialog
    // or an earlier session may have changed it without the copy.
    BITMAPINFOHEADER normal = request;
    NormaliseImageFormat(&normal);
    GetImageFormat(&currentFormat);
    if (memcmp(&normal, &currentFormat, sizeof normal) == 0) {
        trace(TRACE_MESSAGE, "    Format already current");
        return DV_ERR_OK;
    }
    BOOL accepted = SetImageFormat(&request);
    // The copy is the device's format, accepted or not: it gives the byte
    // count of every frame, which a refused request's size (or a request
    // that left it 0) must never stand for.
    GetImageFormat(&currentFormat);
    if (accepted) {
        trace(TRACE_MESSAGE, "    image type supported");
        return DV_ERR_OK;
    }
    trace(TRACE_MESSAGE, "    unsupported image type");
    return DV_ERR_NOTSUPPORTED;
}

static DWORD GetCurrentFormat(const VIDEOCONFIGPARMS* parms) {
    trace(TRACE_MESSAGE, "VIDEO_CONFIGURE_GET : current");
    if (parms->dwSize1 < sizeof(BITMAPINFOHEADER)) {
        trace(TRACE_MESSAGE, "   DV_ERR_SIZEFIELD");
        return DV_ERR_SIZEFIELD;
    }
    if (!parms->lpData1) return DV_ERR_PARAM1;
    GetImageFormat(&currentFormat);
    BITMAPINFOHEADER copy = currentFormat;
    if (privateReadPending) {
        copy.biXPelsPerMeter = 0x57750000;
        copy.biYPelsPerMeter = (LONG)privateReadValue;
        privateReadPending = FALSE;
    }
    memcpy(parms->lpData1, &copy, sizeof copy);
    TraceFormat(&currentFormat);
    return DV_ERR_OK;
}

DWORD FormatMessageHandler(DriverInstance* instance, UINT msg, LPARAM flags, LPARAM parmsWord) {
    const VIDEOCONFIGPARMS* parms = (const VIDEOCONFIGPARMS*)parmsWord;
    DWORD flagWord = (DWORD)flags;
    if (!parms && (flagWord == 0x1000 || flagWord == 0x2010 || flagWord == 0x2001)) return DV_ERR_PARAM2;
    switch (flagWord) {
        case VIDEO_CONFIGURE_SET:
            return SetFormat(parms);
        case VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT:
            return GetCurrentFormat(parms);
        case VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE:
            trace(TRACE_MESSAGE, "VIDEO_CONFIGURE_QUERYSIZE : ok");
            if (!parms->lpdwReturn) return DV_ERR_PARAM2;
            // Room for the header and a little more, as hosts have been told.
            *parms->lpdwReturn = 50;
            return DV_ERR_OK;
        case VIDEO_CONFIGURE_QUERY | VIDEO_CONFIGURE_GET:
            trace(TRACE_MESSAGE, "VIDEO_CONFIGURE_QUERY : get - ok");
            return DV_ERR_OK;
        default:
            return DV_ERR_NOTSUPPORTED;
    }
}

// A LOGPALETTE (version, entry count, four bytes per entry) that lies whole
// within the caller's block of `size` bytes.
static BOOL PaletteFits(const void* palette, DWORD size) {
    if (size < 4) return FALSE;
    const BYTE* header = (const BYTE*)palette;
    DWORD entries = (DWORD)(header[2] | (header[3] << 8));
    return size >= 4 + 4 * entries;
}

DWORD PaletteMessageHandler(DriverInstance* instance, UINT msg, LPARAM flags, LPARAM parmsWord) {
    const VIDEOCONFIGPARMS* parms = (const VIDEOCONFIGPARMS*)parmsWord;
    DWORD flagWord = (DWORD)flags;
    const char* current = (flagWord & VIDEO_CONFIGURE_CURRENT) ? " : CURRENT" : "";
    switch (flagWord) {
        case 0x0001:
        case 0x2001:
            trace(TRACE_MESSAGE, "    VIDEO_CONFIGURE_QUERYSIZE%s", " : GET");
            if (!parms || !parms->lpdwReturn) return DV_ERR_PARAM2;
            *parms->lpdwReturn = LOWORD(GetDecoderPalette(NULL));
            return DV_ERR_OK;
        case 0x1000:
        case 0x1010:
            trace(TRACE_MESSAGE, "    VIDEO_CONFIGURE_SET%s", current);
            if (!parms || !parms->lpData1) return DV_ERR_PARAM1;
            // The decoder reads as many entries as the palette's header
            // says; a block shorter than that is refused, not read past.
            if (!PaletteFits(parms->lpData1, parms->dwSize1)) return DV_ERR_SIZEFIELD;
            SetDecoderPalette(parms->lpData1);
            return DV_ERR_OK;
        case 0x2000:
        case 0x2010: {
            trace(TRACE_MESSAGE, "    VIDEO_CONFIGURE_GET%s", current);
            if (!parms) return DV_ERR_PARAM2;
            DWORD needed = LOWORD(GetDecoderPalette(NULL));
            if (needed > parms->dwSize1 || !parms->lpData1) return DV_ERR_NOTSUPPORTED;
            GetDecoderPalette(parms->lpData1);
            return DV_ERR_OK;
        }
        case 0x9000:
            trace(TRACE_MESSAGE, "    VIDEO_CONFIGURE_QUERY : SET");
            return DV_ERR_OK;
        case 0xA000:
            trace(TRACE_MESSAGE, "    VIDEO_CONFIGURE_QUERY : GET");
            return DV_ERR_OK;
        default:
            return DV_ERR_NOTSUPPORTED;
    }
}
