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

TEST_F(DecoderCheck, TruncatedFramesAndStaleTailsAreRefused) {
    for (int compMode : {0, 2}) {
        SCOPED_TRACE(compMode ? "compressed" : "raw");
        std::vector<BYTE> frame = MakeFrame(CameraFor(176, 144, compMode), 20);
        DWORD whole = (DWORD)frame.size();
        for (DWORD cut : {1u, 63u, 64u, whole / 2, whole - 12, whole - 1})
            EXPECT_EQ(Check(std::vector<BYTE>(frame.begin(), frame.begin() + cut)), 4u) << "cut to " << cut;
        // An upload that stopped short over an older frame: the old end marker does not fit the new header.
        std::vector<BYTE> mixed = MakeFrame(CameraFor(176, 144, compMode), 19);
        size_t keep = compMode ? mixed.size() / 2 : 5000;
        if (mixed.size() == frame.size()) {
            std::copy(frame.begin(), frame.begin() + keep, mixed.begin());
            EXPECT_NE(Check(mixed), 0u);
        }
        // A byte damaged in the line data, a wrong end marker, a wrong number in it.
        // clang-format off
        const struct { DWORD at; BYTE flip; DWORD result; } damage[] = {
            {FRAME_HEADER_SIZE + 100, 0x01, 7}, {whole - FRAME_END_SIZE, 0xFF, 6},
            {whole - FRAME_END_SIZE + FRAME_END_NUMBER, 0x01, 6}};
        // clang-format on
        for (const auto& d : damage) {
            std::vector<BYTE> damaged = frame;
            damaged[d.at] ^= d.flip;
            EXPECT_EQ(Check(damaged), d.result) << "damage at " << d.at;
        }
    }
}

// A compressed frame of one 8-pixel line pair rebuilt around a token stream.
std::vector<BYTE> WithStream(const std::vector<BYTE>& tokens) {
    std::vector<BYTE> frame = MakeFrame(CameraFor(8, 4, 2), 1);
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
    // Four lines of four pairs each: one literal pair, repeated three times.
    std::vector<BYTE> good;
    for (int i = 0; i < 4; i++) good.insert(good.end(), {0x00, 16, 128, 16, 128, 0x82});
    EXPECT_EQ(Check(WithStream(good)), 0u);
    // clang-format off
    const struct { const char* what; size_t at; int value /* -1: the stream ends there */; } cases[] = {
        {"the last line repeats one pair too many", 23, 0x83}, {"a line that starts by repeating", 0, 0x80},
        {"the last line's literal claims more pairs than the data has", 18, 0x05},
        {"a token left over", 24, 0x80}, {"a stream cut short", 23, -1},
    };
    // clang-format on
    for (const auto& c : cases) {
        std::vector<BYTE> tokens = good;
        tokens.resize(c.value < 0 ? c.at : std::max(tokens.size(), c.at + 1));
        if (c.value >= 0) tokens[c.at] = (BYTE)c.value;
        EXPECT_EQ(Check(WithStream(tokens)), 8u) << c.what;
    }
    std::vector<BYTE> literalPast = good;
    literalPast[18] = 0x05;
    // The decoder refuses what the check refuses, writing nothing past the picture.
    DWORD decoder = DecoderOpen(0, 24), state = 0;
    std::vector<BYTE> picture(8 * 4 * 3 + 16, 0xEE);
    GuardedFrame bad(WithStream(literalPast)), fine(WithStream(good));
    EXPECT_NE(DecoderDecode(decoder, bad.frame, picture.data(), 8, 4, &state), 0u);
    EXPECT_EQ(std::vector<DWORD>({DecoderDecode(decoder, fine.frame, picture.data(), 8, 4, &state), state}),
              std::vector<DWORD>({0, 1}));  // the frame's number
    EXPECT_EQ(std::vector<BYTE>(picture.begin() + 8 * 4 * 3, picture.end()), std::vector<BYTE>(16, 0xEE));
}

TEST_F(DecoderCheck, DecodingRefusesASizeOrDecoderNotTheFrames) {
    std::vector<BYTE> frame = MakeFrame(CameraFor(176, 144), 2), picture(352 * 288 * 3);
    DWORD state = 0, rgb = DecoderOpen(0, 24);
    // clang-format off
    const struct { DWORD decoder; WORD width, height; } refused[] = {
        {rgb, 160, 144}, {rgb, 176, 120}, {0, 176, 144}, {12345, 176, 144}};
    // clang-format on
    EXPECT_EQ(DecoderDecode(rgb, frame.data(), picture.data(), 176, 144, &state), 0u);
    for (const auto& r : refused)
        EXPECT_NE(DecoderDecode(r.decoder, frame.data(), picture.data(), r.width, r.height, &state), 0u)
            << r.decoder << " " << r.width << "x" << r.height;
    // Formats the library has no decoder for.
    const std::pair<DWORD, DWORD> none[] = {{0, 32}, {0, 4}, {FOURCC_PSHU, 8}, {FOURCC_CODE('M', 'J', 'P', 'G'), 24}};
    for (const auto& f : none) EXPECT_LE(DecoderOpen(f.first, f.second), 1u) << f.first << " " << f.second;
    EXPECT_GT(DecoderOpen(FOURCC_IYUV, 12), 1u);
}

// A decode right after the check does not sum the frame again; a buffer refilled since is checked in full.
TEST_F(DecoderCheck, ADecodeAfterTheCheckStillCatchesAFrameChangedSince) {
    std::vector<BYTE> first = MakeFrame(CameraFor(176, 144), 5), second = MakeFrame(CameraFor(176, 144), 6);
    std::vector<BYTE> buffer(FRAME_MAX_SIZE), picture(176 * 144 * 3);
    DWORD state = 0, rgb = DecoderOpen(0, 24);
    auto decode = [&] { return DecoderDecode(rgb, buffer.data(), picture.data(), 176, 144, &state); };
    memcpy(buffer.data(), first.data(), first.size());
    ASSERT_EQ(Verify(buffer.data(), FRAME_MAX_SIZE), 0u);
    EXPECT_EQ(std::vector<DWORD>({decode(), state}), std::vector<DWORD>({0, 5}));
    // The next frame lands in the same buffer with a byte lost on the way; whole again, it decodes.
    memcpy(buffer.data(), second.data(), second.size());
    buffer[FRAME_HEADER_SIZE + 1000] ^= 0x10;
    EXPECT_EQ(std::vector<DWORD>({decode() != 0, Verify(buffer.data(), FRAME_MAX_SIZE), decode() != 0,
                                  (buffer[FRAME_HEADER_SIZE + 1000] ^= 0x10, decode()), state}),
              std::vector<DWORD>({1, 7, 1, 0, 6}));
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
