// The link driver's device-control protocol: the request codes and the byte
// layouts of every request and reply. Both sides of the link read this one
// header, the driver's link layer and the simulated link driver, so they
// cannot drift apart.
//
// Every multi-byte field is little-endian. Address fields are addresses in
// the caller's own memory through which the link driver reads or writes the
// caller's bytes; they are 32 bits wide on 32-bit builds (where the sizes
// below hold exactly) and pointer-wide on 64-bit builds.
#ifndef TARN2_LINK_PROTOCOL_H
#define TARN2_LINK_PROTOCOL_H

#include <stddef.h>
#include <stdint.h>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the link-driver records are laid out for a little-endian machine"
#endif

#define LINK_DEVICE_NAME "\\\\.\\TARN2_0"

// Device type 0x1D, METHOD_BUFFERED, FILE_ANY_ACCESS, functions from 0x800.
#define LINK_CONTROL_CODE(function) ((0x1Du << 16) | ((uint32_t)(function) << 2))
#define IOCTL_LINK_ATTACH LINK_CONTROL_CODE(0x800)
#define IOCTL_LINK_VERSION LINK_CONTROL_CODE(0x801)
#define IOCTL_LINK_INITIALISE LINK_CONTROL_CODE(0x802)
#define IOCTL_LINK_DEINITIALISE LINK_CONTROL_CODE(0x803)
#define IOCTL_LINK_GET_PORT_INFO LINK_CONTROL_CODE(0x804)
#define IOCTL_LINK_SET_PORT_INFO LINK_CONTROL_CODE(0x805)
#define IOCTL_LINK_WAKEUP LINK_CONTROL_CODE(0x808)
#define IOCTL_LINK_DEVICE_ID LINK_CONTROL_CODE(0x809)
#define IOCTL_LINK_DETACH LINK_CONTROL_CODE(0x80F)
#define IOCTL_LINK_TRANSFER_MSG LINK_CONTROL_CODE(0x812)
#define IOCTL_LINK_START_UPLOAD LINK_CONTROL_CODE(0x814)
#define IOCTL_LINK_ABORT_UPLOAD LINK_CONTROL_CODE(0x815)
#define IOCTL_LINK_UPLOAD_STATUS LINK_CONTROL_CODE(0x816)

// The oldest link driver the system works with.
#define LINK_MINIMUM_VERSION 18

// Upload states as GetUploadStatus reports them.
#define UPLOAD_IDLE 0
#define UPLOAD_STARTED 1
#define UPLOAD_CHUNK_START 2
#define UPLOAD_CHUNK_END 3
#define UPLOAD_FINISHING 4
#define UPLOAD_RUNNING 5
#define UPLOAD_FAILED 6

// An address in the caller's memory, as the link driver receives it.
typedef uintptr_t LinkAddress;

// Replies that carry only whether the driver carried the operation out.
typedef struct LinkFlag {
    uint32_t success;
} LinkFlag;

typedef struct LinkVersion {
    uint8_t reserved[4];
    uint16_t version;
} LinkVersion;

typedef struct PortInfo {
    uint16_t baseAddress;  // reply only; the driver ignores it when set
    uint8_t portType;
    uint8_t padding;
    uint16_t portParameter;
} PortInfo;

typedef struct DeviceIdRequest {
    LinkAddress buffer;
    uint16_t size;
    uint8_t padding[2];
} DeviceIdRequest;

// Written over the request. A reply of only 4 bytes means no device ID.
typedef struct DeviceIdReply {
    LinkAddress text;  // first character of the ID, inside the caller's buffer
    uint8_t reserved[4];
} DeviceIdReply;

typedef struct MessageRequest {
    uint8_t module;
    uint8_t command;
    uint8_t padding[2];
    LinkAddress parameters;  // 4 bytes, or 0
    uint32_t direction;      // 1: the data block comes back from the camera
    uint16_t dataLength;     // 8 or 0
    uint8_t padding2[2];
    LinkAddress data;
} MessageRequest;

typedef struct UploadRequest {
    uint32_t streamInterrupt;
    uint32_t pipelined;
    uint32_t byteCount;
    LinkAddress bufferAddress;
    uint32_t chunkSize;
    uint32_t frameData;  // 1 a camera frame, 0 the raw test stream
} UploadRequest;

typedef struct UploadStatus {
    uint8_t uploadState;  // reply only
    uint8_t padding[3];
    uint32_t bytesUploaded;     // reply only
    LinkAddress bufferAddress;  // request only
} UploadStatus;

#ifdef __cplusplus
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(LinkVersion) == 6, "version record");
static_assert(sizeof(PortInfo) == 6, "PortInfo");
static_assert(sizeof(DeviceIdRequest) == 8, "DeviceIdRequest");
static_assert(sizeof(DeviceIdReply) == 8, "DeviceIdReply");
static_assert(sizeof(MessageRequest) == 20, "MessageRequest");
static_assert(offsetof(MessageRequest, parameters) == 4 && offsetof(MessageRequest, direction) == 8 &&
                  offsetof(MessageRequest, dataLength) == 12 && offsetof(MessageRequest, data) == 16,
              "MessageRequest fields");
static_assert(sizeof(UploadRequest) == 24, "UploadRequest");
static_assert(offsetof(UploadRequest, bufferAddress) == 12 && offsetof(UploadRequest, frameData) == 20,
              "UploadRequest fields");
static_assert(sizeof(UploadStatus) == 12, "UploadStatus");
static_assert(offsetof(UploadStatus, bytesUploaded) == 4 && offsetof(UploadStatus, bufferAddress) == 8,
              "UploadStatus fields");
#else
static_assert(sizeof(LinkVersion) == 6 && sizeof(PortInfo) == 6, "records without addresses keep their size");
#endif
#endif

#endif
