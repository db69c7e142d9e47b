// The AVX2 writers: sixteen pixels (thirty-two for luminance) per step, the
// same arithmetic as the SSE2 and plain loops of convert.cpp and so the
// same bytes. Each is compiled for AVX2 on its own and only called when
// the processor has it, so the library still runs on any x86-64.
#include "decoder.h"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>

#define AVX2 __attribute__((target("avx2")))

int Avx2Available(void) {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

// A shuffle that spreads the colour byte at `at` of each pair to both
// pixels of the pair, as the low byte of two 16-bit lanes.
AVX2 static inline __m256i SpreadMask(int at) {
    const __m256i base = _mm256_setr_epi8(0, -128, 0, -128, 4, -128, 4, -128, 8, -128, 8, -128, 12, -128, 12, -128, 0,
                                          -128, 0, -128, 4, -128, 4, -128, 8, -128, 8, -128, 12, -128, 12, -128);
    return _mm256_add_epi8(base, _mm256_set1_epi16((short)at));
}

// Sixteen pixels (eight pairs) as 16-bit red, green and blue, not clamped:
// the BT.601 formula in 16-bit lanes as convert.cpp derives it.
AVX2 static inline void Rgb16Pixels(const uint8_t* pairs, __m128i yShift, __m256i uMask, __m256i vMask, __m256i* red,
                                    __m256i* green, __m256i* blue) {
    __m256i x = _mm256_loadu_si256((const __m256i*)pairs);
    __m256i y =
        _mm256_sub_epi16(_mm256_and_si256(_mm256_srl_epi16(x, yShift), _mm256_set1_epi16(0xFF)), _mm256_set1_epi16(16));
    __m256i u = _mm256_sub_epi16(_mm256_shuffle_epi8(x, uMask), _mm256_set1_epi16(128));
    __m256i v = _mm256_sub_epi16(_mm256_shuffle_epi8(x, vMask), _mm256_set1_epi16(128));
    __m256i k = _mm256_add_epi16(_mm256_mullo_epi16(y, _mm256_set1_epi16(42)), _mm256_set1_epi16(128));
    __m256i fr = _mm256_add_epi16(k, _mm256_mullo_epi16(v, _mm256_set1_epi16(153)));
    __m256i fg = _mm256_add_epi16(k, _mm256_add_epi16(_mm256_mullo_epi16(u, _mm256_set1_epi16(-100)),
                                                      _mm256_mullo_epi16(v, _mm256_set1_epi16(48))));
    __m256i fb = _mm256_add_epi16(k, _mm256_slli_epi16(u, 2));
    *red = _mm256_add_epi16(_mm256_add_epi16(y, v), _mm256_srai_epi16(fr, 8));
    *green = _mm256_add_epi16(_mm256_sub_epi16(y, v), _mm256_srai_epi16(fg, 8));
    *blue = _mm256_add_epi16(_mm256_add_epi16(y, _mm256_add_epi16(u, u)), _mm256_srai_epi16(fb, 8));
}

AVX2 static inline __m256i Clamp255(__m256i value) {
    return _mm256_min_epi16(_mm256_max_epi16(value, _mm256_setzero_si256()), _mm256_set1_epi16(255));
}

// Sixteen pixels as 15-bit 5-5-5 values.
AVX2 static inline __m256i Rgb555Pixels(const uint8_t* pairs, __m128i yShift, __m256i uMask, __m256i vMask) {
    __m256i r, g, b;
    Rgb16Pixels(pairs, yShift, uMask, vMask, &r, &g, &b);
    const __m256i top5 = _mm256_set1_epi16(0xF8);
    r = _mm256_slli_epi16(_mm256_and_si256(Clamp255(r), top5), 7);
    g = _mm256_slli_epi16(_mm256_and_si256(Clamp255(g), top5), 2);
    b = _mm256_srli_epi16(Clamp255(b), 3);
    return _mm256_or_si256(_mm256_or_si256(r, g), b);
}

AVX2 uint32_t RowRgb24Avx2(const uint8_t* pairs, const PairOrder* o, uint32_t width, uint8_t* out) {
    const __m128i yShift = _mm_cvtsi32_si128(o->y0 ? 8 : 0);
    const __m256i uMask = SpreadMask(o->u), vMask = SpreadMask(o->v);
    const int8_t Z = -128;
    // Per 128-bit lane: eight blue then eight green bytes in one register,
    // eight red in another; these pick the 24 bytes blue-green-red, the
    // first 16 and the last 8.
    const __m256i firstBg = _mm256_setr_epi8(0, 8, Z, 1, 9, Z, 2, 10, Z, 3, 11, Z, 4, 12, Z, 5, 0, 8, Z, 1, 9, Z, 2, 10,
                                             Z, 3, 11, Z, 4, 12, Z, 5);
    const __m256i firstR = _mm256_setr_epi8(Z, Z, 0, Z, Z, 1, Z, Z, 2, Z, Z, 3, Z, Z, 4, Z, Z, Z, 0, Z, Z, 1, Z, Z, 2,
                                            Z, Z, 3, Z, Z, 4, Z);
    const __m256i lastBg = _mm256_setr_epi8(13, Z, 6, 14, Z, 7, 15, Z, Z, Z, Z, Z, Z, Z, Z, Z, 13, Z, 6, 14, Z, 7, 15,
                                            Z, Z, Z, Z, Z, Z, Z, Z, Z);
    const __m256i lastR = _mm256_setr_epi8(Z, 5, Z, Z, 6, Z, Z, 7, Z, Z, Z, Z, Z, Z, Z, Z, Z, 5, Z, Z, 6, Z, Z, 7, Z, Z,
                                           Z, Z, Z, Z, Z, Z);
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        __m256i r, g, b;
        Rgb16Pixels(pairs + 2 * x, yShift, uMask, vMask, &r, &g, &b);
        __m256i bg = _mm256_packus_epi16(b, g), rr = _mm256_packus_epi16(r, r);
        __m256i first = _mm256_or_si256(_mm256_shuffle_epi8(bg, firstBg), _mm256_shuffle_epi8(rr, firstR));
        __m256i last = _mm256_or_si256(_mm256_shuffle_epi8(bg, lastBg), _mm256_shuffle_epi8(rr, lastR));
        uint8_t* p = out + 3 * x;
        _mm_storeu_si128((__m128i*)p, _mm256_castsi256_si128(first));
        _mm_storel_epi64((__m128i*)(p + 16), _mm256_castsi256_si128(last));
        _mm_storeu_si128((__m128i*)(p + 24), _mm256_extracti128_si256(first, 1));
        _mm_storel_epi64((__m128i*)(p + 40), _mm256_extracti128_si256(last, 1));
    }
    return x;
}

AVX2 uint32_t RowRgb16Avx2(const uint8_t* pairs, const PairOrder* o, uint32_t width, uint8_t* out) {
    const __m128i yShift = _mm_cvtsi32_si128(o->y0 ? 8 : 0);
    const __m256i uMask = SpreadMask(o->u), vMask = SpreadMask(o->v);
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16)
        _mm256_storeu_si256((__m256i*)(out + 2 * x), Rgb555Pixels(pairs + 2 * x, yShift, uMask, vMask));
    return x;
}

AVX2 uint32_t RowRgb8Avx2(const uint8_t* pairs, const PairOrder* o, uint32_t width, uint8_t* out) {
    const __m128i yShift = _mm_cvtsi32_si128(o->y0 ? 8 : 0);
    const __m256i uMask = SpreadMask(o->u), vMask = SpreadMask(o->v);
    uint16_t index[16];
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        _mm256_storeu_si256((__m256i*)index, Rgb555Pixels(pairs + 2 * x, yShift, uMask, vMask));
        for (int i = 0; i < 16; i++) out[x + i] = paletteIndex[index[i]];
    }
    return x;
}

AVX2 uint32_t RowPackedAvx2(const uint8_t* pairs, const PairOrder* from, const PairOrder* to, uint32_t width,
                            uint8_t* out) {
    // Byte `to->y0` of each output pair comes from byte `from->y0`, and so on.
    uint32_t pick = 0;
    pick |= (uint32_t)from->y0 << (8 * to->y0);
    pick |= (uint32_t)from->u << (8 * to->u);
    pick |= (uint32_t)from->y1 << (8 * to->y1);
    pick |= (uint32_t)from->v << (8 * to->v);
    const __m256i base = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0, 0, 0, 0, 4, 4, 4, 4, 8,
                                          8, 8, 8, 12, 12, 12, 12);
    const __m256i mask = _mm256_add_epi8(base, _mm256_set1_epi32((int)pick));
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16)
        _mm256_storeu_si256((__m256i*)(out + 2 * x),
                            _mm256_shuffle_epi8(_mm256_loadu_si256((const __m256i*)(pairs + 2 * x)), mask));
    return x;
}

AVX2 uint32_t RowLumaAvx2(const uint8_t* pairs, const PairOrder* o, uint32_t width, uint8_t* out) {
    const __m128i yShift = _mm_cvtsi32_si128(o->y0 ? 8 : 0);
    const __m256i low = _mm256_set1_epi16(0xFF);
    uint32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        __m256i a =
            _mm256_and_si256(_mm256_srl_epi16(_mm256_loadu_si256((const __m256i*)(pairs + 2 * x)), yShift), low);
        __m256i b =
            _mm256_and_si256(_mm256_srl_epi16(_mm256_loadu_si256((const __m256i*)(pairs + 2 * x + 32)), yShift), low);
        // The pack works per 128-bit lane; the permute puts the lanes in order.
        _mm256_storeu_si256((__m256i*)(out + x), _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8));
    }
    return x;
}

// Two lines to 4:2:0 in one pass: each block of the two lines is read once
// for its luminance and its colour. Answers the pixels done.
AVX2 uint32_t RowsI420Avx2(const uint8_t* a, const uint8_t* b, const PairOrder* o, uint32_t width, uint8_t* yA,
                           uint8_t* yB, uint8_t* u, uint8_t* v) {
    const __m128i yShift = _mm_cvtsi32_si128(o->y0 ? 8 : 0);
    const __m128i cShift = _mm_cvtsi32_si128(o->y0 ? 0 : 8);
    const __m256i low = _mm256_set1_epi16(0xFF);
    uint8_t* first = o->u < o->v ? u : v;
    uint8_t* second = o->u < o->v ? v : u;
    uint32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        __m256i a0 = _mm256_loadu_si256((const __m256i*)(a + 2 * x));
        __m256i a1 = _mm256_loadu_si256((const __m256i*)(a + 2 * x + 32));
        __m256i b0 = _mm256_loadu_si256((const __m256i*)(b + 2 * x));
        __m256i b1 = _mm256_loadu_si256((const __m256i*)(b + 2 * x + 32));
        __m256i la = _mm256_packus_epi16(_mm256_and_si256(_mm256_srl_epi16(a0, yShift), low),
                                         _mm256_and_si256(_mm256_srl_epi16(a1, yShift), low));
        __m256i lb = _mm256_packus_epi16(_mm256_and_si256(_mm256_srl_epi16(b0, yShift), low),
                                         _mm256_and_si256(_mm256_srl_epi16(b1, yShift), low));
        _mm256_storeu_si256((__m256i*)(yA + x), _mm256_permute4x64_epi64(la, 0xD8));
        _mm256_storeu_si256((__m256i*)(yB + x), _mm256_permute4x64_epi64(lb, 0xD8));
        __m256i c0 = _mm256_and_si256(_mm256_srl_epi16(_mm256_avg_epu8(a0, b0), cShift), low);
        __m256i c1 = _mm256_and_si256(_mm256_srl_epi16(_mm256_avg_epu8(a1, b1), cShift), low);
        __m256i c = _mm256_permute4x64_epi64(_mm256_packus_epi16(c0, c1), 0xD8);
        __m256i split =
            _mm256_permute4x64_epi64(_mm256_packus_epi16(_mm256_and_si256(c, low), _mm256_srli_epi16(c, 8)), 0xD8);
        _mm_storeu_si128((__m128i*)(first + x / 2), _mm256_castsi256_si128(split));
        _mm_storeu_si128((__m128i*)(second + x / 2), _mm256_extracti128_si256(split, 1));
    }
    return x;
}

// The sum of the bytes of the longest run of whole 32-byte blocks at data;
// *done is how many bytes that was.
AVX2 uint32_t SumAvx2(const uint8_t* data, uint32_t size, uint32_t* done) {
    __m256i total = _mm256_setzero_si256();
    uint32_t i = 0;
    for (; i + 32 <= size; i += 32)
        total = _mm256_add_epi64(
            total, _mm256_sad_epu8(_mm256_loadu_si256((const __m256i*)(data + i)), _mm256_setzero_si256()));
    __m128i half = _mm_add_epi64(_mm256_castsi256_si128(total), _mm256_extracti128_si256(total, 1));
    *done = i;
    return (uint32_t)_mm_cvtsi128_si32(half) + (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(half, 8));
}

#else
// Without AVX2 the writers of convert.cpp do the whole row.
int Avx2Available(void) {
    return 0;
}
uint32_t RowRgb24Avx2(const uint8_t*, const PairOrder*, uint32_t, uint8_t*) {
    return 0;
}
uint32_t RowRgb16Avx2(const uint8_t*, const PairOrder*, uint32_t, uint8_t*) {
    return 0;
}
uint32_t RowRgb8Avx2(const uint8_t*, const PairOrder*, uint32_t, uint8_t*) {
    return 0;
}
uint32_t RowPackedAvx2(const uint8_t*, const PairOrder*, const PairOrder*, uint32_t, uint8_t*) {
    return 0;
}
uint32_t RowLumaAvx2(const uint8_t*, const PairOrder*, uint32_t, uint8_t*) {
    return 0;
}
uint32_t RowsI420Avx2(const uint8_t*, const uint8_t*, const PairOrder*, uint32_t, uint8_t*, uint8_t*, uint8_t*,
                      uint8_t*) {
    return 0;
}
uint32_t SumAvx2(const uint8_t*, uint32_t, uint32_t* done) {
    *done = 0;
    return 0;
}
#endif
