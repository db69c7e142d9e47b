// Frames from the simulated camera, and what a decoded picture must show, from the scene with the textbook
// BT.601 formulas in floating point, so the decoder's integer arithmetic is checked, not restated.
#ifndef TARN2_TESTS_DECODER_SUPPORT_H
#define TARN2_TESTS_DECODER_SUPPORT_H

#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "decoder/frame_format.h"
#include "device/grabber.h"
#include "platform/win32.h"
#include "sim/camera.h"
#include "sim/scene.h"

// The output formats, as an application names them.
struct OutputFormat {
    const char* name;
    DWORD compression;
    WORD bitCount;
};

inline const std::vector<OutputFormat>& AllOutputFormats() {
    static const std::vector<OutputFormat> formats = {
        {"rgb24", 0, 24},          {"rgb16", 0, 16},          {"rgb8", 0, 8},
        {"i420", FOURCC_I420, 12}, {"iyuv", FOURCC_IYUV, 12}, {"yv12", FOURCC_YV12, 12},
        {"yuy2", FOURCC_YUY2, 16}, {"uyvy", FOURCC_UYVY, 16}, {"yvu9", FOURCC_YVU9, 9},
    };
    return formats;
}

// A camera as the driver leaves it for width x height: the sensor that holds it, the window centred.
inline SimCamera CameraFor(int width, int height, int compMode = 0, int threshold = 0) {
    SimCamera camera;
    memset(&camera, 0, sizeof camera);
    SimCameraPowerUp(&camera, 1, 3, 3, 128);
    int cif = width > 176 || height > 144;
    int sensorW = cif ? 352 : 176, sensorH = cif ? 288 : 144;
    camera.videoSize = (uint8_t)cif;
    camera.colStart8 = (uint8_t)((sensorW - width) / 2 / 8);
    camera.colEnd8 = (uint8_t)(camera.colStart8 + width / 8);
    camera.rowStart4 = (uint8_t)((sensorH - height) / 2 / 4);
    camera.rowEnd4 = (uint8_t)(camera.rowStart4 + height / 4);
    camera.compMode = (uint8_t)compMode;
    camera.yThreshold = camera.uvThreshold = (uint8_t)threshold;
    SimUpdateExposure(&camera);
    return camera;
}

inline std::vector<BYTE> MakeFrame(const SimCamera& camera, uint32_t number, uint8_t status = 0) {
    std::vector<BYTE> frame(FRAME_MAX_SIZE);
    frame.resize(MakeCameraFrame(&camera, status, number, frame.data(), FRAME_MAX_SIZE));
    return frame;
}

// The header sum and end marker made right again after a change, so only the change is at fault.
inline void Reseal(std::vector<BYTE>* frame) {
    BYTE* f = frame->data();
    uint32_t data = FrameRead32(f + FRAME_DATA_SIZE);
    FrameWrite16(f + FRAME_HEADER_SUM, FrameHeaderSum(f));
    if (FRAME_HEADER_SIZE + data + FRAME_END_SIZE <= frame->size())
        FrameWrite32(f + FRAME_HEADER_SIZE + data + FRAME_END_SUM, FrameDataSum(f + FRAME_HEADER_SIZE, data));
}

// The scene at the light level (register 30): 128 shows it as it is, less fades it toward black and grey.
inline uint8_t AtLevel(int value, int centre, int level, int low, int high) {
    int scaled = centre + (value - centre) * level / 128;
    return (uint8_t)(scaled < low ? low : scaled > high ? high : scaled);
}

// Pixel (x, y): the scene through the window, at half resolution on QCIF, even lines twice when decimated.
inline SceneColour Expected(const SimCamera& camera, uint32_t number, int x, int y) {
    int step = camera.videoSize ? 1 : 2;
    if (camera.compMode && camera.decimation) y &= ~1;
    int sx = camera.colStart8 * 8 + x, sy = camera.rowStart4 * 4 + y;
    SceneColour c = ScenePixel(number, (uint32_t)(sx * step), (uint32_t)(sy * step));
    // Colour is the pair's: the even pixel of the pair at the sensor.
    SceneColour pair = ScenePixel(number, (uint32_t)((sx & ~1) * step), (uint32_t)(sy * step));
    int level = camera.registers[30];
    return {AtLevel(c.y, 16, level, 16, 235), AtLevel(pair.u, 128, level, 16, 240),
            AtLevel(pair.v, 128, level, 16, 240)};
}

struct Colour {
    int r, g, b;
};

inline int Clamp255(double v) {
    return v < 0 ? 0 : v > 255 ? 255 : (int)lround(v);
}

inline Colour ToRgb(SceneColour c) {
    double y = 255.0 / 219.0 * (c.y - 16), u = 255.0 / 224.0 * (c.u - 128), v = 255.0 / 224.0 * (c.v - 128);
    return {Clamp255(y + 1.402 * v), Clamp255(y - 0.344136 * u - 0.714136 * v), Clamp255(y + 1.772 * u)};
}

// Reads pixel (x, y) of a bottom-up DIB picture as RGB.
inline Colour DibPixel(const BYTE* picture, int bits, int width, int height, int x, int y,
                       const BYTE* palette = nullptr) {
    const BYTE* row = picture + (height - 1 - y) * ((width * bits + 31) / 32 * 4);
    if (bits == 24) return {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    if (bits == 16) {
        int p = row[2 * x] | (row[2 * x + 1] << 8);
        return {((p >> 10) & 31) << 3, ((p >> 5) & 31) << 3, (p & 31) << 3};
    }
    const BYTE* entry = palette + 4 + 4 * row[x];
    return {entry[0], entry[1], entry[2]};
}

inline bool Near(Colour a, Colour b, int tolerance) {
    return abs(a.r - b.r) <= tolerance && abs(a.g - b.g) <= tolerance && abs(a.b - b.b) <= tolerance;
}

inline std::string Show(Colour c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

// The number of pixels unlike the scene (tolerance widening with the thresholds); the first described.
int ComparePicture(const OutputFormat& f, const BYTE* picture, const SimCamera& camera, uint32_t number, int width,
                   int height, int threshold, const BYTE* palette, std::string* first);

// The frame counter as a picture of the whole sensor shows it (RGB 24).
uint32_t ReadCounter(const BYTE* picture, int width, int height);

#endif
