// Picture checks shared by the decoder tests.
#include "decoder_support.h"

namespace {

bool IsRgb(const OutputFormat& f) {
    return f.compression == 0;
}

void Note(std::string* first, int* bad, const std::string& what) {
    if ((*bad)++ == 0 && first) *first = what;
}

std::string At(int x, int y) {
    return "at (" + std::to_string(x) + ", " + std::to_string(y) + "): ";
}

}  // namespace

int ComparePicture(const OutputFormat& f, const BYTE* picture, const SimCamera& camera, uint32_t number, int width,
                   int height, int threshold, const BYTE* palette, std::string* first) {
    int bad = 0;
    if (IsRgb(f)) {
        // RGB 24 is exact to rounding; 16 bits keep five bits a channel;
        // the palette is a 6-level cube, nearest entry.
        int tolerance = f.bitCount == 24 ? 2 : f.bitCount == 16 ? 10 : 30;
        tolerance += threshold * 4;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                Colour want = ToRgb(Expected(camera, number, x, y));
                Colour got = DibPixel(picture, f.bitCount, width, height, x, y, palette);
                if (!Near(got, want, tolerance)) Note(first, &bad, At(x, y) + Show(got) + " for " + Show(want));
            }
        return bad;
    }
    int yTolerance = threshold, cTolerance = threshold + 1;
    if (f.compression == FOURCC_YUY2 || f.compression == FOURCC_UYVY) {
        bool yFirst = f.compression == FOURCC_YUY2;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                const BYTE* pair = picture + y * width * 2 + (x & ~1) * 2;
                int gy = yFirst ? pair[(x & 1) * 2] : pair[1 + (x & 1) * 2];
                int gu = yFirst ? pair[1] : pair[0], gv = yFirst ? pair[3] : pair[2];
                SceneColour want = Expected(camera, number, x, y);
                if (abs(gy - want.y) > yTolerance || abs(gu - want.u) > cTolerance || abs(gv - want.v) > cTolerance)
                    Note(first, &bad,
                         At(x, y) + "YUV " + std::to_string(gy) + " " + std::to_string(gu) + " " + std::to_string(gv));
            }
        return bad;
    }
    // Planar: the luminance plane, then two colour planes of 2 x 2 (4:2:0)
    // or 4 x 4 (YVU9) blocks, U first for I420, V first otherwise.
    int block = f.compression == FOURCC_YVU9 ? 4 : 2;
    int cw = width / block, ch = height / block;
    bool uFirst = f.compression == FOURCC_I420 || f.compression == FOURCC_IYUV;
    const BYTE* first_plane = picture + width * height;
    const BYTE* uPlane = uFirst ? first_plane : first_plane + cw * ch;
    const BYTE* vPlane = uFirst ? first_plane + cw * ch : first_plane;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            int want = Expected(camera, number, x, y).y;
            if (abs(picture[y * width + x] - want) > yTolerance)
                Note(first, &bad, At(x, y) + "Y " + std::to_string(picture[y * width + x]));
        }
    for (int by = 0; by < ch; by++)
        for (int bx = 0; bx < cw; bx++) {
            double u = 0, v = 0;
            for (int dy = 0; dy < block; dy++)
                for (int dx = 0; dx < block; dx++) {
                    SceneColour c = Expected(camera, number, bx * block + dx, by * block + dy);
                    u += c.u;
                    v += c.v;
                }
            u /= block * block;
            v /= block * block;
            int gu = uPlane[by * cw + bx], gv = vPlane[by * cw + bx];
            if (fabs(gu - u) > cTolerance || fabs(gv - v) > cTolerance)
                Note(first, &bad, At(bx, by) + "block U " + std::to_string(gu) + " V " + std::to_string(gv));
        }
    return bad;
}

uint32_t ReadCounter(const BYTE* picture, int width, int height) {
    uint32_t value = 0;
    // The counter's cells along the bottom eighth of the scene.
    int y = height - height / 16;
    for (int cell = 0; cell < SCENE_COUNTER_BITS; cell++) {
        int x = (cell * SCENE_COUNTER_CELL + SCENE_COUNTER_CELL / 2) * width / SCENE_WIDTH;
        Colour c = DibPixel(picture, 24, width, height, x, y);
        value = value << 1 | (c.g > 128 ? 1u : 0u);
    }
    return value;
}
