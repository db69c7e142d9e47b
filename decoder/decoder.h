// Inside the decoder library: the frame check, the line reader, the output
// writers, the palette and the doubling. The entries callers see are in
// entries.cpp; everything here is plain functions over plain records.
#ifndef TARN2_DECODER_DECODER_H
#define TARN2_DECODER_DECODER_H

#include <stdint.h>

#include "frame_format.h"

// Results of the frame check (0 is a good frame with its header).
#define CHECK_GOOD 0
#define CHECK_BAD_HEADER 1
#define CHECK_BAD_STATUS 2
#define CHECK_BAD_SIZE 3
#define CHECK_TRUNCATED 4
#define CHECK_BAD_END 6
#define CHECK_BAD_SUM 7
#define CHECK_BAD_STREAM 8

// What the check learnt about a frame.
typedef struct FrameInfo {
    uint32_t status;
    uint32_t encoding;
    uint32_t flags;
    uint32_t number;
    uint32_t colStart, colEnd, rowStart, rowEnd;
    uint32_t width, height;
    uint32_t order;
    uint32_t dataSize;
    uint32_t totalSize;
    uint32_t sentLines;  // height, or height / 2 when decimated
    const uint8_t* data;
} FrameInfo;

// Checks the frame of at most `available` readable bytes (never reads
// beyond them) and fills info. Answers a CHECK_ result.
uint32_t CheckFrame(const uint8_t* frame, uint32_t available, FrameInfo* info);

// Output formats a decoder handle stands for.
enum OutputKind {
    OUT_NONE = 0,
    OUT_RGB24,
    OUT_RGB16,
    OUT_RGB8,
    OUT_I420,
    OUT_YV12,
    OUT_YUY2,
    OUT_UYVY,
    OUT_YVU9,
    OUT_KIND_COUNT
};

// The output kind for a bitmap compression and bit count, or OUT_NONE.
int OutputKindFor(uint32_t compression, uint32_t bitCount);

// Bytes of a width x height picture of the kind (the bitmap image size).
uint32_t OutputSize(int kind, uint32_t width, uint32_t height);

// Decodes a checked frame into target as kind at the frame's size.
// Answers 0 on success.
uint32_t DecodeFrame(int kind, const FrameInfo* info, uint8_t* target);

// The vector instructions the writers use. ChooseSimd takes the best the
// processor has, capped by the environment variable TARN2_DECODER_SIMD
// ("c", "sse2" or "avx2"), so that every path can be run and compared on
// one machine; every path gives the same bytes.
enum SimdLevel { SIMD_C = 0, SIMD_SSE2, SIMD_AVX2 };
extern int simdLevel;
void ChooseSimd(void);

// Where Y0, U, Y1 and V sit in a pixel pair of one byte order.
typedef struct PairOrder {
    int y0, u, y1, v;
} PairOrder;

// The AVX2 writers (convert_avx2.cpp), for processors that have it. Each
// does the longest run of whole 16-pixel groups (32 for luminance and for
// the two lines of a 4:2:0 group) and answers how many pixels it did; the
// caller finishes the row. SumAvx2 likewise sums whole 32-byte blocks.
int Avx2Available(void);
uint32_t RowRgb24Avx2(const uint8_t* pairs, const PairOrder* o, uint32_t width, uint8_t* out);
uint32_t RowRgb16Avx2(const uint8_t* pairs, const PairOrder* o, uint32_t width, uint8_t* out);
uint32_t RowRgb8Avx2(const uint8_t* pairs, const PairOrder* o, uint32_t width, uint8_t* out);
uint32_t RowPackedAvx2(const uint8_t* pairs, const PairOrder* from, const PairOrder* to, uint32_t width, uint8_t* out);
uint32_t RowLumaAvx2(const uint8_t* pairs, const PairOrder* o, uint32_t width, uint8_t* out);
uint32_t SumAvx2(const uint8_t* data, uint32_t size, uint32_t* done);
uint32_t RowsI420Avx2(const uint8_t* a, const uint8_t* b, const PairOrder* o, uint32_t width, uint8_t* yA, uint8_t* yB,
                      uint8_t* u, uint8_t* v);

// Enlarges the 24-bit bottom-up picture of width x height at picture to
// twice both, in place.
void DoublePicture(uint8_t* picture, uint32_t width, uint32_t height);

// The palette for 8-bit output: a LOGPALETTE record (version 0x300, the
// entry count, then red, green, blue, flags per entry).
#define PALETTE_ENTRIES 256
#define PALETTE_RECORD_SIZE (4 + 4 * PALETTE_ENTRIES)
void ResetPalette(void);
void SetPalette(const uint8_t* record);
void GetPalette(uint8_t* record);
uint32_t PaletteRecordSize(void);
// The palette index nearest to a colour given in 5 bits per channel:
// index (red << 10) | (green << 5) | blue.
extern uint8_t paletteIndex[32768];

#endif
