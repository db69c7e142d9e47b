// The frame check. A frame is used only when its header is whole and
// consistent, every byte it claims lies within what the caller can give,
// its end marker carries its own frame number and the sum of its data, and
// (compressed) its token stream gives exactly the picture, no more.
#include <string.h>

#include "decoder.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The 32-bit sum of the line data, as FrameDataSum gives it; the bytes of
// a whole picture are summed once per check, so thirty-two (AVX2) or
// sixteen (SSE2) at a time where the machine can.
static uint32_t DataSum(const uint8_t* data, uint32_t size) {
    uint32_t i = 0, sum = 0;
    if (simdLevel >= SIMD_AVX2) {
        sum = SumAvx2(data, size, &i);
    } else if (simdLevel >= SIMD_SSE2) {
#if defined(__SSE2__)
        // Each step adds sixteen bytes into two 64-bit lanes; a frame is far
        // too small for them to overflow.
        __m128i total = _mm_setzero_si128();
        for (; i + 16 <= size; i += 16)
            total =
                _mm_add_epi64(total, _mm_sad_epu8(_mm_loadu_si128((const __m128i*)(data + i)), _mm_setzero_si128()));
        sum = (uint32_t)_mm_cvtsi128_si32(total) + (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(total, 8));
#endif
    }
    return sum + FrameDataSum(data + i, size - i);
}

static int HeaderIsOurs(const uint8_t* h) {
    return h[FRAME_MAGIC] == FRAME_MAGIC_0 && h[FRAME_MAGIC + 1] == FRAME_MAGIC_1 &&
           h[FRAME_VERSION] == FRAME_FORMAT_VERSION && FrameRead16(h + FRAME_HEADER_SUM) == FrameHeaderSum(h);
}

// The window must be a whole picture of a valid size inside the sensor.
static int WindowIsValid(const FrameInfo* f) {
    uint32_t sensorW = (f->flags & FRAME_FLAG_CIF) ? FRAME_MAX_WIDTH : FRAME_QCIF_WIDTH;
    uint32_t sensorH = (f->flags & FRAME_FLAG_CIF) ? FRAME_MAX_HEIGHT : FRAME_QCIF_HEIGHT;
    if (f->colEnd <= f->colStart || f->rowEnd <= f->rowStart) return 0;
    if (f->colEnd > sensorW || f->rowEnd > sensorH) return 0;
    if (f->width != f->colEnd - f->colStart || f->height != f->rowEnd - f->rowStart) return 0;
    if (f->width < FRAME_MIN_WIDTH || f->width % FRAME_WIDTH_STEP) return 0;
    if (f->height < FRAME_MIN_HEIGHT || f->height % FRAME_HEIGHT_STEP) return 0;
    return 1;
}

// Walks the token stream: every line must give exactly width / 2 pairs,
// start with a literal, and the lines must use the data exactly. A
// single-pair literal, the commonest, has a fixed step, so the walk does
// not wait for its token to be read to find the next.
static int StreamIsWhole(const uint8_t* data, uint32_t size, uint32_t lines, uint32_t pairs) {
    uint32_t pos = 0;
    for (uint32_t line = 0; line < lines; line++) {
        uint32_t done = 0;
        while (done < pairs) {
            if (pos >= size) return 0;
            uint32_t token = data[pos++];
            if (token == 0) {
                if (size - pos < 4) return 0;
                pos += 4;
                done++;
            } else if (token < FRAME_REPEAT_BASE) {
                uint32_t count = token + 1;
                if (count > pairs - done || size - pos < count * 4) return 0;
                pos += count * 4;
                done += count;
            } else {
                uint32_t count = token - FRAME_REPEAT_BASE + 1;
                if (done == 0 || count > pairs - done) return 0;
                done += count;
            }
        }
    }
    return pos == size;
}

uint32_t CheckFrame(const uint8_t* frame, uint32_t available, FrameInfo* info) {
    memset(info, 0, sizeof *info);
    if (!frame || available < FRAME_HEADER_SIZE) return CHECK_TRUNCATED;
    const uint8_t* h = frame;
    if (!HeaderIsOurs(h)) return CHECK_BAD_HEADER;
    info->status = h[FRAME_STATUS];
    info->encoding = h[FRAME_ENCODING];
    info->flags = h[FRAME_FLAGS];
    info->number = FrameRead32(h + FRAME_NUMBER);
    info->colStart = FrameRead16(h + FRAME_COL_START);
    info->colEnd = FrameRead16(h + FRAME_COL_END);
    info->rowStart = FrameRead16(h + FRAME_ROW_START);
    info->rowEnd = FrameRead16(h + FRAME_ROW_END);
    info->width = FrameRead16(h + FRAME_WIDTH);
    info->height = FrameRead16(h + FRAME_HEIGHT);
    info->order = h[FRAME_YUV_ORDER];
    info->dataSize = FrameRead32(h + FRAME_DATA_SIZE);
    if (info->status > 1) return CHECK_BAD_STATUS;
    if (info->encoding > FRAME_COMPRESSED || (info->flags & ~FRAME_FLAGS_KNOWN) ||
        h[FRAME_SUBSAMPLE] != FRAME_SUBSAMPLE_422 || info->order >= FRAME_ORDER_COUNT)
        return CHECK_BAD_HEADER;
    int decimated = (info->flags & FRAME_FLAG_DECIMATED) != 0;
    if (decimated && info->encoding != FRAME_COMPRESSED) return CHECK_BAD_HEADER;
    if (!WindowIsValid(info)) return CHECK_BAD_SIZE;
    info->sentLines = decimated ? info->height / 2 : info->height;
    uint32_t largest = info->encoding == FRAME_RAW ? info->width * 2 * info->sentLines
                                                   : FRAME_LINE_WORST(info->width) * info->sentLines;
    if (info->encoding == FRAME_RAW ? info->dataSize != largest : info->dataSize > largest) return CHECK_BAD_SIZE;
    info->totalSize = FRAME_HEADER_SIZE + info->dataSize + FRAME_END_SIZE;
    if (info->totalSize > available) return CHECK_TRUNCATED;
    info->data = frame + FRAME_HEADER_SIZE;
    const uint8_t* end = info->data + info->dataSize;
    if (end[0] != FRAME_END_MAGIC_0 || end[1] != FRAME_END_MAGIC_1 || end[2] != FRAME_END_MAGIC_2 ||
        end[3] != FRAME_END_MAGIC_3 || FrameRead32(end + FRAME_END_NUMBER) != info->number)
        return CHECK_BAD_END;
    if (FrameRead32(end + FRAME_END_SUM) != DataSum(info->data, info->dataSize)) return CHECK_BAD_SUM;
    if (info->encoding == FRAME_COMPRESSED &&
        !StreamIsWhole(info->data, info->dataSize, info->sentLines, info->width / 2))
        return CHECK_BAD_STREAM;
    return CHECK_GOOD;
}
