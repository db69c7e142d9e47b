// Decoding: each sent line is read into planar luminance and colour rows
// (Y at every pixel, U and V at every second), then written out in the
// output format. Colours are ITU-R BT.601 limited range (Y 16 to 235, U and
// V 16 to 240 around 128); RGB rows are bottom-up as in a DIB, YUV formats
// top-down. Everything works on the stack and in the caller's buffers.
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "decoder.h"

int OutputKindFor(uint32_t compression, uint32_t bitCount) {
    bitCount &= 0xFFFF;
    switch (compression) {
        case 0:
            return bitCount == 24 ? OUT_RGB24 : bitCount == 16 ? OUT_RGB16 : bitCount == 8 ? OUT_RGB8 : OUT_NONE;
        case 0x30323449:  // I420
        case 0x56555949:  // IYUV
            return OUT_I420;
        case 0x32315659:  // YV12
            return OUT_YV12;
        case 0x32595559:  // YUY2
            return OUT_YUY2;
        case 0x59565955:  // UYVY
            return OUT_UYVY;
        case 0x39555659:  // YVU9
            return OUT_YVU9;
        default:
            return OUT_NONE;
    }
}

static uint32_t RgbStride(uint32_t width, uint32_t bits) {
    return (width * bits + 31) / 32 * 4;
}

uint32_t OutputSize(int kind, uint32_t width, uint32_t height) {
    switch (kind) {
        case OUT_RGB24:
            return RgbStride(width, 24) * height;
        case OUT_RGB16:
            return RgbStride(width, 16) * height;
        case OUT_RGB8:
            return RgbStride(width, 8) * height;
        case OUT_I420:
        case OUT_YV12:
            return width * height + 2 * (width / 2) * (height / 2);
        case OUT_YUY2:
        case OUT_UYVY:
            return width * height * 2;
        case OUT_YVU9:
            return width * height + 2 * (width / 4) * (height / 4);
        default:
            return 0;
    }
}

int simdLevel = SIMD_C;

void ChooseSimd(void) {
#if defined(__SSE2__)
    int best = Avx2Available() ? SIMD_AVX2 : SIMD_SSE2;
#else
    int best = Avx2Available() ? SIMD_AVX2 : SIMD_C;
#endif
    const char* cap = getenv("TARN2_DECODER_SIMD");
    if (cap && strcmp(cap, "c") == 0) best = SIMD_C;
    if (cap && strcmp(cap, "sse2") == 0 && best > SIMD_SSE2) best = SIMD_SSE2;
    simdLevel = best;
}

// ---- Reading lines ----
//
// Every writer works straight on pixel pairs in the frame's byte order: a
// raw line is used where it lies in the frame, a compressed one is expanded
// into a row on the stack first.

typedef struct LineReader {
    const FrameInfo* frame;
    uint32_t pos;  // next byte of the line data
    int failed;
} LineReader;

static const PairOrder kOrders[FRAME_ORDER_COUNT] = {{0, 1, 2, 3}, {1, 0, 3, 2}, {0, 3, 2, 1}, {1, 2, 3, 0}};

static const PairOrder* OrderOf(uint32_t order) {
    return &kOrders[order < FRAME_ORDER_COUNT ? order : FRAME_ORDER_VYUY];
}

// A row that a compressed line is expanded into has this many spare bytes
// after its pairs: short literals and repeats are written sixteen bytes at
// a time, at least thirty-two for a repeat, and may run over by up to
// twenty-eight.
#define ROW_SPARE 32

// Expands one compressed line into pairs; 0 when the stream is broken.
// Most tokens are short: they are copied as one sixteen-byte move rather
// than a call for every few bytes. The commonest literal, a single pair,
// has a step of its own: its length is known before its token is read,
// so the walk need not wait for each literal's token to find the next.
// The last pair sent is kept at hand for the repeats, rather than read
// back from the row it was just written to.
static int ExpandLine(LineReader* r, uint8_t* pairs, uint32_t count) {
    const uint8_t* data = r->frame->data;
    uint32_t size = r->frame->dataSize, pos = r->pos, done = 0;
    uint32_t last = 0;
    while (done < count) {
        if (pos >= size) return 0;
        uint32_t token = data[pos++];
        if (token == 0) {
            if (size - pos < 4) return 0;
            memcpy(&last, data + pos, 4);
            memcpy(pairs + 4 * done, &last, 4);
            pos += 4;
            done++;
        } else if (token < FRAME_REPEAT_BASE) {
            uint32_t n = token + 1;
            if (n > count - done || size - pos < n * 4) return 0;
            if (n <= 4 && size - pos >= 16)
                memcpy(pairs + 4 * done, data + pos, 16);
            else
                memcpy(pairs + 4 * done, data + pos, n * 4);
            memcpy(&last, data + pos + 4 * (n - 1), 4);
            pos += n * 4;
            done += n;
        } else {
            uint32_t n = token - FRAME_REPEAT_BASE + 1;
            if (done == 0 || n > count - done) return 0;
            uint32_t four[4] = {last, last, last, last};
            // Eight pairs whatever the count, so that most repeats take no
            // loop whose end depends on the count.
            uint8_t* to = pairs + 4 * done;
            memcpy(to, four, 16);
            memcpy(to + 16, four, 16);
            for (uint32_t i = 8; i < n; i += 4) memcpy(to + 4 * i, four, 16);
            done += n;
        }
    }
    r->pos = pos;
    return 1;
}

// The pairs of the next sent line: in the frame itself when raw, else
// expanded into scratch (mid-grey when the stream is broken).
static const uint8_t* ReadLine(LineReader* r, uint8_t* scratch) {
    const FrameInfo* f = r->frame;
    uint32_t count = f->width / 2;
    if (f->encoding == FRAME_RAW) {
        const uint8_t* pairs = f->data + r->pos;
        r->pos += count * 4;
        return pairs;
    }
    if (!ExpandLine(r, scratch, count)) {
        r->failed = 1;
        memset(scratch, 0x80, count * 4);
    }
    return scratch;
}

// ---- Colour conversion ----

static inline uint8_t Clamp(int value) {
    return (uint8_t)(value < 0 ? 0 : value > 255 ? 255 : value);
}

// BT.601 limited range to full-range RGB, 8 fractional bits:
//   R = (298 (Y - 16) + 409 (V - 128) + 128) >> 8
//   G = (298 (Y - 16) - 100 (U - 128) - 208 (V - 128) + 128) >> 8
//   B = (298 (Y - 16) + 516 (U - 128) + 128) >> 8
// With y = Y - 16, u = U - 128, v = V - 128 and the whole multiples of 256
// taken out of each coefficient, every term fits a 16-bit lane and the
// result is the same to the bit:
//   R = y + v + ((42 y + 153 v + 128) >> 8)
//   G = y - v + ((42 y - 100 u + 48 v + 128) >> 8)
//   B = y + 2 u + ((42 y + 4 u + 128) >> 8)
// so eight pixels (four pairs) are converted at once, saturating to 0..255
// when packed to bytes.
static inline void PixelRgb(int y, int u, int v, uint8_t* r, uint8_t* g, uint8_t* b) {
    int c = 298 * (y - 16);
    *r = Clamp((c + 409 * (v - 128) + 128) >> 8);
    *g = Clamp((c - 100 * (u - 128) - 208 * (v - 128) + 128) >> 8);
    *b = Clamp((c + 516 * (u - 128) + 128) >> 8);
}

static inline uint32_t Pixel555(uint8_t r, uint8_t g, uint8_t b) {
    return ((uint32_t)(r >> 3) << 10) | ((uint32_t)(g >> 3) << 5) | (uint32_t)(b >> 3);
}

#if defined(__SSE2__)
#include <emmintrin.h>

// The lanes of a pair order: Y in the high byte of each 16-bit word or the
// low one, and U in the odd colour lane or the even one.
typedef struct Lanes {
    __m128i yShift, cShift;  // shift counts that bring Y or colour to the low byte
    __m128i uOdd;            // all ones when U is the odd colour lane
} Lanes;

static Lanes LanesOf(const PairOrder* o) {
    Lanes l;
    l.yShift = _mm_cvtsi32_si128(o->y0 ? 8 : 0);
    l.cShift = _mm_cvtsi32_si128(o->y0 ? 0 : 8);
    l.uOdd = _mm_set1_epi16((short)(o->u > o->v ? -1 : 0));
    return l;
}

// Eight pixels from four pairs as 16-bit red, green and blue, not clamped.
static inline void Rgb8(const uint8_t* pairs, const Lanes* l, __m128i* red, __m128i* green, __m128i* blue) {
    const __m128i low = _mm_set1_epi16(0xFF);
    __m128i x = _mm_loadu_si128((const __m128i*)pairs);
    __m128i y = _mm_sub_epi16(_mm_and_si128(_mm_srl_epi16(x, l->yShift), low), _mm_set1_epi16(16));
    __m128i c = _mm_sub_epi16(_mm_and_si128(_mm_srl_epi16(x, l->cShift), low), _mm_set1_epi16(128));
    // Each pair's colour spread to both its pixels.
    __m128i even = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xA0), 0xA0);
    __m128i odd = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xF5), 0xF5);
    __m128i u = _mm_or_si128(_mm_and_si128(l->uOdd, odd), _mm_andnot_si128(l->uOdd, even));
    __m128i v = _mm_or_si128(_mm_and_si128(l->uOdd, even), _mm_andnot_si128(l->uOdd, odd));
    __m128i k = _mm_add_epi16(_mm_mullo_epi16(y, _mm_set1_epi16(42)), _mm_set1_epi16(128));
    __m128i fr = _mm_add_epi16(k, _mm_mullo_epi16(v, _mm_set1_epi16(153)));
    __m128i fg = _mm_add_epi16(
        k, _mm_add_epi16(_mm_mullo_epi16(u, _mm_set1_epi16(-100)), _mm_mullo_epi16(v, _mm_set1_epi16(48))));
    __m128i fb = _mm_add_epi16(k, _mm_slli_epi16(u, 2));
    *red = _mm_add_epi16(_mm_add_epi16(y, v), _mm_srai_epi16(fr, 8));
    *green = _mm_add_epi16(_mm_sub_epi16(y, v), _mm_srai_epi16(fg, 8));
    *blue = _mm_add_epi16(_mm_add_epi16(y, _mm_add_epi16(u, u)), _mm_srai_epi16(fb, 8));
}

// Clamped to 0..255 and back in 16-bit lanes.
static inline __m128i Saturate(__m128i value) {
    return _mm_unpacklo_epi8(_mm_packus_epi16(value, value), _mm_setzero_si128());
}

// Eight pixels as 15-bit 5-5-5 values.
static inline __m128i Rgb555x8(const uint8_t* pairs, const Lanes* l) {
    __m128i r, g, b;
    Rgb8(pairs, l, &r, &g, &b);
    const __m128i top5 = _mm_set1_epi16(0xF8);
    r = _mm_slli_epi16(_mm_and_si128(Saturate(r), top5), 7);
    g = _mm_slli_epi16(_mm_and_si128(Saturate(g), top5), 2);
    b = _mm_srli_epi16(Saturate(b), 3);
    return _mm_or_si128(_mm_or_si128(r, g), b);
}

// Eight pixels as blue-green-red: 24 bytes at out, and two more bytes of
// zeros after them, which the next group overwrites.
static inline void StoreBgr8(uint8_t* out, __m128i r, __m128i g, __m128i b) {
    const __m128i zero = _mm_setzero_si128();
    __m128i bg = _mm_unpacklo_epi8(_mm_packus_epi16(b, b), _mm_packus_epi16(g, g));
    __m128i r0 = _mm_unpacklo_epi8(_mm_packus_epi16(r, r), zero);
    __m128i p0 = _mm_unpacklo_epi16(bg, r0), p1 = _mm_unpackhi_epi16(bg, r0);
    // Each 64-bit lane holds two 4-byte pixels; squeeze them to 6 bytes.
    const __m128i first = _mm_set_epi32(0, 0xFFFFFF, 0, 0xFFFFFF);
    const __m128i second = _mm_set_epi32(0xFFFF, (int)0xFF000000u, 0xFFFF, (int)0xFF000000u);
    p0 = _mm_or_si128(_mm_and_si128(p0, first), _mm_and_si128(_mm_srli_epi64(p0, 8), second));
    p1 = _mm_or_si128(_mm_and_si128(p1, first), _mm_and_si128(_mm_srli_epi64(p1, 8), second));
    _mm_storel_epi64((__m128i*)out, p0);
    _mm_storel_epi64((__m128i*)(out + 6), _mm_srli_si128(p0, 8));
    _mm_storel_epi64((__m128i*)(out + 12), p1);
    _mm_storel_epi64((__m128i*)(out + 18), _mm_srli_si128(p1, 8));
}
#endif

// Rows of RGB. The width is a multiple of 8, so whole groups of eight
// pixels make a row. Each writer lets the widest path do what it can and
// finishes the row with the next.
static void RowRgb24(const uint8_t* __restrict pairs, const PairOrder* o, uint32_t width, uint8_t* __restrict out) {
    uint32_t x = simdLevel >= SIMD_AVX2 ? RowRgb24Avx2(pairs, o, width, out) : 0;
#if defined(__SSE2__)
    if (simdLevel >= SIMD_SSE2 && x < width) {
        Lanes l = LanesOf(o);
        __m128i r, g, b;
        for (; x + 8 < width; x += 8) {
            Rgb8(pairs + 2 * x, &l, &r, &g, &b);
            StoreBgr8(out + 3 * x, r, g, b);
        }
        // The last group through a spare, so nothing lands past the row.
        uint8_t last[26];
        Rgb8(pairs + 2 * x, &l, &r, &g, &b);
        StoreBgr8(last, r, g, b);
        memcpy(out + 3 * x, last, 24);
        return;
    }
#endif
    for (; x < width; x += 2) {
        const uint8_t* p = pairs + 2 * x;
        uint8_t* px = out + 3 * x;
        PixelRgb(p[o->y0], p[o->u], p[o->v], px + 2, px + 1, px);
        PixelRgb(p[o->y1], p[o->u], p[o->v], px + 5, px + 4, px + 3);
    }
}

static void RowRgb16(const uint8_t* __restrict pairs, const PairOrder* o, uint32_t width, uint8_t* __restrict out) {
    uint32_t x = simdLevel >= SIMD_AVX2 ? RowRgb16Avx2(pairs, o, width, out) : 0;
#if defined(__SSE2__)
    if (simdLevel >= SIMD_SSE2) {
        Lanes l = LanesOf(o);
        for (; x < width; x += 8) _mm_storeu_si128((__m128i*)(out + 2 * x), Rgb555x8(pairs + 2 * x, &l));
    }
#endif
    for (; x < width; x++) {
        const uint8_t* p = pairs + 4 * (x / 2);
        uint8_t r, g, b;
        PixelRgb(p[x & 1 ? o->y1 : o->y0], p[o->u], p[o->v], &r, &g, &b);
        uint32_t pixel = Pixel555(r, g, b);
        out[2 * x] = (uint8_t)pixel;
        out[2 * x + 1] = (uint8_t)(pixel >> 8);
    }
}

static void RowRgb8(const uint8_t* __restrict pairs, const PairOrder* o, uint32_t width, uint8_t* __restrict out) {
    uint32_t x = simdLevel >= SIMD_AVX2 ? RowRgb8Avx2(pairs, o, width, out) : 0;
#if defined(__SSE2__)
    if (simdLevel >= SIMD_SSE2) {
        Lanes l = LanesOf(o);
        uint16_t index[8];
        for (; x < width; x += 8) {
            _mm_storeu_si128((__m128i*)index, Rgb555x8(pairs + 2 * x, &l));
            for (int i = 0; i < 8; i++) out[x + i] = paletteIndex[index[i]];
        }
    }
#endif
    for (; x < width; x++) {
        const uint8_t* p = pairs + 4 * (x / 2);
        uint8_t r, g, b;
        PixelRgb(p[x & 1 ? o->y1 : o->y0], p[o->u], p[o->v], &r, &g, &b);
        out[x] = paletteIndex[Pixel555(r, g, b)];
    }
}

// ---- YUV outputs ----

// Packed 4:2:2 in the output's order (`yFirst`: Y0 U Y1 V, else U Y0 V Y1).
static void RowPacked(const uint8_t* __restrict pairs, const PairOrder* o, uint32_t width, uint8_t* __restrict out,
                      int yFirst) {
    uint32_t count = width / 2;
    if ((yFirst && o == &kOrders[FRAME_ORDER_YUYV]) || (!yFirst && o == &kOrders[FRAME_ORDER_UYVY])) {
        if (out != pairs) memcpy(out, pairs, count * 4);  // unless expanded in place
        return;
    }
    const PairOrder* want = &kOrders[yFirst ? FRAME_ORDER_YUYV : FRAME_ORDER_UYVY];
    size_t i = simdLevel >= SIMD_AVX2 ? RowPackedAvx2(pairs, o, want, width, out) / 2 : 0;
#if defined(__SSE2__)
    // Y and colour apart in 16-bit lanes, U and V swapped when they come
    // the other way round, then put together in the output's order.
    if (simdLevel >= SIMD_SSE2) {
        Lanes l = LanesOf(o);
        const __m128i low = _mm_set1_epi16(0xFF);
        for (; i + 4 <= count; i += 4) {
            __m128i x = _mm_loadu_si128((const __m128i*)(pairs + 4 * i));
            __m128i y = _mm_and_si128(_mm_srl_epi16(x, l.yShift), low);
            __m128i c = _mm_and_si128(_mm_srl_epi16(x, l.cShift), low);
            __m128i swapped = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xB1), 0xB1);
            c = _mm_or_si128(_mm_and_si128(l.uOdd, swapped), _mm_andnot_si128(l.uOdd, c));
            __m128i packed = yFirst ? _mm_or_si128(y, _mm_slli_epi16(c, 8)) : _mm_or_si128(c, _mm_slli_epi16(y, 8));
            _mm_storeu_si128((__m128i*)(out + 4 * i), packed);
        }
    }
#endif
    for (; i < count; i++) {
        const uint8_t* p = pairs + 4 * i;
        uint8_t* q = out + 4 * i;
        q[want->y0] = p[o->y0];
        q[want->u] = p[o->u];
        q[want->y1] = p[o->y1];
        q[want->v] = p[o->v];
    }
}

// The luminance of a line of pairs.
static void RowLuma(const uint8_t* __restrict pairs, const PairOrder* o, uint32_t width, uint8_t* __restrict out) {
    uint32_t x = simdLevel >= SIMD_AVX2 ? RowLumaAvx2(pairs, o, width, out) : 0;
#if defined(__SSE2__)
    if (simdLevel >= SIMD_SSE2) {
        Lanes l = LanesOf(o);
        const __m128i low = _mm_set1_epi16(0xFF);
        for (; x + 16 <= width; x += 16) {
            __m128i a = _mm_and_si128(_mm_srl_epi16(_mm_loadu_si128((const __m128i*)(pairs + 2 * x)), l.yShift), low);
            __m128i b =
                _mm_and_si128(_mm_srl_epi16(_mm_loadu_si128((const __m128i*)(pairs + 2 * x + 16)), l.yShift), low);
            _mm_storeu_si128((__m128i*)(out + x), _mm_packus_epi16(a, b));
        }
    }
#endif
    for (; x < width; x += 2) {
        out[x] = pairs[2 * x + o->y0];
        out[x + 1] = pairs[2 * x + o->y1];
    }
}

// Colour of two 4:2:2 lines averaged into one 4:2:0 line of U and of V.
static void RowChroma420(const uint8_t* __restrict a, const uint8_t* __restrict b, const PairOrder* o, uint32_t width,
                         uint8_t* __restrict u, uint8_t* __restrict v) {
    uint32_t i = 0, count = width / 2;
#if defined(__SSE2__)
    if (simdLevel >= SIMD_SSE2) {
        Lanes l = LanesOf(o);
        const __m128i low = _mm_set1_epi16(0xFF);
        int uOdd = o->u > o->v;
        for (; i + 8 <= count; i += 8) {
            __m128i a0 = _mm_and_si128(_mm_srl_epi16(_mm_loadu_si128((const __m128i*)(a + 4 * i)), l.cShift), low);
            __m128i a1 = _mm_and_si128(_mm_srl_epi16(_mm_loadu_si128((const __m128i*)(a + 4 * i + 16)), l.cShift), low);
            __m128i b0 = _mm_and_si128(_mm_srl_epi16(_mm_loadu_si128((const __m128i*)(b + 4 * i)), l.cShift), low);
            __m128i b1 = _mm_and_si128(_mm_srl_epi16(_mm_loadu_si128((const __m128i*)(b + 4 * i + 16)), l.cShift), low);
            // (a + b + 1) >> 1 on each colour byte.
            __m128i mean = _mm_avg_epu8(_mm_packus_epi16(a0, a1), _mm_packus_epi16(b0, b1));
            __m128i even = _mm_packus_epi16(_mm_and_si128(mean, low), mean);
            __m128i odd = _mm_packus_epi16(_mm_srli_epi16(mean, 8), mean);
            _mm_storel_epi64((__m128i*)(u + i), uOdd ? odd : even);
            _mm_storel_epi64((__m128i*)(v + i), uOdd ? even : odd);
        }
    }
#endif
    for (; i < count; i++) {
        u[i] = (uint8_t)((a[4 * i + o->u] + b[4 * i + o->u] + 1) >> 1);
        v[i] = (uint8_t)((a[4 * i + o->v] + b[4 * i + o->v] + 1) >> 1);
    }
}

// Colour of four 4:2:2 lines averaged over 4 x 4 blocks: each block holds
// two pairs of each line.
static void RowChroma410(const uint8_t* const* rows, int offset, uint32_t width, uint8_t* out) {
    for (size_t i = 0; i < width / 4; i++) {
        uint32_t sum = 4;
        for (int k = 0; k < 4; k++) sum += (uint32_t)rows[k][8 * i + offset] + rows[k][8 * i + 4 + offset];
        out[i] = (uint8_t)(sum >> 3);
    }
}

// ---- One picture ----

static int LinesPerGroup(int kind) {
    return kind == OUT_I420 || kind == OUT_YV12 ? 2 : kind == OUT_YVU9 ? 4 : 1;
}

static void WriteGroup(int kind, uint32_t line, const uint8_t* const* pairs, const PairOrder* o, uint32_t width,
                       uint32_t height, uint8_t* target) {
    uint32_t area = width * height;
    switch (kind) {
        case OUT_RGB24:
            RowRgb24(pairs[0], o, width, target + (height - 1 - line) * RgbStride(width, 24));
            break;
        case OUT_RGB16:
            RowRgb16(pairs[0], o, width, target + (height - 1 - line) * RgbStride(width, 16));
            break;
        case OUT_RGB8:
            RowRgb8(pairs[0], o, width, target + (height - 1 - line) * RgbStride(width, 8));
            break;
        case OUT_YUY2:
        case OUT_UYVY:
            RowPacked(pairs[0], o, width, target + line * width * 2, kind == OUT_YUY2);
            break;
        case OUT_I420:
        case OUT_YV12: {
            uint32_t half = width / 2, quarter = half * (height / 2);
            uint8_t* yA = target + line * width;
            uint8_t* yB = yA + width;
            uint8_t* u = target + area + (line / 2) * half;
            uint8_t* v = u + quarter;
            if (kind == OUT_YV12) {
                v = u;
                u = v + quarter;
            }
            // Both lines in one pass where it can, the rest line by line.
            uint32_t x = simdLevel >= SIMD_AVX2 ? RowsI420Avx2(pairs[0], pairs[1], o, width, yA, yB, u, v) : 0;
            if (x < width) {
                const uint8_t* a = pairs[0] + 2 * x;
                const uint8_t* b = pairs[1] + 2 * x;
                RowLuma(a, o, width - x, yA + x);
                RowLuma(b, o, width - x, yB + x);
                RowChroma420(a, b, o, width - x, u + x / 2, v + x / 2);
            }
            break;
        }
        case OUT_YVU9: {
            uint32_t small = width / 4, sixteenth = small * (height / 4);
            for (uint32_t k = 0; k < 4; k++) RowLuma(pairs[k], o, width, target + (line + k) * width);
            uint8_t* vPlane = target + area + (line / 4) * small;
            RowChroma410(pairs, o->v, width, vPlane);
            RowChroma410(pairs, o->u, width, vPlane + sixteenth);
            break;
        }
        default:
            break;
    }
}

// Whether the output is packed 4:2:2 in the order the camera sent.
static int PackedAsSent(int kind, uint32_t order) {
    return (kind == OUT_YUY2 && order == FRAME_ORDER_YUYV) || (kind == OUT_UYVY && order == FRAME_ORDER_UYVY);
}

uint32_t DecodeFrame(int kind, const FrameInfo* info, uint8_t* target) {
    if (kind <= OUT_NONE || kind >= OUT_KIND_COUNT || !info || !target) return 1;
    uint8_t scratch[4][FRAME_MAX_WIDTH * 2 + ROW_SPARE];
    const uint8_t* pairs[4] = {scratch[0], scratch[1], scratch[2], scratch[3]};
    const PairOrder* order = OrderOf(info->order);
    // A raw frame already in the packed order asked for is the picture.
    int asSent = PackedAsSent(kind, info->order);
    if (asSent && info->encoding == FRAME_RAW) {
        memcpy(target, info->data, info->width * info->height * 2);
        return 0;
    }
    LineReader reader = {info, 0, 0};
    int decimated = (info->flags & FRAME_FLAG_DECIMATED) != 0;
    uint32_t group = (uint32_t)LinesPerGroup(kind);
    for (uint32_t line = 0; line < info->height; line += group) {
        for (uint32_t k = 0; k < group; k++) {
            // A decimated frame sends even lines only; odd ones repeat them.
            if (decimated && ((line + k) & 1)) {
                pairs[k] = pairs[k ? k - 1 : 0];
                continue;
            }
            // Lines in the order asked for are expanded straight into their
            // rows, but for the last few: an expansion may run past its row
            // by up to ROW_SPARE bytes, which must land in rows written
            // after it, not past the picture.
            uint32_t row = line + k, rowBytes = info->width * 2;
            int inPlace = asSent && (info->height - row - 1) * rowBytes >= ROW_SPARE;
            uint8_t* into = inPlace ? target + row * rowBytes : scratch[k];
            pairs[k] = ReadLine(&reader, into);
        }
        WriteGroup(kind, line, pairs, order, info->width, info->height, target);
    }
    return reader.failed ? 1 : 0;
}

// One row of pixels doubled into a row that does not overlap it: each pixel
// read as four bytes and written twice, three bytes apart, so the fourth
// byte of each write is overwritten by the next. The last pixel is copied
// by bytes, so nothing is read or written past either row.
static void DoubleRow(const uint8_t* __restrict source, uint32_t width, uint8_t* __restrict target) {
    uint32_t x = 0;
    for (; x + 1 < width; x++) {
        uint32_t pixel;
        memcpy(&pixel, source + 3 * x, 4);
        memcpy(target + 6 * x, &pixel, 4);
        memcpy(target + 6 * x + 3, &pixel, 4);
    }
    memcpy(target + 6 * x, source + 3 * x, 3);
    memcpy(target + 6 * x + 3, source + 3 * x, 3);
}

void DoublePicture(uint8_t* picture, uint32_t width, uint32_t height) {
    uint32_t from = RgbStride(width, 24), to = RgbStride(2 * width, 24);
    // From the last row back, so nothing is overwritten before it has been
    // read: row r lands on rows 2r and 2r + 1, which lie wholly past row r
    // for every row but the first.
    for (uint32_t r = height; r-- > 1;) {
        uint8_t* target = picture + 2 * r * to;
        DoubleRow(picture + r * from, width, target);
        memcpy(target + to, target, to);
    }
    // The first row overlaps its own doubling: from the last pixel back.
    for (uint32_t x = width; x-- > 0;) {
        uint8_t b = picture[3 * x], g = picture[3 * x + 1], red = picture[3 * x + 2];
        uint8_t* out = picture + 6 * x;
        out[0] = b;
        out[1] = g;
        out[2] = red;
        out[3] = b;
        out[4] = g;
        out[5] = red;
    }
    memcpy(picture + to, picture, to);
}
