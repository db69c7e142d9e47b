// The link-driver requests. Each operation is one synchronous
// DeviceIoControl on the link's handle; replies are zeroed before the call so
// that a driver answering short never leaves a stale success flag behind.
#include "link.h"

#include <string.h>

#include "protocol.h"

// The destination of the last upload started, on any link. GetUploadStatus
// hands it back to the driver so that it can tell which upload is meant.
static LinkAddress lastUploadBuffer = 0;

static BOOL Request(Link* link, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned) {
    DWORD count = 0;
    BOOL ok = DeviceIoControl(link->device, code, in, inSize, out, outSize, &count, NULL);
    if (returned) *returned = count;
    return ok;
}

// A request whose reply is only the success flag.
static DWORD FlagRequest(Link* link, DWORD code, void* in, DWORD inSize) {
    if (!link) return 0;
    LinkFlag flag;
    flag.success = 0;
    if (!Request(link, code, in, inSize, &flag, sizeof flag, NULL)) return 0;
    return flag.success != 0 ? 1 : 0;
}

static void FreeLinkRecord(Link* link) {
    HLOCAL memory = link->memory;
    LocalUnlock(memory);
    LocalFree(memory);
}

Link* PPLINK_CreateLink(int port) {
    HLOCAL memory = LocalAlloc(LHND, sizeof(Link));
    Link* link = memory ? (Link*)LocalLock(memory) : NULL;
    if (!link) {
        if (memory) LocalFree(memory);
        return NULL;
    }
    link->memory = memory;
    link->device =
        CreateFileA(LINK_DEVICE_NAME, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (link->device == INVALID_HANDLE_VALUE) {
        FreeLinkRecord(link);
        return NULL;
    }
    LinkVersion version;
    memset(&version, 0, sizeof version);
    BOOL ok = Request(link, IOCTL_LINK_VERSION, NULL, 0, &version, sizeof version, NULL);
    if (ok && version.version < LINK_MINIMUM_VERSION) {
        MessageBoxA(NULL, "The Video Capture driver is not installed properly", "mbkzelt", MB_ICONEXCLAMATION | MB_OK);
        ok = FALSE;
    }
    if (ok) {
        BYTE portByte = (BYTE)port;
        ok = FlagRequest(link, IOCTL_LINK_ATTACH, &portByte, sizeof portByte);
    }
    if (!ok) {
        CloseHandle(link->device);
        FreeLinkRecord(link);
        return NULL;
    }
    return link;
}

DWORD PPLINK_DestroyLink(Link* link) {
    if (!link) return 0;
    LinkFlag flag;
    flag.success = 0;
    if (!Request(link, IOCTL_LINK_DETACH, NULL, 0, &flag, sizeof flag, NULL)) return 0;
    if (flag.success == 0) {
        SetLastError(0);
        return 0;
    }
    if (!CloseHandle(link->device)) return 0;
    FreeLinkRecord(link);
    return 1;
}

DWORD PPLINK_InitialiseLink(Link* link) {
    return FlagRequest(link, IOCTL_LINK_INITIALISE, NULL, 0);
}

DWORD PPLINK_DeinitialiseLink(Link* link) {
    return FlagRequest(link, IOCTL_LINK_DEINITIALISE, NULL, 0);
}

DWORD PPLINK_SendWakeup(Link* link) {
    return FlagRequest(link, IOCTL_LINK_WAKEUP, NULL, 0);
}

DWORD PPLINK_GetPortInfo(Link* link, WORD* baseAddress, BYTE* portType, WORD* portParameter) {
    if (!link) return 0;
    PortInfo info;
    memset(&info, 0, sizeof info);
    if (!Request(link, IOCTL_LINK_GET_PORT_INFO, NULL, 0, &info, sizeof info, NULL)) return 0;
    if (baseAddress) *baseAddress = info.baseAddress;
    if (portType) *portType = info.portType;
    if (portParameter) *portParameter = info.portParameter;
    return 1;
}

DWORD PPLINK_SetPortInfo(Link* link, BYTE portType, WORD portParameter) {
    PortInfo info;
    memset(&info, 0, sizeof info);
    info.portType = portType;
    info.portParameter = portParameter;
    return FlagRequest(link, IOCTL_LINK_SET_PORT_INFO, &info, sizeof info);
}

DWORD PPLINK_Get1284DeviceID(Link* link, char* buffer, WORD size) {
    if (!link || !buffer || size == 0) return 0;
    // The reply is written over the request, as the driver's buffered
    // transfer does; the union gives both views of the same bytes.
    union {
        DeviceIdRequest request;
        DeviceIdReply reply;
    } exchange;
    memset(&exchange, 0, sizeof exchange);
    exchange.request.buffer = (LinkAddress)buffer;
    exchange.request.size = size;
    DWORD returned = 0;
    if (!Request(link, IOCTL_LINK_DEVICE_ID, &exchange, sizeof exchange.request, &exchange, sizeof exchange.reply,
                 &returned))
        return 0;
    if (returned == 4) return 0;
    // The text normally starts after the ID's length prefix. Accept it only
    // inside the caller's buffer and copy only up to the buffer's end, so a
    // driver that points elsewhere or forgets the terminator cannot make us
    // read or write past the buffer.
    LinkAddress start = (LinkAddress)buffer;
    if (exchange.reply.text < start || exchange.reply.text >= start + size) return 0;
    WORD from = (WORD)(exchange.reply.text - start);
    WORD to = 0;
    while (from < size - 1 && buffer[from] != '\0') buffer[to++] = buffer[from++];
    buffer[to] = '\0';
    return 1;
}

DWORD CLINK_TransferMsg(Link* link, BYTE module, BYTE command, BYTE* parameters, DWORD direction, WORD dataLength,
                        BYTE* data) {
    MessageRequest request;
    memset(&request, 0, sizeof request);
    request.module = module;
    request.command = command;
    request.parameters = (LinkAddress)parameters;
    request.direction = direction;
    request.dataLength = dataLength;
    request.data = (LinkAddress)data;
    return FlagRequest(link, IOCTL_LINK_TRANSFER_MSG, &request, sizeof request);
}

DWORD CLINK_StartUpload(Link* link, DWORD streamInterrupt, DWORD pipelined, DWORD byteCount, void* buffer,
                        DWORD chunkSize, DWORD frameData) {
    UploadRequest request;
    memset(&request, 0, sizeof request);
    request.streamInterrupt = streamInterrupt;
    request.pipelined = pipelined;
    request.byteCount = byteCount;
    request.bufferAddress = (LinkAddress)buffer;
    request.chunkSize = chunkSize;
    request.frameData = frameData;
    if (!FlagRequest(link, IOCTL_LINK_START_UPLOAD, &request, sizeof request)) return 0;
    lastUploadBuffer = request.bufferAddress;
    return 1;
}

DWORD CLINK_AbortUpload(Link* link) {
    return FlagRequest(link, IOCTL_LINK_ABORT_UPLOAD, NULL, 0);
}

DWORD CLINK_GetUploadStatus(Link* link, BYTE* uploadState, DWORD* bytesUploaded) {
    if (!link) return 0;
    UploadStatus status;
    memset(&status, 0, sizeof status);
    status.bufferAddress = lastUploadBuffer;
    if (!Request(link, IOCTL_LINK_UPLOAD_STATUS, &status, sizeof status, &status, sizeof status, NULL)) return 0;
    if (uploadState) *uploadState = status.uploadState;
    if (bytesUploaded) *bytesUploaded = status.bytesUploaded;
    return 1;
}
