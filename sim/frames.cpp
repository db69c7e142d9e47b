// The camera's frames in its own format (decoder/frame_format.h,
// docs/frame-format.md): the scene seen through the sensor size and window
// the camera was told, at the picture's light level, raw or compressed as
// the compression settings say.
#include <string.h>

#include <vector>

#include "../decoder/frame_format.h"
#include "camera.h"
#include "scene.h"

namespace {

// The camera's link budget when it aims at a frame rate: bytes a second.
const uint32_t kTargetBytesPerSecond = 1000000;

// Where Y0, U, Y1 and V go in a pixel pair of each byte order.
const uint8_t kPairLayout[FRAME_ORDER_COUNT][4] = {
    {0, 1, 2, 3},  // YUYV
    {1, 0, 3, 2},  // UYVY
    {0, 3, 2, 1},  // YVYU
    {1, 2, 3, 0},  // VYUY
};

struct FrameShape {
    uint32_t colStart, rowStart, width, height;
    int cif;
    uint32_t order;
    int level;  // the picture's light level, 128 nominal
};

uint8_t Scale(int value, int centre, int level, int low, int high) {
    int scaled = centre + (value - centre) * level / 128;
    return (uint8_t)(scaled < low ? low : scaled > high ? high : scaled);
}

// One sensor line of the window as pixel pairs in the frame's byte order.
void SensorLine(const FrameShape& s, uint32_t frameNumber, uint32_t row, uint8_t* pairs) {
    // A QCIF sensor sees the same scene at half the resolution.
    uint32_t step = s.cif ? 1 : 2;
    const uint8_t* at = kPairLayout[s.order];
    for (uint32_t i = 0; i < s.width / 2; i++) {
        uint32_t x = s.colStart + 2 * i;
        SceneColour a = ScenePixel(frameNumber, x * step, row * step);
        SceneColour b = ScenePixel(frameNumber, (x + 1) * step, row * step);
        uint8_t* p = pairs + 4 * i;
        p[at[0]] = Scale(a.y, 16, s.level, 16, 235);
        p[at[1]] = Scale(a.u, 128, s.level, 16, 240);
        p[at[2]] = Scale(b.y, 16, s.level, 16, 235);
        p[at[3]] = Scale(a.v, 128, s.level, 16, 240);
    }
}

int Near(int a, int b, int threshold) {
    return a - b <= threshold && b - a <= threshold;
}

// Whether pair p may stand in for pair q within the thresholds.
int Close(const uint8_t* p, const uint8_t* q, const uint8_t* at, int yT, int uvT) {
    return Near(p[at[0]], q[at[0]], yT) && Near(p[at[2]], q[at[2]], yT) && Near(p[at[1]], q[at[1]], uvT) &&
           Near(p[at[3]], q[at[3]], uvT);
}

// Run-length codes one line: literals of up to 128 pairs, and repeats of
// the last pair sent while the pairs stay within the thresholds of it.
void EncodeLine(const uint8_t* pairs, uint32_t count, const uint8_t* at, int yT, int uvT, std::vector<uint8_t>* out) {
    uint32_t i = 0;
    const uint8_t* last = nullptr;
    while (i < count) {
        if (last && Close(pairs + 4 * i, last, at, yT, uvT)) {
            uint32_t n = 0;
            while (i + n < count && n < FRAME_REPEAT_MAX && Close(pairs + 4 * (i + n), last, at, yT, uvT)) n++;
            out->push_back((uint8_t)(FRAME_REPEAT_BASE + n - 1));
            i += n;
            continue;
        }
        uint32_t n = 1;
        while (i + n < count && n < FRAME_LITERAL_MAX &&
               !Close(pairs + 4 * (i + n), pairs + 4 * (i + n - 1), at, yT, uvT))
            n++;
        out->push_back((uint8_t)(n - 1));
        out->insert(out->end(), pairs + 4 * i, pairs + 4 * (i + n));
        i += n;
        last = pairs + 4 * (i - 1);
    }
}

void EncodeFrame(const FrameShape& s, const std::vector<uint8_t>& lines, uint32_t sent, int yT, int uvT,
                 std::vector<uint8_t>* out) {
    out->clear();
    uint32_t lineBytes = s.width * 2;
    for (uint32_t line = 0; line < sent; line++)
        EncodeLine(&lines[line * lineBytes], s.width / 2, kPairLayout[s.order], yT, uvT, out);
}

int Limit(int value) {
    return value > 255 ? 255 : value;
}

}  // namespace

int SimFrameSettingsDiffer(SimCamera* camera) {
    const uint8_t now[sizeof camera->lastFrameSettings] = {
        camera->videoSize, camera->subSample, camera->yuvOrder, camera->colStart8,  camera->colEnd8,
        camera->rowStart4, camera->rowEnd4,   camera->compMode, camera->decimation, 1};
    int differ = memcmp(now, camera->lastFrameSettings, sizeof now) != 0;
    memcpy(camera->lastFrameSettings, now, sizeof now);
    return differ;
}

uint32_t MakeCameraFrame(const SimCamera* camera, uint8_t statusByte, uint32_t frameNumber, uint8_t* out,
                         uint32_t capacity) {
    FrameShape s;
    SimFrameSize(camera, &s.width, &s.height);
    s.cif = camera->videoSize ? 1 : 0;
    s.colStart = camera->colStart8 * 8u;
    s.rowStart = camera->rowStart4 * 4u;
    s.order = camera->yuvOrder % FRAME_ORDER_COUNT;
    s.level = camera->registers[30];

    int compressed = camera->compMode != 0 && s.width && s.height;
    int decimated = compressed && camera->decimation;
    uint32_t sent = decimated ? s.height / 2 : s.height;

    // The window's lines as the sensor gives them (every second line when
    // decimating).
    // Kept from frame to frame; the simulator's lock serialises every request.
    static std::vector<uint8_t> lines, data;
    uint32_t lineBytes = s.width * 2;
    lines.resize((size_t)lineBytes * sent);
    for (uint32_t line = 0; line < sent; line++)
        SensorLine(s, frameNumber, s.rowStart + (decimated ? 2 * line : line), &lines[line * lineBytes]);

    int yT = 0, uvT = 0;
    if (compressed) {
        if (camera->compMode == 1 && camera->frTargeting) {
            // Automatic with a target: the quality sets the thresholds, and
            // a frame over the frame rate's share of the link is coded
            // again more coarsely.
            yT = uvT = camera->targetQ / 8 > 1 ? camera->targetQ / 8 : 1;
        } else {
            yT = camera->yThreshold;
            uvT = camera->uvThreshold;
        }
        EncodeFrame(s, lines, sent, yT, uvT, &data);
        uint32_t budget = kTargetBytesPerSecond / (camera->targetFR ? camera->targetFR : 1);
        for (int again = 0; again < 3 && camera->compMode == 1 && camera->frTargeting && data.size() > budget;
             again++) {
            yT = Limit(yT * 2);
            uvT = Limit(uvT * 2);
            EncodeFrame(s, lines, sent, yT, uvT, &data);
        }
    } else {
        data.swap(lines);
    }

    uint8_t header[FRAME_HEADER_SIZE];
    memset(header, 0, sizeof header);
    header[FRAME_STATUS] = statusByte;
    header[FRAME_VERSION] = FRAME_FORMAT_VERSION;
    header[FRAME_ENCODING] = compressed ? FRAME_COMPRESSED : FRAME_RAW;
    header[FRAME_FLAGS] = (uint8_t)((decimated ? FRAME_FLAG_DECIMATED : 0) | (s.cif ? FRAME_FLAG_CIF : 0));
    FrameWrite32(header + FRAME_NUMBER, frameNumber);
    FrameWrite16(header + FRAME_COL_START, s.colStart);
    FrameWrite16(header + FRAME_COL_END, s.colStart + s.width);
    FrameWrite16(header + FRAME_ROW_START, s.rowStart);
    FrameWrite16(header + FRAME_ROW_END, s.rowStart + s.height);
    FrameWrite16(header + FRAME_WIDTH, s.width);
    FrameWrite16(header + FRAME_HEIGHT, s.height);
    FrameWrite32(header + FRAME_DATA_SIZE, (uint32_t)data.size());
    header[FRAME_SUBSAMPLE] = FRAME_SUBSAMPLE_422;
    header[FRAME_YUV_ORDER] = (uint8_t)s.order;
    header[FRAME_COMP_MODE] = camera->compMode;
    header[FRAME_Y_THRESHOLD] = (uint8_t)yT;
    header[FRAME_UV_THRESHOLD] = (uint8_t)uvT;
    header[FRAME_FR_TARGETING] = camera->frTargeting;
    header[FRAME_TARGET_FR] = camera->targetFR;
    header[FRAME_TARGET_Q] = camera->targetQ;
    header[FRAME_GAIN] = camera->gain;
    header[FRAME_LIGHT_LEVEL] = (uint8_t)s.level;
    FrameWrite16(header + FRAME_EXPOSURE, camera->coarseExposure);
    header[FRAME_RATE_EXPONENT] = camera->divisorExponent;
    header[FRAME_BASE_RATE] = camera->baseRate;
    header[FRAME_FLICKER] = camera->flickerMode;
    header[FRAME_EXPOSURE_HALF] = (uint8_t)Limit(camera->coarseExposure / 2);
    memcpy(header + FRAME_COMP_PARAMS, camera->compressionParams, 8);
    FrameWrite16(header + FRAME_HEADER_SUM, FrameHeaderSum(header));
    header[FRAME_MAGIC] = FRAME_MAGIC_0;
    header[FRAME_MAGIC + 1] = FRAME_MAGIC_1;

    uint8_t end[FRAME_END_SIZE] = {FRAME_END_MAGIC_0, FRAME_END_MAGIC_1, FRAME_END_MAGIC_2, FRAME_END_MAGIC_3};
    FrameWrite32(end + FRAME_END_NUMBER, frameNumber);
    FrameWrite32(end + FRAME_END_SUM, FrameDataSum(data.data(), (uint32_t)data.size()));

    // A buffer too small takes what fits: the frame arrives cut short.
    uint32_t size = 0;
    auto put = [&](const uint8_t* bytes, uint32_t count) {
        uint32_t n = capacity - size < count ? capacity - size : count;
        if (n) memcpy(out + size, bytes, n);
        size += n;
    };
    put(header, sizeof header);
    put(data.data(), (uint32_t)data.size());
    put(end, sizeof end);
    return size;
}
