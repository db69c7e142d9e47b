// Picture checks shared by the decoder tests.
#include "decoder_support.h"

int ComparePicture(const OutputFormat& f, const BYTE* picture, const SimCamera& camera, uint32_t number, int width,
                   int height, int threshold, const BYTE* palette, std::string* first) {
    int bad = 0;
    auto note = [&](int x, int y, const std::string& what) {
        if (bad++ == 0 && first) *first = "at (" + std::to_string(x) + ", " + std::to_string(y) + "): " + what;
    };
    if (f.compression == 0) {
        // RGB 24 is exact to rounding, 16 bits keep five a channel, the palette a 6-level cube.
        int tolerance = (f.bitCount == 24 ? 2 : f.bitCount == 16 ? 10 : 30) + threshold * 4;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                Colour want = ToRgb(Expected(camera, number, x, y));
                Colour got = DibPixel(picture, f.bitCount, width, height, x, y, palette);
                if (!Near(got, want, tolerance)) note(x, y, Show(got) + " for " + Show(want));
            }
        return bad;
    }
    // Packed (YUY2 Y0 U Y1 V, UYVY U Y0 V Y1) or planar: Y, then colour planes of 2 x 2 (4 x 4 for YVU9)
    // blocks, U first for I420, V first otherwise.
    bool packed = f.bitCount == 16, yFirst = f.compression == FOURCC_YUY2;
    int bw = f.compression == FOURCC_YVU9 ? 4 : 2, bh = packed ? 1 : bw, cw = width / bw, ch = height / bh;
    bool uFirst = f.compression == FOURCC_I420 || f.compression == FOURCC_IYUV;
    const BYTE* planes = picture + width * height;
    const BYTE* uPlane = uFirst ? planes : planes + cw * ch;
    const BYTE* vPlane = uFirst ? planes + cw * ch : planes;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            int got = packed ? picture[(y * width + x) * 2 + !yFirst] : picture[y * width + x];
            if (abs(got - Expected(camera, number, x, y).y) > threshold) note(x, y, "Y " + std::to_string(got));
        }
    for (int by = 0; by < ch; by++)
        for (int bx = 0; bx < cw; bx++) {
            double u = 0, v = 0;
            for (int dy = 0; dy < bh; dy++)
                for (int dx = 0; dx < bw; dx++) {
                    SceneColour c = Expected(camera, number, bx * bw + dx, by * bh + dy);
                    u += c.u / double(bw * bh);
                    v += c.v / double(bw * bh);
                }
            const BYTE* pair = picture + (by * width + bx * 2) * 2;
            int gu = packed ? pair[yFirst ? 1 : 0] : uPlane[by * cw + bx];
            int gv = packed ? pair[yFirst ? 3 : 2] : vPlane[by * cw + bx];
            if (fabs(gu - u) > threshold + 1 || fabs(gv - v) > threshold + 1)
                note(bx, by, "block U " + std::to_string(gu) + " V " + std::to_string(gv));
        }
    return bad;
}

// The counter's cells are along the bottom eighth of the scene.
uint32_t ReadCounter(const BYTE* picture, int width, int height) {
    uint32_t value = 0;
    for (int cell = 0; cell < SCENE_COUNTER_BITS; cell++) {
        int x = (cell * SCENE_COUNTER_CELL + SCENE_COUNTER_CELL / 2) * width / SCENE_WIDTH;
        value = value << 1 | (DibPixel(picture, 24, width, height, x, height - height / 16).g > 128 ? 1u : 0u);
    }
    return value;
}
