// Image formats as BITMAPINFOHEADER records, the decoder set-up for a pair
// of formats, the check of each uploaded frame and its decoding into the
// application's buffer. The pixel work is the decoder library's.
#include <string.h>

#include "camera_device.h"

void InitBitmapHeader(BITMAPINFOHEADER* header) {
    if (!header) return;
    memset(header, 0, sizeof *header);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biPlanes = 1;
    header->biXPelsPerMeter = 2000;
    header->biYPelsPerMeter = 2000;
}

void SetBitmapFormat(BITMAPINFOHEADER* header, WORD bitCount, DWORD compression) {
    if (!header) return;
    header->biBitCount = bitCount;
    header->biCompression = compression;
}

void GetBitmapFormat(const BITMAPINFOHEADER* header, WORD* bitCount, DWORD* compression) {
    if (!header) return;
    if (bitCount) *bitCount = header->biBitCount;
    if (compression) *compression = header->biCompression;
}

LONG ImageSizeFor(DWORD compression, WORD bitCount, LONG width, LONG height) {
    // Sizes come from applications: keep the products inside 32 bits.
    if (width < 0 || height < 0 || width > 0x7FFF || height > 0x7FFF) return 0;
    LONG pw = (width + 3) / 4 * 4;
    LONG h = height;
    switch (compression) {
        case 0:
            return (LONG)bitCount * h * pw / 8;
        case FOURCC_I420:
        case FOURCC_YV12:
        case FOURCC_PYUV:
            return h * pw * 3 / 2;
        case FOURCC_YUY2:
        case FOURCC_UYVY:
            return h * pw * 2;
        case FOURCC_YVU9:
            return h * pw * 9 / 8;
        case FOURCC_PSHU:
            return h * pw;
        default:
            return 0;
    }
}

void SetBitmapSize(BITMAPINFOHEADER* header, LONG width, LONG height) {
    if (!header) return;
    header->biWidth = width;
    header->biHeight = height;
    header->biSizeImage = (DWORD)ImageSizeFor(header->biCompression, header->biBitCount, width, height);
}

void GetBitmapSize(const BITMAPINFOHEADER* header, LONG* width, LONG* height) {
    if (!header) return;
    if (width) *width = header->biWidth;
    if (height) *height = header->biHeight;
}

int SetupDecoder(FrameGrabber* g, const BITMAPINFOHEADER* cameraFormat, BITMAPINFOHEADER* outputFormat) {
    if (!g || !cameraFormat || !outputFormat) return 0;
    g->doubling = 0;
    DWORD decoder = DecoderOpen(outputFormat->biCompression, outputFormat->biBitCount);
    if (decoder == 0 || decoder == 1) return 0;
    g->decoder = decoder;
    int accepted = 0;
    if (outputFormat->biWidth == cameraFormat->biWidth && outputFormat->biHeight == cameraFormat->biHeight) {
        DWORD c = outputFormat->biCompression;
        if (c == FOURCC_IYUV) outputFormat->biCompression = c = FOURCC_I420;
        accepted =
            c == 0 || c == FOURCC_YVU9 || c == FOURCC_YUY2 || c == FOURCC_UYVY || c == FOURCC_YV12 || c == FOURCC_I420;
    } else if (outputFormat->biCompression == 0 && outputFormat->biBitCount == 24 &&
               outputFormat->biWidth == 2 * cameraFormat->biWidth &&
               outputFormat->biHeight == 2 * cameraFormat->biHeight) {
        accepted = 1;
        g->doubling = 1;
    }
    if (!accepted) return 0;
    g->cameraFormat = *cameraFormat;
    g->outputFormat = *outputFormat;
    return 1;
}

static WORD Word(const BYTE* p) {
    return (WORD)(p[0] | (p[1] << 8));
}

int ImageVerify(FrameGrabber* g, const BYTE* frame, DWORD* statusByte) {
    if (!g || !frame) return 0;
    g->headerValid = 0;
    BYTE recordA[88];
    BYTE recordB[16];
    memset(recordA, 0, sizeof recordA);
    memset(recordB, 0, sizeof recordB);
    // The decoder reads no further than this: frames live in upload buffers.
    DWORD available = GF_UPLOAD_BUFFER_SIZE;
    memcpy(recordB, &available, sizeof available);
    DWORD result = DecoderVerify(frame, recordA, recordB);
    if (result == 0) {
        memcpy(g->frameHeader, frame, GF_FRAME_HEADER_SIZE);
        g->headerValid = 1;
    } else if (result != 5) {
        return 0;
    }
    LONG span = (LONG)Word(recordA + 8) - (LONG)Word(recordA + 6);
    LONG rows = (LONG)Word(recordA + 12) - (LONG)Word(recordA + 10);
    if (span != 2 * g->cameraFormat.biWidth || rows != g->cameraFormat.biHeight) return 0;
    if (statusByte) *statusByte = recordA[0];
    return 1;
}

// A plain copy in large blocks, then words, then bytes.
static void CopyPicture(BYTE* to, const BYTE* from, DWORD count) {
    while (count >= 32768) {
        memcpy(to, from, 32768);
        to += 32768;
        from += 32768;
        count -= 32768;
    }
    memcpy(to, from, count);
}

int GF_DecodeFrame(FrameGrabber* g, const BYTE* frame, BYTE* destination, DWORD size) {
    if (!g || !frame || !destination) return 0;
    WORD width = (WORD)g->cameraFormat.biWidth, height = (WORD)g->cameraFormat.biHeight;
    // The picture the decoder writes (the small one when doubling) and the
    // whole picture the application gets; its buffer must hold all of it,
    // or nothing is written.
    const BITMAPINFOHEADER* out = &g->outputFormat;
    DWORD picture = g->doubling ? (DWORD)ImageSizeFor(0, 24, width, height)
                                : (DWORD)ImageSizeFor(out->biCompression, out->biBitCount, width, height);
    DWORD whole = g->doubling ? (DWORD)ImageSizeFor(0, 24, 2 * width, 2 * height) : picture;
    if (picture == 0 || size < whole) return 0;
    if (g->compressed && (!g->decodeBuffer.address || picture > GF_DECODE_BUFFER_SIZE)) return 0;
    BYTE* target = g->compressed ? g->decodeBuffer.address : destination;
    if (DecoderDecode(g->decoder, frame, target, width, height, &g->decoderState) != 0) return 0;
    // Out of the decode buffer moves one picture, never more.
    if (g->compressed) CopyPicture(destination, g->decodeBuffer.address, picture);
    if (g->doubling) DecoderDouble(destination, height, width);
    return 1;
}
