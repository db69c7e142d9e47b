// The frame grabber: two upload buffers and a decode buffer owned for the
// grabber's whole life, the decoder handle, and the single-frame and
// stream-capture state. GF_ operations answer non-zero on success.
#ifndef TARN2_DEVICE_GRABBER_H
#define TARN2_DEVICE_GRABBER_H

#include "../camera/camera.h"
#include "../camera/viewport.h"

#define GF_UPLOAD_BUFFER_SIZE 205190
#define GF_DECODE_BUFFER_SIZE 304128  // 352 x 288 x 3
#define GF_FRAME_HEADER_SIZE 64

// Buffer states.
#define GF_IDLE 0
#define GF_STARTED 1
#define GF_UPLOADED 2

typedef struct GrabBuffer {
    HGLOBAL memory;
    BYTE* address;
    DWORD size;
} GrabBuffer;

typedef struct FrameGrabber {
    HLOCAL memory;
    Link* link;
    CameraState* cameraState;
    Viewport* viewport;
    DWORD streamReady;
    DWORD streamInterrupt;
    DWORD fastPort;
    DWORD pipelining;
    DWORD compressed;
    DWORD resync;
    DWORD savedPipelining;
    BYTE grabStartLine;
    DWORD lastCallTime;
    WORD callInterval;
    WORD lastDuration;
    BYTE current;
    BYTE previous;
    BYTE bufferState[2];
    GrabBuffer uploadBuffer[2];
    DWORD chunkSize;
    GrabBuffer decodeBuffer;
    BITMAPINFOHEADER cameraFormat;
    BITMAPINFOHEADER outputFormat;
    DWORD decoder;
    DWORD decoderState;
    DWORD doubling;
    DWORD headerValid;
    BYTE frameHeader[GF_FRAME_HEADER_SIZE];
} FrameGrabber;

FrameGrabber* GF_Create(void);
void GF_Release(FrameGrabber* grabber);
int GF_Initialise(FrameGrabber* grabber, Link* link, CameraState* state, Viewport* viewport);
int GF_Shutdown(FrameGrabber* grabber);
int GF_GetFrame(FrameGrabber* grabber, BYTE* destination, DWORD size, DWORD* captureTime);
int GF_FrameReady(FrameGrabber* grabber, DWORD* ready);
int GF_SetPipelining(FrameGrabber* grabber, int on);
int GF_MarkResync(FrameGrabber* grabber);
int GF_SetCompressed(FrameGrabber* grabber, DWORD compressed);
int GF_CancelUpload(FrameGrabber* grabber);
int GF_InitFrameStream(FrameGrabber* grabber, DWORD skip, DWORD unused);
int GF_FiniFrameStream(FrameGrabber* grabber);
int GF_StartFrameStream(FrameGrabber* grabber);
int GF_StopFrameStream(FrameGrabber* grabber);
// The upload summary: 0 idle, 1 starting, 2 busy, 4 failed (and aborted).
int GF_UploadState(FrameGrabber* grabber);

// Image formats (BITMAPINFOHEADER records) and decoding.
void InitBitmapHeader(BITMAPINFOHEADER* header);
void SetBitmapFormat(BITMAPINFOHEADER* header, WORD bitCount, DWORD compression);
void GetBitmapFormat(const BITMAPINFOHEADER* header, WORD* bitCount, DWORD* compression);
void SetBitmapSize(BITMAPINFOHEADER* header, LONG width, LONG height);
void GetBitmapSize(const BITMAPINFOHEADER* header, LONG* width, LONG* height);
LONG ImageSizeFor(DWORD compression, WORD bitCount, LONG width, LONG height);
int SetupDecoder(FrameGrabber* grabber, const BITMAPINFOHEADER* cameraFormat, BITMAPINFOHEADER* outputFormat);
int ImageVerify(FrameGrabber* grabber, const BYTE* frame, DWORD* statusByte);
int GF_DecodeFrame(FrameGrabber* grabber, const BYTE* frame, BYTE* destination, DWORD size);

// The decoder library, loaded once and called by ordinal.
int StartDecoderLibrary(void);
void EndDecoderLibrary(void);
DWORD DecoderOpen(DWORD compression, DWORD bitCount);
DWORD DecoderVerify(const BYTE* frame, BYTE* recordA, BYTE* recordB);
DWORD DecoderDecode(DWORD decoder, const BYTE* frame, BYTE* target, WORD width, WORD height, DWORD* state);
void DecoderSetPalette(const void* palette);
void DecoderGetPalette(void* sizeRecord, void* destination);
void DecoderDouble(BYTE* picture, WORD height, WORD width);

#define FOURCC_CODE(a, b, c, d) \
    ((DWORD)(BYTE)(a) | ((DWORD)(BYTE)(b) << 8) | ((DWORD)(BYTE)(c) << 16) | ((DWORD)(BYTE)(d) << 24))
#define FOURCC_I420 FOURCC_CODE('I', '4', '2', '0')
#define FOURCC_IYUV FOURCC_CODE('I', 'Y', 'U', 'V')
#define FOURCC_YV12 FOURCC_CODE('Y', 'V', '1', '2')
#define FOURCC_PYUV FOURCC_CODE('P', 'Y', 'U', 'V')
#define FOURCC_YUY2 FOURCC_CODE('Y', 'U', 'Y', '2')
#define FOURCC_UYVY FOURCC_CODE('U', 'Y', 'V', 'Y')
#define FOURCC_YVU9 FOURCC_CODE('Y', 'V', 'U', '9')
#define FOURCC_PSHU FOURCC_CODE('P', 'S', 'H', 'U')

#endif
