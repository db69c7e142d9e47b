// The synthetic scene the simulated camera looks at, in the full sensor's
// coordinates (352 x 288), as BT.601 limited-range YUV at its nominal
// light. Tests read it to know what a decoded picture must show.
//
//   rows   0 to 191: eight 75% colour bars of 44 columns: white, yellow,
//                    cyan, green, magenta, red, blue, black; over them a
//                    48 x 48 orange square whose left edge moves 8 columns
//                    a frame (SceneObjectLeft), top at row 97 (odd, so that colour
//                    averaged over line pairs meets an edge);
//   rows 192 to 255: a grey ramp from black at the left to white, with the
//                    frame number in five white seven-segment digits
//                    (12 x 20, 16 columns apart) from column 16, row 214;
//   rows 256 to 287: the frame counter, 16 cells of 22 columns, most
//                    significant bit at the left, white for 1, black for 0.
#ifndef TARN2_SIM_SCENE_H
#define TARN2_SIM_SCENE_H

#include <stdint.h>

#define SCENE_WIDTH 352
#define SCENE_HEIGHT 288
#define SCENE_BAR_WIDTH 44
#define SCENE_BARS_END 192
#define SCENE_RAMP_END 256
#define SCENE_OBJECT_SIZE 48
#define SCENE_OBJECT_TOP 97
#define SCENE_DIGITS_LEFT 16
#define SCENE_DIGITS_TOP 214
#define SCENE_DIGIT_PITCH 16
#define SCENE_DIGIT_WIDTH 12
#define SCENE_DIGIT_HEIGHT 20
#define SCENE_DIGITS 5
#define SCENE_COUNTER_CELL 22
#define SCENE_COUNTER_BITS 16

typedef struct SceneColour {
    uint8_t y, u, v;
} SceneColour;

// The bar colours in order, and the object's.
extern const SceneColour kSceneBars[8];
extern const SceneColour kSceneObject;
// The same colours in full-range RGB (red, green, blue), for checking RGB output.
extern const uint8_t kSceneBarsRgb[8][3];
extern const uint8_t kSceneObjectRgb[3];

// Left column of the moving square in frame n.
uint32_t SceneObjectLeft(uint32_t frameNumber);

// Whether the digit (0 to 9) lights the pixel at (x, y) of its 12 x 20 cell.
int SceneDigitLit(uint32_t digit, uint32_t x, uint32_t y);

// One pixel of the scene in frame n (x < 352, y < 288). Colour is 4:2:2:
// a pixel pair (x even and x + 1) shares the colour of its even pixel.
SceneColour ScenePixel(uint32_t frameNumber, uint32_t x, uint32_t y);

#endif
