// The decoder's frame check: every malformed frame is refused, and no
// check or decode reads a byte past the frame it was given (frames sit
// right before a page that cannot be read).
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

// Check result and record A for a frame of which `available` bytes can be read.
DWORD Check(const std::vector<BYTE>& bytes, DWORD available, BYTE* recordA = nullptr) {
    GuardedFrame guarded(bytes);
    BYTE a[88], b[16];
    memset(a, 0, sizeof a);
    memset(b, 0, sizeof b);
    memcpy(b, &available, 4);
    DWORD result = DecoderVerify(guarded.frame, a, b);
    if (recordA) memcpy(recordA, a, sizeof a);
    return result;
}

DWORD Check(const std::vector<BYTE>& bytes) {
    return Check(bytes, (DWORD)bytes.size());
}

class DecoderCheck : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(StartDecoderLibrary(), 1); }
    void TearDown() override { EndDecoderLibrary(); }
};

TEST_F(DecoderCheck, AGoodFrameReportsItselfAndMalformedHeadersAreRefused) {
    BYTE a[88];
    std::vector<BYTE> window = MakeFrame(CameraFor(320, 240), 12, 1);
    EXPECT_EQ(Check(window, (DWORD)window.size(), a), 0u);
    EXPECT_EQ(a[0], 1);                                        // the status byte
    EXPECT_EQ(FrameRead16(a + 8) - FrameRead16(a + 6), 640u);  // a line in bytes, from column 16
    EXPECT_EQ(FrameRead16(a + 6), 32u);
    EXPECT_EQ(FrameRead16(a + 12) - FrameRead16(a + 10), 240u);
    EXPECT_EQ(Check(window, 0), 0u);  // no size from the caller: as far as the frame says

    std::vector<BYTE> good = MakeFrame(CameraFor(176, 144), 3);
    struct Case {
        const char* what;
        int offset;
        int value;  // -1: flip the byte
        bool reseal;
        DWORD result;
    };
    const Case cases[] = {
        {"status byte 2", FRAME_STATUS, 2, true, 2},
        {"status byte 0xFF", FRAME_STATUS, 0xFF, true, 2},
        {"header sum", FRAME_HEADER_SUM, -1, false, 1},
        {"magic", FRAME_MAGIC, 0, true, 1},
        {"version", FRAME_VERSION, 2, true, 1},
        {"encoding", FRAME_ENCODING, 2, true, 1},
        {"unknown flag", FRAME_FLAGS, 0x80 | FRAME_FLAG_CIF, true, 1},
        {"decimated raw frame", FRAME_FLAGS, FRAME_FLAG_DECIMATED, true, 1},
        {"sub-sampling", FRAME_SUBSAMPLE, 2, true, 1},
        {"byte order", FRAME_YUV_ORDER, 4, true, 1},
        {"width not the window", FRAME_WIDTH, 168, true, 3},
        {"height not the window", FRAME_HEIGHT, 140, true, 3},
        {"window past a QCIF sensor", FRAME_COL_END, 184, true, 3},
        {"empty window", FRAME_ROW_END, 0, true, 3},
        {"data size", FRAME_DATA_SIZE, 0x10, true, 3},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> frame = good;
        frame[c.offset] = c.value < 0 ? (BYTE)~frame[c.offset] : (BYTE)c.value;
        if (c.reseal) Reseal(&frame);
        EXPECT_EQ(Check(frame), c.result) << c.what;
    }
    // A width that is no multiple of 8, though window and width agree.
    std::vector<BYTE> frame = good;
    FrameWrite16(&frame[FRAME_COL_END], 172);
    FrameWrite16(&frame[FRAME_WIDTH], 172);
    Reseal(&frame);
    EXPECT_EQ(Check(frame), 3u);
}

TEST_F(DecoderCheck, TruncatedFramesAndStaleTailsAreRefused) {
    for (int compMode : {0, 2}) {
        std::vector<BYTE> frame = MakeFrame(CameraFor(176, 144, compMode), 20);
        DWORD whole = (DWORD)frame.size();
        for (DWORD cut : {1u, 63u, 64u, whole / 2, whole - 12, whole - 1}) {
            std::vector<BYTE> shorter(frame.begin(), frame.begin() + cut);
            EXPECT_EQ(Check(shorter), 4u) << "cut to " << cut;
        }
        // An upload that stopped short, over an older frame of the same
        // size: the old frame's end marker does not fit the new header.
        std::vector<BYTE> older = MakeFrame(CameraFor(176, 144, compMode), 19);
        std::vector<BYTE> mixed = frame;
        size_t keep = compMode ? mixed.size() / 2 : 5000;
        if (older.size() == mixed.size()) {
            std::copy(older.begin() + keep, older.end(), mixed.begin() + keep);
            EXPECT_NE(Check(mixed), 0u);
        }
        // A byte damaged in the line data, and a wrong end marker.
        std::vector<BYTE> damaged = frame;
        damaged[FRAME_HEADER_SIZE + 100] ^= 0x01;
        EXPECT_EQ(Check(damaged), 7u);
        std::vector<BYTE> end = frame;
        end[whole - FRAME_END_SIZE] ^= 0xFF;
        EXPECT_EQ(Check(end), 6u);
        std::vector<BYTE> number = frame;
        number[whole - FRAME_END_SIZE + FRAME_END_NUMBER] ^= 0x01;
        EXPECT_EQ(Check(number), 6u);
    }
}

// A compressed frame of one 8-pixel line pair rebuilt around a token stream.
std::vector<BYTE> WithStream(const std::vector<BYTE>& tokens) {
    SimCamera camera = CameraFor(8, 4, 2);
    std::vector<BYTE> frame = MakeFrame(camera, 1);
    frame.resize(FRAME_HEADER_SIZE);
    frame.insert(frame.end(), tokens.begin(), tokens.end());
    FrameWrite32(&frame[FRAME_DATA_SIZE], (uint32_t)tokens.size());
    BYTE end[FRAME_END_SIZE] = {FRAME_END_MAGIC_0, FRAME_END_MAGIC_1, FRAME_END_MAGIC_2, FRAME_END_MAGIC_3};
    FrameWrite32(end + FRAME_END_NUMBER, 1);
    frame.insert(frame.end(), end, end + FRAME_END_SIZE);
    Reseal(&frame);
    return frame;
}

TEST_F(DecoderCheck, CompressedStreamsMustGiveExactlyThePicture) {
    // Four lines of four pairs each.
    std::vector<BYTE> line = {0x00, 16, 128, 16, 128, 0x82};  // one literal pair, repeated three times
    std::vector<BYTE> good;
    for (int i = 0; i < 4; i++) good.insert(good.end(), line.begin(), line.end());
    EXPECT_EQ(Check(WithStream(good)), 0u);

    std::vector<BYTE> overrun = good;
    overrun.back() = 0x83;  // the last line repeats one pair too many
    EXPECT_EQ(Check(WithStream(overrun)), 8u);
    std::vector<BYTE> repeatFirst = good;
    repeatFirst[0] = 0x80;  // a line that starts by repeating
    EXPECT_EQ(Check(WithStream(repeatFirst)), 8u);
    std::vector<BYTE> literalPast = good;
    literalPast[18] = 0x05;  // the last line's literal claims more pairs than the data has
    EXPECT_EQ(Check(WithStream(literalPast)), 8u);
    std::vector<BYTE> leftOver = good;
    leftOver.push_back(0x80);
    EXPECT_EQ(Check(WithStream(leftOver)), 8u);
    std::vector<BYTE> shortStream(good.begin(), good.end() - 1);
    EXPECT_EQ(Check(WithStream(shortStream)), 8u);
    // The decoder refuses what the check refuses, writing nothing past the picture.
    DWORD decoder = DecoderOpen(0, 24);
    std::vector<BYTE> picture(8 * 4 * 3 + 16, 0xEE);
    DWORD state = 0;
    GuardedFrame bad(WithStream(literalPast));
    EXPECT_NE(DecoderDecode(decoder, bad.frame, picture.data(), 8, 4, &state), 0u);
    GuardedFrame fine(WithStream(good));
    EXPECT_EQ(DecoderDecode(decoder, fine.frame, picture.data(), 8, 4, &state), 0u);
    EXPECT_EQ(state, 1u);  // the frame number decoded
    for (size_t i = 8 * 4 * 3; i < picture.size(); i++) EXPECT_EQ(picture[i], 0xEE);
}

TEST_F(DecoderCheck, DecodingRefusesASizeOrDecoderNotTheFrames) {
    std::vector<BYTE> frame = MakeFrame(CameraFor(176, 144), 2);
    std::vector<BYTE> picture(352 * 288 * 3);
    DWORD state = 0;
    DWORD rgb = DecoderOpen(0, 24);
    EXPECT_EQ(DecoderDecode(rgb, frame.data(), picture.data(), 176, 144, &state), 0u);
    EXPECT_NE(DecoderDecode(rgb, frame.data(), picture.data(), 160, 144, &state), 0u);
    EXPECT_NE(DecoderDecode(rgb, frame.data(), picture.data(), 176, 120, &state), 0u);
    EXPECT_NE(DecoderDecode(0, frame.data(), picture.data(), 176, 144, &state), 0u);
    EXPECT_NE(DecoderDecode(12345, frame.data(), picture.data(), 176, 144, &state), 0u);
    // Formats the library has no decoder for.
    EXPECT_LE(DecoderOpen(0, 32), 1u);
    EXPECT_LE(DecoderOpen(0, 4), 1u);
    EXPECT_LE(DecoderOpen(FOURCC_PSHU, 8), 1u);
    EXPECT_LE(DecoderOpen(FOURCC_CODE('M', 'J', 'P', 'G'), 24), 1u);
    EXPECT_GT(DecoderOpen(FOURCC_IYUV, 12), 1u);
}

// The driver checks a frame and then decodes it from the same buffer, and
// the decode does not sum the frame a second time; but a buffer refilled
// since the check is a different frame and is checked again in full.
TEST_F(DecoderCheck, ADecodeAfterTheCheckStillCatchesAFrameChangedSince) {
    std::vector<BYTE> first = MakeFrame(CameraFor(176, 144), 5);
    std::vector<BYTE> second = MakeFrame(CameraFor(176, 144), 6);
    std::vector<BYTE> buffer(FRAME_MAX_SIZE);
    std::vector<BYTE> picture(176 * 144 * 3);
    BYTE a[88], b[16] = {0};
    DWORD size = (DWORD)buffer.size(), state = 0, rgb = DecoderOpen(0, 24);
    memcpy(b, &size, 4);
    memcpy(buffer.data(), first.data(), first.size());
    ASSERT_EQ(DecoderVerify(buffer.data(), a, b), 0u);
    EXPECT_EQ(DecoderDecode(rgb, buffer.data(), picture.data(), 176, 144, &state), 0u);
    EXPECT_EQ(state, 5u);
    // The next frame lands in the same buffer with a byte lost on the way.
    memcpy(buffer.data(), second.data(), second.size());
    buffer[FRAME_HEADER_SIZE + 1000] ^= 0x10;
    EXPECT_NE(DecoderDecode(rgb, buffer.data(), picture.data(), 176, 144, &state), 0u);
    EXPECT_EQ(DecoderVerify(buffer.data(), a, b), 7u);
    EXPECT_NE(DecoderDecode(rgb, buffer.data(), picture.data(), 176, 144, &state), 0u);
    // Whole again: it decodes, checked or not.
    buffer[FRAME_HEADER_SIZE + 1000] ^= 0x10;
    EXPECT_EQ(DecoderDecode(rgb, buffer.data(), picture.data(), 176, 144, &state), 0u);
    EXPECT_EQ(state, 6u);
}

TEST_F(DecoderCheck, RandomDamageNeverReadsPastTheFrame) {
    // Frames with random bytes changed, header resealed half the time so
    // that the damage reaches the deeper checks; whatever passes the check
    // decodes without touching anything but its picture.
    std::mt19937 random(2026);
    std::vector<std::vector<BYTE>> seeds = {MakeFrame(CameraFor(32, 16, 2, 4), 8), MakeFrame(CameraFor(16, 8), 9)};
    std::vector<BYTE> picture(32 * 16 * 3 + 32);
    // Decoding keeps to the bound the check was given for the same frame.
    GuardedFrame whole(seeds[0]);
    BYTE a[88], b[16] = {0};
    DWORD shorter = (DWORD)seeds[0].size() - 1;
    memcpy(b, &shorter, 4);
    EXPECT_EQ(DecoderVerify(whole.frame, a, b), 4u);
    DWORD state = 0;
    EXPECT_NE(DecoderDecode(DecoderOpen(0, 24), whole.frame, picture.data(), 32, 16, &state), 0u);
    DWORD decoder = DecoderOpen(0, 24);
    int passed = 0;
    for (int round = 0; round < 3000; round++) {
        std::vector<BYTE> frame = seeds[round % 2];
        int changes = 1 + (int)(random() % 4);
        for (int k = 0; k < changes; k++) frame[random() % frame.size()] = (BYTE)random();
        if (round % 3 == 0) frame.resize(1 + random() % (frame.size() - 1));  // 0 would mean "unknown"
        if (round & 1) Reseal(&frame);
        GuardedFrame guarded(frame);
        BYTE a[88], b[16] = {0};
        DWORD size = (DWORD)frame.size();
        memcpy(b, &size, 4);
        if (DecoderVerify(guarded.frame, a, b) != 0) continue;
        passed++;
        std::fill(picture.begin(), picture.end(), 0xEE);
        WORD w = (WORD)FrameRead16(guarded.frame + FRAME_WIDTH), h = (WORD)FrameRead16(guarded.frame + FRAME_HEIGHT);
        if ((DWORD)w * h * 3 > 32 * 16 * 3) continue;
        DWORD state = 0;
        DecoderDecode(decoder, guarded.frame, picture.data(), w, h, &state);
        for (size_t i = (size_t)w * h * 3; i < picture.size(); i++) ASSERT_EQ(picture[i], 0xEE);
    }
    EXPECT_GT(passed, 0);  // some damage (inside pixel values) is no damage to the format
}

}  // namespace
