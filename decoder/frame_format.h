/* The camera's frame format, shared by the camera that writes frames and the
 * decoder that reads them. Plain C, no other includes than <stdint.h>, so
 * either side may take it. docs/frame-format.md describes the format.
 *
 * A frame is: a 64-byte header, the line data (FRAME_DATA_SIZE bytes), a
 * 12-byte end marker. All multi-byte values are little-endian. */
#ifndef TARN2_DECODER_FRAME_FORMAT_H
#define TARN2_DECODER_FRAME_FORMAT_H

#include <stdint.h>

#define FRAME_HEADER_SIZE 64
#define FRAME_END_SIZE 12

/* Header byte offsets. */
#define FRAME_STATUS 0         /* 0 settings as before, 1 settings changed since the last frame */
#define FRAME_VERSION 1        /* FRAME_FORMAT_VERSION */
#define FRAME_ENCODING 2       /* FRAME_RAW or FRAME_COMPRESSED */
#define FRAME_FLAGS 3          /* FRAME_FLAG_* */
#define FRAME_NUMBER 4         /* 32-bit frame counter of the camera, from 1 */
#define FRAME_COL_START 8      /* 16-bit window in sensor pixels and lines: */
#define FRAME_COL_END 10       /*   columns [start, end) */
#define FRAME_ROW_START 12     /*   rows [start, end) */
#define FRAME_ROW_END 14       /*   */
#define FRAME_WIDTH 16         /* 16-bit picture width = column end - column start */
#define FRAME_HEIGHT 18        /* 16-bit picture height = row end - row start */
#define FRAME_DATA_SIZE 20     /* 32-bit bytes of line data after the header */
#define FRAME_SUBSAMPLE 24     /* sub-sampling code: FRAME_SUBSAMPLE_422 */
#define FRAME_YUV_ORDER 25     /* FRAME_ORDER_* */
#define FRAME_COMP_MODE 26     /* compression mode the camera was told: 0, 1 or 2 */
#define FRAME_Y_THRESHOLD 27   /* luminance threshold the encoder used */
#define FRAME_UV_THRESHOLD 28  /* colour threshold the encoder used */
#define FRAME_FR_TARGETING 29  /* compression target as told */
#define FRAME_TARGET_FR 30     /*   */
#define FRAME_TARGET_Q 31      /*   */
#define FRAME_GAIN 32          /* gain index */
#define FRAME_LIGHT_LEVEL 33   /* the picture's light level, 128 is the exposure target */
#define FRAME_EXPOSURE 34      /* 16-bit coarse exposure in sensor lines */
#define FRAME_RATE_EXPONENT 36 /* sensor rate: divisor exponent */
#define FRAME_BASE_RATE 37     /* sensor rate: 1 for 30 frames/s, 0 for 25 */
#define FRAME_FLICKER 38       /* flicker suppression mode */
#define FRAME_EXPOSURE_HALF 39 /* coarse exposure / 2, at most 255 */
#define FRAME_COMP_PARAMS 40   /* the eight compression parameters as told */
/* bytes 48 to 59 are zero */
#define FRAME_HEADER_SUM 60 /* 16-bit sum of header bytes 0 to 59 */
#define FRAME_MAGIC 62      /* FRAME_MAGIC_0, FRAME_MAGIC_1 */

#define FRAME_FORMAT_VERSION 1
#define FRAME_MAGIC_0 0x7A
#define FRAME_MAGIC_1 0xF2

#define FRAME_RAW 0
#define FRAME_COMPRESSED 1

#define FRAME_FLAG_DECIMATED 0x01 /* only even lines are sent; each stands for two */
#define FRAME_FLAG_CIF 0x02       /* the sensor ran at 352 x 288 (else 176 x 144) */
#define FRAME_FLAGS_KNOWN 0x03

#define FRAME_SUBSAMPLE_422 1

/* Byte order of a pixel pair (two pixels, four bytes). */
#define FRAME_ORDER_YUYV 0
#define FRAME_ORDER_UYVY 1
#define FRAME_ORDER_YVYU 2
#define FRAME_ORDER_VYUY 3
#define FRAME_ORDER_COUNT 4

/* End marker: four magic bytes, the frame number again, then the 32-bit
 * sum of all line-data bytes. */
#define FRAME_END_MAGIC_0 0x0F
#define FRAME_END_MAGIC_1 0xE5
#define FRAME_END_MAGIC_2 0x7A
#define FRAME_END_MAGIC_3 0xF2
#define FRAME_END_NUMBER 4
#define FRAME_END_SUM 8

/* Compressed line data, per sent line, a run of tokens that together give
 * exactly width / 2 pixel pairs:
 *   token 0x00 to 0x7F: literal, (token + 1) pairs of four bytes follow;
 *   token 0x80 to 0xFF: repeat the line's last pair (token - 0x7F) times.
 * A line starts with a literal. Pairs are in the frame's YUV order. */
#define FRAME_LITERAL_MAX 128
#define FRAME_REPEAT_MAX 128
#define FRAME_REPEAT_BASE 0x80

/* Sizes. */
#define FRAME_MAX_WIDTH 352
#define FRAME_MAX_HEIGHT 288
#define FRAME_QCIF_WIDTH 176
#define FRAME_QCIF_HEIGHT 144
#define FRAME_MIN_WIDTH 8
#define FRAME_MIN_HEIGHT 4
#define FRAME_WIDTH_STEP 8
#define FRAME_HEIGHT_STEP 4
/* A compressed line at worst: every pair a literal, one token per 128. */
#define FRAME_LINE_WORST(width) \
    ((uint32_t)(width)*2u + ((uint32_t)(width) / 2u + FRAME_LITERAL_MAX - 1u) / FRAME_LITERAL_MAX)
#define FRAME_MAX_DATA_SIZE (FRAME_MAX_HEIGHT * FRAME_LINE_WORST(FRAME_MAX_WIDTH))
#define FRAME_MAX_SIZE (FRAME_HEADER_SIZE + FRAME_MAX_DATA_SIZE + FRAME_END_SIZE)

static inline uint32_t FrameRead16(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8);
}

static inline uint32_t FrameRead32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static inline void FrameWrite16(uint8_t* p, uint32_t value) {
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
}

static inline void FrameWrite32(uint8_t* p, uint32_t value) {
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
    p[2] = (uint8_t)(value >> 16);
    p[3] = (uint8_t)(value >> 24);
}

/* The header sum over bytes 0 to 59. */
static inline uint32_t FrameHeaderSum(const uint8_t* header) {
    uint32_t sum = 0;
    for (int i = 0; i < FRAME_HEADER_SUM; i++) sum += header[i];
    return sum & 0xFFFFu;
}

/* The sum of the line data, kept in the end marker. */
static inline uint32_t FrameDataSum(const uint8_t* data, uint32_t size) {
    uint32_t sum = 0;
    for (uint32_t i = 0; i < size; i++) sum += data[i];
    return sum;
}

#endif
