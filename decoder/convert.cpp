// Decoding: each sent line is read into planar luminance and colour rows
// (Y at every pixel, U and V at every second), then written out in the
// output format. Colours are ITU-R BT.601 limited range (Y 16 to 235, U and
// V 16 to 240 around 128); RGB rows are bottom-up as in a DIB, YUV formats
// top-down. Everything works on the stack and in the caller's buffers.
#include <stddef.h>
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

// ---- Reading lines ----

typedef struct LineReader {
    const FrameInfo* frame;
    uint32_t pos;  // next byte of the line data
    int failed;
} LineReader;

static inline void SplitPairs(const uint8_t* __restrict pairs, uint32_t count, uint8_t* __restrict y,
                              uint8_t* __restrict u, uint8_t* __restrict v, int y0, int cu, int y1, int cv) {
    for (size_t i = 0; i < count; i++) {
        const uint8_t* p = pairs + 4 * i;
        y[2 * i] = p[y0];
        u[i] = p[cu];
        y[2 * i + 1] = p[y1];
        v[i] = p[cv];
    }
}

static void Split(const uint8_t* pairs, uint32_t count, uint32_t order, uint8_t* y, uint8_t* u, uint8_t* v) {
    // One call per order, so each loop has its offsets fixed.
    switch (order) {
        case FRAME_ORDER_YUYV:
            SplitPairs(pairs, count, y, u, v, 0, 1, 2, 3);
            break;
        case FRAME_ORDER_UYVY:
            SplitPairs(pairs, count, y, u, v, 1, 0, 3, 2);
            break;
        case FRAME_ORDER_YVYU:
            SplitPairs(pairs, count, y, u, v, 0, 3, 2, 1);
            break;
        default:
            SplitPairs(pairs, count, y, u, v, 1, 2, 3, 0);
            break;
    }
}

// Expands one compressed line into pairs; 0 when the stream is broken.
static int ExpandLine(LineReader* r, uint8_t* pairs, uint32_t count) {
    const uint8_t* data = r->frame->data;
    uint32_t size = r->frame->dataSize, pos = r->pos, done = 0;
    while (done < count) {
        if (pos >= size) return 0;
        uint32_t token = data[pos++];
        if (token < FRAME_REPEAT_BASE) {
            uint32_t n = token + 1;
            if (n > count - done || size - pos < n * 4) return 0;
            memcpy(pairs + 4 * done, data + pos, n * 4);
            pos += n * 4;
            done += n;
        } else {
            uint32_t n = token - FRAME_REPEAT_BASE + 1;
            if (done == 0 || n > count - done) return 0;
            uint8_t* last = pairs + 4 * (done - 1);
            for (size_t i = 0; i < n; i++) memcpy(pairs + 4 * (done + i), last, 4);
            done += n;
        }
    }
    r->pos = pos;
    return 1;
}

static void ReadLine(LineReader* r, uint8_t* y, uint8_t* u, uint8_t* v) {
    const FrameInfo* f = r->frame;
    uint32_t count = f->width / 2;
    if (f->encoding == FRAME_RAW) {
        Split(f->data + r->pos, count, f->order, y, u, v);
        r->pos += count * 4;
        return;
    }
    uint8_t pairs[FRAME_MAX_WIDTH * 2];
    if (!ExpandLine(r, pairs, count)) {
        r->failed = 1;
        memset(pairs, 0x80, count * 4);
    }
    Split(pairs, count, f->order, y, u, v);
}

// ---- Colour conversion ----

static inline uint8_t Clamp(int value) {
    return (uint8_t)(value < 0 ? 0 : value > 255 ? 255 : value);
}

// BT.601 limited range to full-range RGB, 8 fractional bits:
//   R = (298 (Y - 16) + 409 (V - 128) + 128) >> 8
//   G = (298 (Y - 16) - 100 (U - 128) - 208 (V - 128) + 128) >> 8
//   B = (298 (Y - 16) + 516 (U - 128) + 128) >> 8
// A row is done in two plain passes that the compiler can vectorise: the
// colour terms of each pixel pair spread to both pixels, then one
// expression per channel and pixel.
typedef struct RgbRow {
    int16_t luma[FRAME_MAX_WIDTH];
    int32_t red[FRAME_MAX_WIDTH], green[FRAME_MAX_WIDTH], blue[FRAME_MAX_WIDTH];
    uint8_t r[FRAME_MAX_WIDTH], g[FRAME_MAX_WIDTH], b[FRAME_MAX_WIDTH];
} RgbRow;

static void ConvertRow(const uint8_t* __restrict y, const uint8_t* __restrict u, const uint8_t* __restrict v,
                       uint32_t width, RgbRow* __restrict row) {
    for (size_t i = 0; i < width / 2; i++) {
        int cu = u[i] - 128, cv = v[i] - 128;
        int red = 409 * cv + 128, green = -100 * cu - 208 * cv + 128, blue = 516 * cu + 128;
        row->red[2 * i] = red;
        row->red[2 * i + 1] = red;
        row->green[2 * i] = green;
        row->green[2 * i + 1] = green;
        row->blue[2 * i] = blue;
        row->blue[2 * i + 1] = blue;
        row->luma[2 * i] = (int16_t)(y[2 * i] - 16);
        row->luma[2 * i + 1] = (int16_t)(y[2 * i + 1] - 16);
    }
    for (size_t x = 0; x < width; x++) {
        int c = 298 * row->luma[x];
        row->r[x] = Clamp((c + row->red[x]) >> 8);
        row->g[x] = Clamp((c + row->green[x]) >> 8);
        row->b[x] = Clamp((c + row->blue[x]) >> 8);
    }
}

static void RowRgb24(const RgbRow* __restrict row, uint32_t width, uint8_t* __restrict out) {
    for (size_t x = 0; x < width; x++) {
        out[3 * x] = row->b[x];
        out[3 * x + 1] = row->g[x];
        out[3 * x + 2] = row->r[x];
    }
}

static void RowRgb16(const RgbRow* __restrict row, uint32_t width, uint8_t* __restrict out) {
    for (size_t x = 0; x < width; x++) {
        uint32_t pixel =
            ((uint32_t)(row->r[x] >> 3) << 10) | ((uint32_t)(row->g[x] >> 3) << 5) | (uint32_t)(row->b[x] >> 3);
        out[2 * x] = (uint8_t)pixel;
        out[2 * x + 1] = (uint8_t)(pixel >> 8);
    }
}

static void RowRgb8(const RgbRow* __restrict row, uint32_t width, uint8_t* __restrict out) {
    for (size_t x = 0; x < width; x++)
        out[x] = paletteIndex[((uint32_t)(row->r[x] >> 3) << 10) | ((uint32_t)(row->g[x] >> 3) << 5) |
                              (uint32_t)(row->b[x] >> 3)];
}

static void RowPacked(const uint8_t* __restrict y, const uint8_t* __restrict u, const uint8_t* __restrict v,
                      uint32_t width, uint8_t* __restrict out, int yFirst) {
    uint32_t pairs = width / 2;
    if (yFirst) {
        for (size_t i = 0; i < pairs; i++) {
            out[4 * i] = y[2 * i];
            out[4 * i + 1] = u[i];
            out[4 * i + 2] = y[2 * i + 1];
            out[4 * i + 3] = v[i];
        }
    } else {
        for (size_t i = 0; i < pairs; i++) {
            out[4 * i] = u[i];
            out[4 * i + 1] = y[2 * i];
            out[4 * i + 2] = v[i];
            out[4 * i + 3] = y[2 * i + 1];
        }
    }
}

// Colour of two 4:2:2 lines averaged into one 4:2:0 line.
static void AverageTwo(const uint8_t* __restrict a, const uint8_t* __restrict b, uint32_t count,
                       uint8_t* __restrict out) {
    for (size_t i = 0; i < count; i++) out[i] = (uint8_t)((a[i] + b[i] + 1) >> 1);
}

// Colour of four 4:2:2 lines averaged into one line of 4 x 4 blocks.
static void AverageBlock(const uint8_t* const* rows, uint32_t count, uint8_t* out) {
    for (size_t i = 0; i < count; i++) {
        uint32_t sum = 4;
        for (int k = 0; k < 4; k++) sum += (uint32_t)rows[k][2 * i] + rows[k][2 * i + 1];
        out[i] = (uint8_t)(sum >> 3);
    }
}

// ---- One picture ----

static int LinesPerGroup(int kind) {
    return kind == OUT_I420 || kind == OUT_YV12 ? 2 : kind == OUT_YVU9 ? 4 : 1;
}

static void WriteGroup(int kind, uint32_t line, uint8_t* const* y, uint8_t* const* u, uint8_t* const* v, uint32_t width,
                       uint32_t height, RgbRow* rgb, uint8_t* target) {
    uint32_t area = width * height;
    switch (kind) {
        case OUT_RGB24:
            ConvertRow(y[0], u[0], v[0], width, rgb);
            RowRgb24(rgb, width, target + (height - 1 - line) * RgbStride(width, 24));
            break;
        case OUT_RGB16:
            ConvertRow(y[0], u[0], v[0], width, rgb);
            RowRgb16(rgb, width, target + (height - 1 - line) * RgbStride(width, 16));
            break;
        case OUT_RGB8:
            ConvertRow(y[0], u[0], v[0], width, rgb);
            RowRgb8(rgb, width, target + (height - 1 - line) * RgbStride(width, 8));
            break;
        case OUT_YUY2:
        case OUT_UYVY:
            RowPacked(y[0], u[0], v[0], width, target + line * width * 2, kind == OUT_YUY2);
            break;
        case OUT_I420:
        case OUT_YV12: {
            uint32_t half = width / 2, quarter = half * (height / 2);
            memcpy(target + line * width, y[0], width);
            memcpy(target + (line + 1) * width, y[1], width);
            uint8_t* first = target + area + (line / 2) * half;
            uint8_t* second = first + quarter;
            AverageTwo(u[0], u[1], half, kind == OUT_I420 ? first : second);
            AverageTwo(v[0], v[1], half, kind == OUT_I420 ? second : first);
            break;
        }
        case OUT_YVU9: {
            uint32_t small = width / 4, sixteenth = small * (height / 4);
            for (int k = 0; k < 4; k++) memcpy(target + (line + k) * width, y[k], width);
            uint8_t* vPlane = target + area + (line / 4) * small;
            AverageBlock(v, small, vPlane);
            AverageBlock(u, small, vPlane + sixteenth);
            break;
        }
        default:
            break;
    }
}

uint32_t DecodeFrame(int kind, const FrameInfo* info, uint8_t* target) {
    if (kind <= OUT_NONE || kind >= OUT_KIND_COUNT || !info || !target) return 1;
    uint8_t yRows[4][FRAME_MAX_WIDTH], uRows[4][FRAME_MAX_WIDTH / 2], vRows[4][FRAME_MAX_WIDTH / 2];
    uint8_t* y[4] = {yRows[0], yRows[1], yRows[2], yRows[3]};
    uint8_t* u[4] = {uRows[0], uRows[1], uRows[2], uRows[3]};
    uint8_t* v[4] = {vRows[0], vRows[1], vRows[2], vRows[3]};
    RgbRow rgb;
    LineReader reader = {info, 0, 0};
    int decimated = (info->flags & FRAME_FLAG_DECIMATED) != 0;
    uint32_t group = (uint32_t)LinesPerGroup(kind);
    for (uint32_t line = 0; line < info->height; line += group) {
        for (uint32_t k = 0; k < group; k++) {
            // A decimated frame sends even lines only; odd ones repeat them.
            if (decimated && ((line + k) & 1)) {
                uint32_t from = k ? k - 1 : 0;
                y[k] = y[from];
                u[k] = u[from];
                v[k] = v[from];
                continue;
            }
            y[k] = yRows[k];
            u[k] = uRows[k];
            v[k] = vRows[k];
            ReadLine(&reader, y[k], u[k], v[k]);
        }
        WriteGroup(kind, line, y, u, v, info->width, info->height, &rgb, target);
    }
    return reader.failed ? 1 : 0;
}

void DoublePicture(uint8_t* picture, uint32_t width, uint32_t height) {
    uint32_t from = RgbStride(width, 24), to = RgbStride(2 * width, 24);
    // From the last row and the last pixel back, so nothing is overwritten
    // before it has been read: row r lands on rows 2r and 2r + 1.
    for (uint32_t r = height; r-- > 0;) {
        const uint8_t* source = picture + r * from;
        uint8_t* target = picture + 2 * r * to;
        for (uint32_t x = width; x-- > 0;) {
            uint8_t b = source[3 * x], g = source[3 * x + 1], red = source[3 * x + 2];
            uint8_t* out = target + 6 * x;
            out[0] = b;
            out[1] = g;
            out[2] = red;
            out[3] = b;
            out[4] = g;
            out[5] = red;
        }
        memcpy(target + to, target, to);
    }
}
