// Finding the camera's parallel port: open a link per port, restrict its
// transfer modes, wake the camera and look for the maker in the IEEE 1284
// device ID.
#include <string.h>

#include "../settings/registry.h"
#include "../trace/trace.h"
#include "camera_device.h"

static const char kMaker[] = "Marbeck Ltd";

#define DEVICE_ID_SIZE 256

Link* ProbeCameraPort(CameraDevice* device, LONG port, BYTE mask, BYTE* detectedType) {
    Link* link = PPLINK_CreateLink((int)port);
    if (!link) return NULL;
    WORD base = 0, parameter = 0;
    BYTE type = 0;
    PPLINK_GetPortInfo(link, &base, &type, &parameter);
    if (DriverOptions & OPT_TRACE_ON)
        trace(TRACE_MESSAGE, "Detected LPT%d : Base=0x%x    Type=0x%x\n", (int)port, (unsigned)base, (unsigned)type);
    WriteRegDword("PortType", type);
    if (detectedType) *detectedType = type;
    PPLINK_SetPortInfo(link, (BYTE)(type & mask), 80);
    char id[DEVICE_ID_SIZE];
    memset(id, 0, sizeof id);
    if (PPLINK_InitialiseLink(link) && PPLINK_SendWakeup(link) && PPLINK_Get1284DeviceID(link, id, DEVICE_ID_SIZE)) {
        id[DEVICE_ID_SIZE - 1] = 0;  // the search never runs past the buffer
        if (strstr(id, kMaker)) {
            if (DriverOptions & OPT_TRACE_ON) trace(TRACE_MESSAGE, "Found camera on LPT%d\n", (int)port);
            return link;
        }
    }
    PPLINK_DeinitialiseLink(link);
    PPLINK_DestroyLink(link);
    return NULL;
}

Link* FindCameraPort(CameraDevice* device, LONG* port, BYTE mask, BYTE* detectedType) {
    LONG preferred = port ? *port : 0;
    if (preferred >= 1 && preferred <= 3) {
        Link* link = ProbeCameraPort(device, preferred, mask, detectedType);
        if (link) return link;
    }
    for (LONG candidate = 1; candidate <= 3; candidate++) {
        Link* link = ProbeCameraPort(device, candidate, mask, detectedType);
        if (link) {
            if (port) *port = candidate;
            return link;
        }
    }
    return NULL;
}

DWORD GetPortTransferMode(void) {
    DWORD t = ReadRegDword("PortType", 0) & 0xFF;
    if (ReadRegDword("DisableFDMA", 0)) t &= 0xBF;
    if (ReadRegDword("DisableDMA", 0)) t &= 0xAF;
    if (ReadRegDword("DisableECP", 0)) t &= 0xA9;
    DWORD backoff = ReadRegDword("BackoffLevel", 0);
    if (backoff & 0x40) t &= 0xBF;
    if (backoff & 0x08) t &= 0xAF;
    if (backoff & 0x10) t &= 0xA9;
    static const DWORD modes[] = {0x40, 0x10, 0x04, 0x02};
    for (DWORD mode : modes)
        if (t & mode) return mode;
    return 0x01;
}
