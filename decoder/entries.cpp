// The library's eight entries, called by ordinal with the C calling
// convention (16-bit values arrive in 32-bit slots):
//   1 start, 2 end, 3 open a decoder for an output format, 4 check a frame,
//   5 decode, 6 set the palette, 7 get the palette, 8 double a picture.
// On Windows mbkdec32.def gives the ordinals; the POSIX loader finds them
// as w32_ordinal_1 to w32_ordinal_8.
#include <string.h>

#include "decoder.h"

// A decoder handle is the output kind offset so that 0 and 1 stay refusals.
#define HANDLE_BASE 0x4D00u

// Record A of the frame check: what the caller reads, at the offsets it
// reads them, and more for whoever looks.
#define RECORD_A_SIZE 88
#define RECORD_B_SIZE 16

static int started;

// The last frame this thread checked. A caller checks a frame and then
// decodes it; the decode takes the check's findings when the frame is
// still the one checked (same place, same header, same end marker) instead
// of summing every byte again. A frame decoded without a check, or changed
// since, is checked in full. Per thread, so two captures never see each
// other's frame.
typedef struct CheckedFrame {
    const uint8_t* frame;
    uint32_t available;
    uint32_t result;
    FrameInfo info;
    uint8_t header[FRAME_HEADER_SIZE];
    uint8_t end[FRAME_END_SIZE];
} CheckedFrame;

static thread_local CheckedFrame lastChecked;

static void RememberCheck(const uint8_t* frame, uint32_t available, uint32_t result, const FrameInfo* info) {
    lastChecked.frame = frame;
    lastChecked.available = available;
    lastChecked.result = result;
    lastChecked.info = *info;
    if (result != CHECK_GOOD) return;
    memcpy(lastChecked.header, frame, FRAME_HEADER_SIZE);
    memcpy(lastChecked.end, info->data + info->dataSize, FRAME_END_SIZE);
}

// The check of a frame about to be decoded: the remembered one when it
// still holds, else a whole check within the bound the caller gave last.
static uint32_t CheckForDecode(const uint8_t* frame, FrameInfo* info) {
    const CheckedFrame* c = &lastChecked;
    if (frame && frame == c->frame && c->result == CHECK_GOOD && memcmp(frame, c->header, FRAME_HEADER_SIZE) == 0 &&
        memcmp(frame + FRAME_HEADER_SIZE + c->info.dataSize, c->end, FRAME_END_SIZE) == 0) {
        *info = c->info;
        return CHECK_GOOD;
    }
    uint32_t available = frame && frame == c->frame ? c->available : FRAME_MAX_SIZE;
    return CheckFrame(frame, available, info);
}

extern "C" {

void DecStart(void) {
    if (started) return;
    ChooseSimd();
    ResetPalette();
    started = 1;
}

void DecEnd(void) {
    started = 0;
}

uint32_t DecOpen(uint32_t compression, uint32_t bitCount) {
    int kind = OutputKindFor(compression, bitCount & 0xFFFF);
    return kind == OUT_NONE ? 0 : HANDLE_BASE + (uint32_t)kind;
}

// Record A: 0 status byte, 1 encoding, 2 flags, 3 result, 4-5 width,
// 6-7 first line byte (column start x 2), 8-9 end line byte (column end
// x 2), 10-11 first row, 12-13 end row, 14-15 height, 16-19 frame number,
// 20-23 line-data bytes, 24-27 whole frame bytes, 28-87 not written.
// Record B: on entry bytes 0-3 may hold how many bytes may be read at the
// frame (0: up to FRAME_MAX_SIZE); on return bytes 4-7 the result.
uint32_t DecVerify(const uint8_t* frame, uint8_t* recordA, uint8_t* recordB) {
    uint32_t available = recordB ? FrameRead32(recordB) : 0;
    if (available == 0 || available > FRAME_MAX_SIZE) available = FRAME_MAX_SIZE;
    FrameInfo info;
    uint32_t result = CheckFrame(frame, available, &info);
    RememberCheck(frame, available, result, &info);
    if (recordA) {
        memset(recordA, 0, 28);
        recordA[0] = (uint8_t)info.status;
        recordA[1] = (uint8_t)info.encoding;
        recordA[2] = (uint8_t)info.flags;
        recordA[3] = (uint8_t)result;
        FrameWrite16(recordA + 4, info.width);
        if (result == CHECK_GOOD) {
            FrameWrite16(recordA + 6, info.colStart * 2);
            FrameWrite16(recordA + 8, info.colEnd * 2);
            FrameWrite16(recordA + 10, info.rowStart);
            FrameWrite16(recordA + 12, info.rowEnd);
        }
        FrameWrite16(recordA + 14, info.height);
        FrameWrite32(recordA + 16, info.number);
        FrameWrite32(recordA + 20, info.dataSize);
        FrameWrite32(recordA + 24, info.totalSize);
    }
    if (recordB) FrameWrite32(recordB + 4, result);
    return result;
}

uint32_t DecDecode(uint32_t decoder, const uint8_t* frame, uint8_t* target, uint32_t width, uint32_t height,
                   uint32_t* state) {
    if (decoder <= HANDLE_BASE || decoder >= HANDLE_BASE + OUT_KIND_COUNT || !target) return 1;
    FrameInfo info;
    if (CheckForDecode(frame, &info) != CHECK_GOOD) return 1;
    if ((width & 0xFFFF) != info.width || (height & 0xFFFF) != info.height) return 1;
    uint32_t result = DecodeFrame((int)(decoder - HANDLE_BASE), &info, target);
    if (result == 0 && state) *state = info.number;
    return result;
}

void DecSetPalette(const void* palette) {
    SetPalette((const uint8_t*)palette);
}

void DecGetPalette(void* sizeRecord, void* destination) {
    if (sizeRecord) FrameWrite16((uint8_t*)sizeRecord, PaletteRecordSize());
    if (destination) GetPalette((uint8_t*)destination);
}

void DecDouble(uint8_t* picture, uint32_t height, uint32_t width) {
    height &= 0xFFFF;
    width &= 0xFFFF;
    if (!picture || width == 0 || height == 0 || width > FRAME_MAX_WIDTH || height > FRAME_MAX_HEIGHT) return;
    DoublePicture(picture, width, height);
}

#ifndef _WIN32
// The POSIX loader's names for exports by ordinal.
__attribute__((visibility("default"))) void w32_ordinal_1(void) {
    DecStart();
}
__attribute__((visibility("default"))) void w32_ordinal_2(void) {
    DecEnd();
}
__attribute__((visibility("default"))) uint32_t w32_ordinal_3(uint32_t compression, uint32_t bitCount) {
    return DecOpen(compression, bitCount);
}
__attribute__((visibility("default"))) uint32_t w32_ordinal_4(const uint8_t* frame, uint8_t* recordA,
                                                              uint8_t* recordB) {
    return DecVerify(frame, recordA, recordB);
}
__attribute__((visibility("default"))) uint32_t w32_ordinal_5(uint32_t decoder, const uint8_t* frame, uint8_t* target,
                                                              uint32_t width, uint32_t height, uint32_t* state) {
    return DecDecode(decoder, frame, target, width, height, state);
}
__attribute__((visibility("default"))) void w32_ordinal_6(const void* palette) {
    DecSetPalette(palette);
}
__attribute__((visibility("default"))) void w32_ordinal_7(void* sizeRecord, void* destination) {
    DecGetPalette(sizeRecord, destination);
}
__attribute__((visibility("default"))) void w32_ordinal_8(uint8_t* picture, uint32_t height, uint32_t width) {
    DecDouble(picture, height, width);
}
#endif
}
