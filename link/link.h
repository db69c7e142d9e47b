// The link to the camera: one open handle on the link driver, and the port
// (PPLINK_) and camera-link (CLINK_) operations, each one device-control
// request. The layer holds no camera knowledge and neither traces nor
// retries; every operation answers 1 (or the new link) on success and 0 on
// failure, and the callers decide what a failure means.
#ifndef TARN2_LINK_LINK_H
#define TARN2_LINK_LINK_H

#include "../platform/win32.h"

typedef struct Link {
    HANDLE device;
    HLOCAL memory;
} Link;

// Opens the link driver, checks its version and attaches LPT1..LPT3.
Link* PPLINK_CreateLink(int port);
// Detaches the port, closes the device and frees the record. On 0 the link
// is still open and still allocated.
DWORD PPLINK_DestroyLink(Link* link);
DWORD PPLINK_InitialiseLink(Link* link);
DWORD PPLINK_DeinitialiseLink(Link* link);
// Each given place receives its field of the reply.
DWORD PPLINK_GetPortInfo(Link* link, WORD* baseAddress, BYTE* portType, WORD* portParameter);
DWORD PPLINK_SetPortInfo(Link* link, BYTE portType, WORD portParameter);
DWORD PPLINK_SendWakeup(Link* link);
// On success the buffer holds the NUL-terminated IEEE 1284 device ID from
// its first byte.
DWORD PPLINK_Get1284DeviceID(Link* link, char* buffer, WORD size);

// One camera command. parameters: 4 bytes or null; direction 1 when the
// data block comes back from the camera.
DWORD CLINK_TransferMsg(Link* link, BYTE module, BYTE command, BYTE* parameters, DWORD direction, WORD dataLength,
                        BYTE* data);
// Starts an upload into buffer; it runs on in the link driver, and buffer
// must stay alive until GetUploadStatus reports it ended.
DWORD CLINK_StartUpload(Link* link, DWORD streamInterrupt, DWORD pipelined, DWORD byteCount, void* buffer,
                        DWORD chunkSize, DWORD frameData);
DWORD CLINK_AbortUpload(Link* link);
// The places are written only when the request succeeded.
DWORD CLINK_GetUploadStatus(Link* link, BYTE* uploadState, DWORD* bytesUploaded);

#endif
