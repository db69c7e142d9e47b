// The palette of 8-bit output. The default is a 6 x 6 x 6 colour cube and
// a 40-step grey ramp; an application may set its own. Each change builds
// the table from 15-bit colour to the nearest entry once, so a picture
// costs one look-up per pixel.
#include <string.h>

#include "decoder.h"

uint8_t paletteIndex[32768];

static uint8_t entries[PALETTE_ENTRIES][3];
static uint32_t entryCount;

static void BuildIndex(void) {
    for (uint32_t c = 0; c < 32768; c++) {
        // The middle of the 5-bit cell.
        int r = (int)((c >> 10) & 31) * 8 + 4, g = (int)((c >> 5) & 31) * 8 + 4, b = (int)(c & 31) * 8 + 4;
        uint32_t best = 0, bestDistance = 0xFFFFFFFFu;
        for (uint32_t i = 0; i < entryCount; i++) {
            int dr = r - entries[i][0], dg = g - entries[i][1], db = b - entries[i][2];
            uint32_t distance = (uint32_t)(dr * dr * 3 + dg * dg * 4 + db * db * 2);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        paletteIndex[c] = (uint8_t)best;
    }
}

void ResetPalette(void) {
    uint32_t n = 0;
    for (int r = 0; r < 6; r++)
        for (int g = 0; g < 6; g++)
            for (int b = 0; b < 6; b++, n++) {
                entries[n][0] = (uint8_t)(r * 51);
                entries[n][1] = (uint8_t)(g * 51);
                entries[n][2] = (uint8_t)(b * 51);
            }
    for (int k = 0; n < PALETTE_ENTRIES; k++, n++) {
        uint8_t grey = (uint8_t)(k * 255 / (PALETTE_ENTRIES - 216 - 1));
        entries[n][0] = entries[n][1] = entries[n][2] = grey;
    }
    entryCount = PALETTE_ENTRIES;
    BuildIndex();
}

void SetPalette(const uint8_t* record) {
    // A LOGPALETTE of version 0x300 with 1 to 256 entries; anything else
    // leaves the palette as it is.
    if (!record || FrameRead16(record) != 0x300) return;
    uint32_t count = FrameRead16(record + 2);
    if (count < 1 || count > PALETTE_ENTRIES) return;
    for (uint32_t i = 0; i < count; i++) memcpy(entries[i], record + 4 + 4 * i, 3);
    entryCount = count;
    BuildIndex();
}

void GetPalette(uint8_t* record) {
    FrameWrite16(record, 0x300);
    FrameWrite16(record + 2, entryCount);
    for (uint32_t i = 0; i < entryCount; i++) {
        memcpy(record + 4 + 4 * i, entries[i], 3);
        record[4 + 4 * i + 3] = 0;
    }
}

uint32_t PaletteRecordSize(void) {
    return 4 + 4 * entryCount;
}
