// Fuzz target: the frame check and decoding into every output format. Input: a control byte, then the frame.
// Bit 0x01 repairs what random bytes almost never get right (magic, version, sums, sizes, end marker), so most
// inputs reach the token stream; bit 0x02 sets a palette from the line data first. Every buffer is exactly as
// large as it must be, so the sanitizer catches a byte past it.
#include <string.h>

#include <vector>

#include "decoder/decoder.h"

extern "C" {
void DecStart(void);
uint32_t DecOpen(uint32_t compression, uint32_t bitCount);
uint32_t DecVerify(const uint8_t* frame, uint8_t* recordA, uint8_t* recordB);
uint32_t DecDecode(uint32_t decoder, const uint8_t* frame, uint8_t* target, uint32_t width, uint32_t height,
                   uint32_t* state);
void DecSetPalette(const void* palette);
void DecGetPalette(void* sizeRecord, void* destination);
void DecDouble(uint8_t* picture, uint32_t height, uint32_t width);
}

namespace {

// Output formats as an application names them: compression and bit count.
// clang-format off
const uint32_t kFormats[][2] = {{0, 24}, {0, 16}, {0, 8}, {0x30323449, 12}, {0x56555949, 12}, {0x32315659, 12},
                                {0x32595559, 16}, {0x59565955, 16}, {0x39555659, 9}};
// clang-format on

void Repair(std::vector<uint8_t>& frame) {
    if (frame.size() < FRAME_HEADER_SIZE + FRAME_END_SIZE) return;
    uint8_t* h = frame.data();
    uint32_t dataSize = (uint32_t)(frame.size() - FRAME_HEADER_SIZE - FRAME_END_SIZE);
    h[FRAME_VERSION] = FRAME_FORMAT_VERSION;
    h[FRAME_MAGIC] = FRAME_MAGIC_0;
    h[FRAME_MAGIC + 1] = FRAME_MAGIC_1;
    FrameWrite32(h + FRAME_DATA_SIZE, dataSize);
    FrameWrite16(h + FRAME_HEADER_SUM, FrameHeaderSum(h));
    uint8_t* end = h + FRAME_HEADER_SIZE + dataSize;
    const uint8_t magic[4] = {FRAME_END_MAGIC_0, FRAME_END_MAGIC_1, FRAME_END_MAGIC_2, FRAME_END_MAGIC_3};
    memcpy(end, magic, 4);
    FrameWrite32(end + FRAME_END_NUMBER, FrameRead32(h + FRAME_NUMBER));
    FrameWrite32(end + FRAME_END_SUM, FrameDataSum(h + FRAME_HEADER_SIZE, dataSize));
}

// A palette record in a buffer of its size; a few entries, as each change rebuilds a 32768-entry table.
void SetPaletteFrom(const uint8_t* bytes, size_t size) {
    if (size < 4) return;
    uint32_t count = FrameRead16(bytes + 2) % 5;
    if (size < 4 + 4 * (size_t)count) return;
    std::vector<uint8_t> record(bytes, bytes + 4 + 4 * count);
    FrameWrite16(record.data(), 0x300);
    FrameWrite16(record.data() + 2, count);
    DecSetPalette(record.data());
    uint8_t sizeRecord[2];
    DecGetPalette(sizeRecord, nullptr);
    std::vector<uint8_t> back(FrameRead16(sizeRecord));
    DecGetPalette(nullptr, back.data());
}

void DecodeEveryFormat(const std::vector<uint8_t>& frame, const FrameInfo& info) {
    for (const uint32_t* f : kFormats) {
        uint32_t decoder = DecOpen(f[0], f[1]);
        if (decoder == 0) __builtin_trap();  // every listed format has a decoder
        int kind = OutputKindFor(f[0], f[1]);
        std::vector<uint8_t> picture(OutputSize(kind, info.width, info.height));
        uint32_t state = 0;
        uint32_t result = DecDecode(decoder, frame.data(), picture.data(), info.width, info.height, &state);
        // A frame that passed the check decodes and says which it was; another size is refused.
        if (result != 0 || state != info.number) __builtin_trap();
        if (DecDecode(decoder, frame.data(), picture.data(), info.width + 8, info.height, &state) == 0)
            __builtin_trap();
        if (kind == OUT_RGB24) {
            std::vector<uint8_t> doubled(OutputSize(OUT_RGB24, 2 * info.width, 2 * info.height));
            memcpy(doubled.data(), picture.data(), picture.size());
            DecDouble(doubled.data(), info.height, info.width);
        }
    }
}

}  // namespace

// The library starts once, building its palette table, as a driver starts it.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    DecStart();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 1 + FRAME_MAX_SIZE) return 0;
    uint8_t control = data[0];
    std::vector<uint8_t> frame(data + 1, data + size);
    if (control & 0x01) Repair(frame);
    if ((control & 0x02) && frame.size() > FRAME_HEADER_SIZE)
        SetPaletteFrom(frame.data() + FRAME_HEADER_SIZE, frame.size() - FRAME_HEADER_SIZE);

    // The check reads no further than the caller allows.
    uint8_t recordA[88], recordB[16];
    memset(recordB, 0, sizeof recordB);
    FrameWrite32(recordB, (uint32_t)frame.size());
    if (frame.empty()) return 0;
    uint32_t verdict = DecVerify(frame.data(), recordA, recordB);
    if (FrameRead32(recordB + 4) != verdict || recordA[3] != verdict) __builtin_trap();

    FrameInfo info;
    if (CheckFrame(frame.data(), (uint32_t)frame.size(), &info) != verdict) __builtin_trap();
    if (verdict != CHECK_GOOD) return 0;
    if (info.totalSize > frame.size() || info.width > FRAME_MAX_WIDTH || info.height > FRAME_MAX_HEIGHT)
        __builtin_trap();
    DecodeEveryFormat(frame, info);
    return 0;
}
