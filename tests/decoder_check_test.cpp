// The frame check refuses every malformed frame; no check or decode reads past the frame it was given.
#include <sys/mman.h>
#include <unistd.h>

#include <random>

#include "decoder_support.h"

namespace {

// A frame copied to the very end of readable memory.
class GuardedFrame {
public:
    explicit GuardedFrame(const std::vector<BYTE>& bytes) {
        size_t page = (size_t)sysconf(_SC_PAGESIZE);
        pages = (bytes.size() + page - 1) / page * page + page;
        base = (BYTE*)mmap(nullptr, pages, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        mprotect(base + pages - page, page, PROT_NONE);
        frame = base + pages - page - bytes.size();
        memcpy(frame, bytes.data(), bytes.size());
    }
    ~GuardedFrame() { munmap(base, pages); }
    BYTE* frame;

private:
    BYTE* base;
    size_t pages;
};

// The check's result (and record A) for a frame of which `available` bytes can be read.
DWORD Verify(const BYTE* frame, DWORD available, BYTE* recordA = nullptr) {
    BYTE a[88] = {0}, b[16] = {0};
    memcpy(b, &available, 4);
    DWORD result = DecoderVerify(frame, a, b);
    if (recordA) memcpy(recordA, a, sizeof a);
    return result;
}

DWORD Check(const std::vector<BYTE>& bytes) {
    GuardedFrame guarded(bytes);
    return Verify(guarded.frame, (DWORD)bytes.size());
}

class DecoderCheck : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(StartDecoderLibrary(), 1); }
    void TearDown() override { EndDecoderLibrary(); }
};

TEST_F(DecoderCheck, AGoodFrameReportsItselfAndMalformedHeadersAreRefused) {
    BYTE a[88];
    std::vector<BYTE> bytes = MakeFrame(CameraFor(320, 240), 12, 1);
    GuardedFrame window(bytes);
    // The status byte, a line of bytes from column 16, 240 lines; no size from the caller: as far as the frame says.
    EXPECT_EQ(std::vector<DWORD>({Verify(window.frame, (DWORD)bytes.size(), a), a[0], FrameRead16(a + 6),
                                  FrameRead16(a + 8) - FrameRead16(a + 6), FrameRead16(a + 12) - FrameRead16(a + 10),
                                  Verify(window.frame, 0)}),
              std::vector<DWORD>({0, 1, 32, 640, 240, 0}));

    std::vector<BYTE> good = MakeFrame(CameraFor(176, 144), 3);
    // clang-format off
    const struct { const char* what; int offset, value /* -1: flip the byte */; bool reseal; DWORD result; } cases[] = {
        {"status byte 2", FRAME_STATUS, 2, true, 2},                {"status byte 0xFF", FRAME_STATUS, 0xFF, true, 2},
        {"header sum", FRAME_HEADER_SUM, -1, false, 1},             {"magic", FRAME_MAGIC, 0, true, 1},
        {"version", FRAME_VERSION, 2, true, 1},                     {"encoding", FRAME_ENCODING, 2, true, 1},
        {"unknown flag", FRAME_FLAGS, 0x80 | FRAME_FLAG_CIF, true, 1},
        {"decimated raw frame", FRAME_FLAGS, FRAME_FLAG_DECIMATED, true, 1},
        {"sub-sampling", FRAME_SUBSAMPLE, 2, true, 1},              {"byte order", FRAME_YUV_ORDER, 4, true, 1},
        {"width not the window", FRAME_WIDTH, 168, true, 3},        {"height not the window", FRAME_HEIGHT, 140, true, 3},
        {"window past a QCIF sensor", FRAME_COL_END, 184, true, 3}, {"empty window", FRAME_ROW_END, 0, true, 3},
        {"data size", FRAME_DATA_SIZE, 0x10, true, 3},
    };
    // clang-format on
    for (const auto& c : cases) {
        std::vector<BYTE> frame = good;
        frame[c.offset] = c.value < 0 ? (BYTE)~frame[c.offset] : (BYTE)c.value;
        if (c.reseal) Reseal(&frame);
        EXPECT_EQ(Check(frame), c.result) << c.what;
    }
    // A width that is no multiple of 8, though window and width agree.
    FrameWrite16(&good[FRAME_COL_END], 172);
    FrameWrite16(&good[FRAME_WIDTH], 172);
    Reseal(&good);
    EXPECT_EQ(Check(good), 3u);
}

// Random damage, resealed half the time to reach the deeper checks; what passes decodes within its picture.
TEST_F(DecoderCheck, RandomDamageNeverReadsPastTheFrame) {
    std::mt19937 random(2026);
    std::vector<std::vector<BYTE>> seeds = {MakeFrame(CameraFor(32, 16, 2, 4), 8), MakeFrame(CameraFor(16, 8), 9)};
    std::vector<BYTE> picture(32 * 16 * 3 + 32);
    DWORD state = 0, decoder = DecoderOpen(0, 24);
    // Decoding keeps to the bound the check was given for the same frame.
    GuardedFrame whole(seeds[0]);
    EXPECT_EQ(Verify(whole.frame, (DWORD)seeds[0].size() - 1), 4u);
    EXPECT_NE(DecoderDecode(decoder, whole.frame, picture.data(), 32, 16, &state), 0u);
    int passed = 0;
    for (int round = 0; round < 3000; round++) {
        std::vector<BYTE> frame = seeds[round % 2];
        int changes = 1 + (int)(random() % 4);
        for (int k = 0; k < changes; k++) frame[random() % frame.size()] = (BYTE)random();
        if (round % 3 == 0) frame.resize(1 + random() % (frame.size() - 1));  // 0 would mean "unknown"
        if (round & 1) Reseal(&frame);
        GuardedFrame guarded(frame);
        if (Verify(guarded.frame, (DWORD)frame.size()) != 0) continue;
        passed++;
        std::fill(picture.begin(), picture.end(), 0xEE);
        WORD w = (WORD)FrameRead16(guarded.frame + FRAME_WIDTH), h = (WORD)FrameRead16(guarded.frame + FRAME_HEIGHT);
        if ((DWORD)w * h * 3 > 32 * 16 * 3) continue;
        DecoderDecode(decoder, guarded.frame, picture.data(), w, h, &state);
        for (size_t i = (size_t)w * h * 3; i < picture.size(); i++) ASSERT_EQ(picture[i], 0xEE);
    }
    EXPECT_GT(passed, 0);  // some damage (inside pixel values) is no damage to the format
}

}  // namespace
