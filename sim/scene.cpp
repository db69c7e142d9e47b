// The synthetic scene: colour bars, a moving square, a grey ramp and the
// frame counter. Flat areas with sharp edges, so that decoded pictures can
// be checked colour by colour and compression has something to work on.
#include "scene.h"

// 75% bars in BT.601 limited range.
const SceneColour kSceneBars[8] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                                   {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128}};
const uint8_t kSceneBarsRgb[8][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                     {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};
// Orange, full-range (255, 128, 0).
const SceneColour kSceneObject = {146, 53, 193};
const uint8_t kSceneObjectRgb[3] = {255, 128, 0};

uint32_t SceneObjectLeft(uint32_t frameNumber) {
    return 8 * (frameNumber % ((SCENE_WIDTH - SCENE_OBJECT_SIZE) / 8 + 1));
}

// Segments a to g of each digit, bit 0 for a: top, top right, bottom
// right, bottom, bottom left, top left, middle.
static const uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

int SceneDigitLit(uint32_t digit, uint32_t x, uint32_t y) {
    if (digit > 9 || x >= SCENE_DIGIT_WIDTH || y >= SCENE_DIGIT_HEIGHT) return 0;
    const uint32_t t = 2, right = SCENE_DIGIT_WIDTH - t, half = SCENE_DIGIT_HEIGHT / 2;
    uint32_t lit = 0;
    if (y < t) lit |= 0x01;
    if (x >= right && y < half) lit |= 0x02;
    if (x >= right && y >= half) lit |= 0x04;
    if (y >= SCENE_DIGIT_HEIGHT - t) lit |= 0x08;
    if (x < t && y >= half) lit |= 0x10;
    if (x < t && y < half) lit |= 0x20;
    if (y + 1 >= half && y <= half) lit |= 0x40;
    return (kSegments[digit] & lit) != 0;
}

// The frame number in decimal over the ramp, for a person to read.
static int DigitsLit(uint32_t frameNumber, uint32_t x, uint32_t y) {
    if (x < SCENE_DIGITS_LEFT || y < SCENE_DIGITS_TOP || y >= SCENE_DIGITS_TOP + SCENE_DIGIT_HEIGHT) return 0;
    uint32_t place = (x - SCENE_DIGITS_LEFT) / SCENE_DIGIT_PITCH;
    if (place >= SCENE_DIGITS) return 0;
    uint32_t value = frameNumber;
    for (uint32_t k = place + 1; k < SCENE_DIGITS; k++) value /= 10;
    return SceneDigitLit(value % 10, (x - SCENE_DIGITS_LEFT) % SCENE_DIGIT_PITCH, y - SCENE_DIGITS_TOP);
}

SceneColour ScenePixel(uint32_t frameNumber, uint32_t x, uint32_t y) {
    if (y >= SCENE_BARS_END && y < SCENE_RAMP_END) {
        SceneColour grey = {(uint8_t)(16 + x * 219 / (SCENE_WIDTH - 1)), 128, 128};
        if (DigitsLit(frameNumber, x, y)) grey.y = 235;
        return grey;
    }
    x &= ~1u;  // the pair's colour; every edge below is on a pair
    if (y < SCENE_BARS_END) {
        uint32_t left = SceneObjectLeft(frameNumber);
        if (y >= SCENE_OBJECT_TOP && y < SCENE_OBJECT_TOP + SCENE_OBJECT_SIZE && x >= left &&
            x < left + SCENE_OBJECT_SIZE)
            return kSceneObject;
        return kSceneBars[x / SCENE_BAR_WIDTH];
    }
    uint32_t bit = SCENE_COUNTER_BITS - 1 - x / SCENE_COUNTER_CELL;
    SceneColour cell = {(uint8_t)(((frameNumber >> bit) & 1) ? 235 : 16), 128, 128};
    return cell;
}
