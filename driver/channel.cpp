// The channel dispatcher: every video message of an opened channel.
#include "../device/device.h"
#include "../trace/trace.h"
#include "../ui/dialogs.h"
#include "driver.h"

DWORD goodFrames = 0;
DWORD badFrames = 0;

static const char* ResultText(DWORD result) {
    return result == DV_ERR_OK ? "ok" : "error";
}

static DWORD GetErrorText(VIDEO_GETERRORTEXT_PARMS* parms) {
    trace(TRACE_MESSAGE, "DVM_GETERRORTEXT");
    if (!parms || parms->dwLength == 0 || !parms->lpText) return DV_ERR_NOTSUPPORTED;
    // The driver has no error texts.
    parms->lpText[0] = '\0';
    return DV_ERR_OK;
}

static DWORD GetVideoApiVersion(DWORD* word) {
    DWORD result = DV_ERR_PARAM1;
    if (word) {
        trace(TRACE_MESSAGE, "DVM GETVIDEOAPIVER: lParam1 = %ld", *word);
        *word = 80;
        result = DV_ERR_OK;
    }
    trace(TRACE_MESSAGE, "DVM_GETVIDEOAPIVER - %s", ResultText(result));
    return result;
}

static INT_PTR ShowDialog(UINT id, HWND parent, DLGPROC proc) {
    if (parent && !IsWindow(parent)) parent = NULL;
    return DialogBoxParamA(moduleHandle, MAKEINTRESOURCEA(id), parent, proc, 0);
}

static DWORD ChannelDialog(DWORD channelType, HWND parent, DWORD flags) {
    BOOL query = (flags & VIDEO_DLG_QUERY) != 0;
    switch (channelType) {
        case VIDEO_EXTERNALIN: {
            if (query) {
                trace(TRACE_MESSAGE, "    VIDEO_EXTERNALIN - query, ok");
                return DV_ERR_OK;
            }
            INT_PTR end = ShowDialog(cameraSettingsDialogId, parent, CameraSettingsDlgProc);
            trace(TRACE_MESSAGE, "    VIDEO_EXTERNALIN");
            return end == 0 ? DV_ERR_NOTSUPPORTED : DV_ERR_OK;
        }
        case VIDEO_IN: {
            if (query) {
                trace(TRACE_MESSAGE, "    VIDEO_IN - query, ok");
                return DV_ERR_OK;
            }
            trace(TRACE_MESSAGE, "    VIDEO_IN");
            INT_PTR end = ShowDialog(videoFormatDialogId, parent, VideoFormatDlgProc);
            return end == 0 || end == -1 ? DV_ERR_NOTSUPPORTED : DV_ERR_OK;
        }
        case VIDEO_EXTERNALOUT:
            trace(TRACE_MESSAGE, "    VIDEO_EXTERNALOUT - fail");
            return DV_ERR_NOTSUPPORTED;
        case VIDEO_OUT:
            trace(TRACE_MESSAGE, "    VIDEO_OUT - fail");
            return DV_ERR_NOTSUPPORTED;
        default:
            trace(TRACE_MESSAGE, "    VideoDialog - invalid dwOpenType 0x%lx", channelType);
            return DV_ERR_NOTSUPPORTED;
    }
}

static DWORD DialogMessage(DWORD channelType, LPARAM lParam1, LPARAM lParam2) {
    trace(TRACE_MESSAGE, "DVM_DIALOG");
    // Pipelined uploads stop for exactly the dialog's life.
    PauseFrameGrabbing(1);
    DWORD result = ChannelDialog(channelType, (HWND)lParam1, (DWORD)lParam2);
    PauseFrameGrabbing(0);
    trace(TRACE_MESSAGE, "    DVM_DIALOG - %s", ResultText(result));
    return result;
}

DWORD CaptureSingleFrame(VIDEOHDR* header, int mode) {
    if (!header || !header->lpData || header->dwBufferLength == 0) return DV_ERR_PARAM1;
    DWORD captureTime = 0;
    int report = CaptureFrame(header->lpData, header->dwBufferLength, &captureTime, mode);
    if (report == 0 || report == 2) return DV_ERR_SYNC;
    if (report != 1) return DV_ERR_PARAM1;
    header->dwTimeCaptured = timeGetTime() - captureStartTime;
    // The size of the picture just written: the device's format, which a
    // dialog or an earlier session may have changed without the driver's
    // copy. Never more bytes than the buffer holds, whatever it says.
    BITMAPINFOHEADER written = {};
    GetImageFormat(&written);
    DWORD bytes = written.biSizeImage;
    header->dwBytesUsed = bytes < header->dwBufferLength ? bytes : header->dwBufferLength;
    header->dwFlags |= VHDR_DONE | VHDR_KEYFRAME;
    return DV_ERR_OK;
}

static void CountFrame(DWORD result) {
    if (!TraceOn()) return;
    if (result == DV_ERR_OK)
        goodFrames++;
    else
        badFrames++;
    if ((goodFrames + badFrames) % 50 == 0)
        trace(TRACE_MESSAGE, "DVM_FRAME - (good %ld bad %ld) cur = %s", goodFrames, badFrames, ResultText(result));
}

static DWORD RouteMessage(DriverInstance* instance, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    DWORD channelType = instance->channelType;
    if (msg >= DVM_STREAM_MSG_START && msg <= DVM_STREAM_MSG_END) return StreamMessage(instance, msg, lParam1, lParam2);
    switch (msg) {
        case DVM_GETERRORTEXT:
            return GetErrorText((VIDEO_GETERRORTEXT_PARMS*)lParam1);
        case DVM_GETVIDEOAPIVER:
            return GetVideoApiVersion((DWORD*)lParam1);
        case DVM_DIALOG:
            return DialogMessage(channelType, lParam1, lParam2);
        case DVM_CONFIGURESTORAGE:
            trace(TRACE_MESSAGE, "DVM_CONFIGURESTORAGE - not supported");
            return DV_ERR_NOTSUPPORTED;
        case DVM_GET_CHANNEL_CAPS:
            trace(TRACE_MESSAGE, "DVM_GET_CHANNEL_CAPS - not supported");
            return DV_ERR_NOTSUPPORTED;
        case DVM_UPDATE:
            trace(TRACE_MESSAGE, "DVM_UPDATE - not supported");
            return DV_ERR_NOTSUPPORTED;
        case DVM_FRAME: {
            DWORD result =
                channelType == VIDEO_IN ? CaptureSingleFrame((VIDEOHDR*)lParam1, 0) : (DWORD)DV_ERR_NOTSUPPORTED;
            CountFrame(result);
            return result;
        }
        case DVM_PALETTE: {
            DWORD result = DV_ERR_NOTSUPPORTED;
            if (channelType == VIDEO_IN) {
                trace(TRACE_MESSAGE, "DVM_PALLETE");
                result = PaletteMessageHandler(instance, msg, lParam1, lParam2);
            }
            trace(TRACE_MESSAGE, "    DVM_PALLETE - %s", ResultText(result));
            return result;
        }
        case DVM_FORMAT: {
            DWORD result = channelType == VIDEO_IN ? FormatMessageHandler(instance, msg, lParam1, lParam2)
                                                   : (DWORD)DV_ERR_NOTSUPPORTED;
            trace(TRACE_MESSAGE, "    DVM_FORMAT - %s", ResultText(result));
            return result;
        }
        case DVM_PALETTERGB555:
            trace(TRACE_MESSAGE, "DVM_PALETTERGB555 - not supported");
            return DV_ERR_NOTSUPPORTED;
        case DVM_SRC_RECT:
            trace(TRACE_MESSAGE, "DVM_SRC_RECT - not supported");
            return DV_ERR_NOTSUPPORTED;
        case DVM_DST_RECT:
            trace(TRACE_MESSAGE, "DVM_DST_RECT - not supported");
            return DV_ERR_NOTSUPPORTED;
        default:
            trace(TRACE_MESSAGE, "Unknown message 0x%04x", msg);
            return DV_ERR_NOTSUPPORTED;
    }
}

DWORD DispatchChannelMessage(DWORD_PTR handle, UINT msg, LPARAM lParam1, LPARAM lParam2) {
    HLOCAL memory = (HLOCAL)handle;
    DriverInstance* instance = (DriverInstance*)LocalLock(memory);
    // A handle that is no open channel gets an answer, never a dereference;
    // one of the driver's other, smaller blocks is not read past its end.
    if (!instance) return DV_ERR_INVALHANDLE;
    if (LocalSize(memory) < sizeof(DriverInstance) || instance->tag != INSTANCE_TAG) {
        LocalUnlock(memory);
        return DV_ERR_INVALHANDLE;
    }
    DWORD result = RouteMessage(instance, msg, lParam1, lParam2);
    LocalUnlock(memory);
    return result;
}
