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

SceneColour ScenePixel(uint32_t frameNumber, uint32_t x, uint32_t y) {
    if (y >= SCENE_BARS_END && y < SCENE_RAMP_END) {
        SceneColour grey = {(uint8_t)(16 + x * 219 / (SCENE_WIDTH - 1)), 128, 128};
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
