// Private control messages tunnelled through DVM_FORMAT SET.
#include "../trace/trace.h"
#include "driver.h"

BOOL privateReadPending = FALSE;
DWORD privateReadValue = 0;

static const LONG kMarkerMask = 0x7FFF0000;
static const LONG kWriteMarker = 0x23680000;
static const LONG kReadMarker = 0x68320000;

BOOL IsPrivateMessage(const BITMAPINFOHEADER* request) {
    LONG marker = request->biXPelsPerMeter & kMarkerMask;
    return marker == kWriteMarker || marker == kReadMarker;
}

// The messages act on the camera device, which is not built yet: every
// message fails and is traced as such.
static BOOL RunPrivateMessage(DWORD number, BOOL read, DWORD* data) {
    return FALSE;
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
