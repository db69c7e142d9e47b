// Decoded pictures of the simulated scene in every output format, and the doubling.
#include <stdlib.h>

#include <random>

#include "decoder_support.h"

namespace {

class DecoderPictures : public ::testing::Test {
protected:
    std::vector<BYTE> palette;
    void SetUp() override {
        ASSERT_EQ(StartDecoderLibrary(), 1) << "mbkdec32 did not load";
        WORD size[2] = {0, 0};
        DecoderGetPalette(size, nullptr);
        palette.assign(size[0], 0);
        DecoderGetPalette(size, palette.data());
    }
    void TearDown() override { EndDecoderLibrary(); }

    // Into a picture just large enough, with a guard after it that must stay untouched.
    std::vector<BYTE> Decode(const OutputFormat& f, const std::vector<BYTE>& frame, int width, int height) {
        LONG size = ImageSizeFor(f.compression == FOURCC_IYUV ? FOURCC_I420 : f.compression, f.bitCount, width, height);
        std::vector<BYTE> picture(size + 64, 0xEE);
        DWORD decoder = DecoderOpen(f.compression, f.bitCount);
        EXPECT_GT(decoder, 1u) << f.name;
        DWORD state = 0;
        EXPECT_EQ(DecoderDecode(decoder, frame.data(), picture.data(), (WORD)width, (WORD)height, &state), 0u)
            << f.name;
        EXPECT_EQ(std::vector<BYTE>(picture.begin() + size, picture.end()), std::vector<BYTE>(64, 0xEE))
            << f.name << " wrote past its picture of " << size << " bytes";
        picture.resize(size);
        return picture;
    }
};

TEST_F(DecoderPictures, EveryWidthAndEveryHeightDecodesInEveryFormat) {
    // Every valid width and height, on either sensor: each picture exactly fills its size.
    std::vector<std::pair<int, int>> sizes;
    for (int w = 8; w <= 352; w += 8) sizes.push_back({w, 36});
    for (int h = 4; h <= 288; h += 4) sizes.push_back({40, h});
    for (auto [width, height] : sizes) {
        SimCamera camera = CameraFor(width, height, width % 16 ? 2 : 0);
        std::vector<BYTE> frame = MakeFrame(camera, 3);
        for (const OutputFormat& f : AllOutputFormats()) {
            std::vector<BYTE> picture = Decode(f, frame, width, height);
            std::string first;
            ASSERT_EQ(ComparePicture(f, picture.data(), camera, 3, width, height, 0, palette.data(), &first), 0)
                << f.name << " " << width << "x" << height << " " << first;
        }
    }
}

TEST_F(DecoderPictures, DoublingMakesEachPixelATwoByTwoBlockInPlace) {
    SimCamera camera = CameraFor(352, 288);
    std::vector<BYTE> small = Decode(AllOutputFormats()[0], MakeFrame(camera, 5), 352, 288);
    std::vector<BYTE> big(704 * 576 * 3 + 16, 0xEE);
    memcpy(big.data(), small.data(), small.size());
    DecoderDouble(big.data(), 288, 352);
    std::vector<BYTE> want(big.size(), 0xEE);
    for (int y = 0; y < 576; y++)
        for (int x = 0; x < 704; x++) memcpy(&want[(y * 704 + x) * 3], &small[(y / 2 * 352 + x / 2) * 3], 3);
    EXPECT_TRUE(big == want);
    // A size the library cannot have made is left alone.
    std::vector<BYTE> odd(64, 0x11);
    DecoderDouble(odd.data(), 400, 8);
    DecoderDouble(odd.data(), 0, 8);
    EXPECT_EQ(odd, std::vector<BYTE>(64, 0x11));
}

TEST_F(DecoderPictures, TheApplicationsPaletteTakesOverEightBitOutput) {
    // The default: 256 entries, the 6 x 6 x 6 cube's last two, then the grey ramp from black.
    ASSERT_EQ(palette.size(), 4u + 256 * 4);
    EXPECT_EQ(std::vector<BYTE>(palette.begin(), palette.begin() + 4), (std::vector<BYTE>{0x00, 0x03, 0x00, 0x01}));
    EXPECT_EQ(std::vector<BYTE>(palette.begin() + 4 + 4 * 214, palette.begin() + 4 + 4 * 217),
              (std::vector<BYTE>{255, 255, 204, 0, 255, 255, 255, 0, 0, 0, 0, 0}));
    // Two entries, white and black: the bars split by their brightness.
    BYTE twoColours[4 + 8] = {0x00, 0x03, 2, 0, 255, 255, 255, 0, 0, 0, 0, 0};
    DecoderSetPalette(twoColours);
    WORD size[2] = {0, 0};
    DecoderGetPalette(size, nullptr);
    EXPECT_EQ(size[0], 12);
    SimCamera camera = CameraFor(352, 288);
    OutputFormat rgb8 = {"rgb8", 0, 8};
    std::vector<BYTE> picture = Decode(rgb8, MakeFrame(camera, 1), 352, 288);
    EXPECT_EQ(picture[(287 - 20) * 352 + 22], 0);           // white bar: white
    EXPECT_EQ(picture[(287 - 20) * 352 + 7 * 44 + 22], 1);  // black bar: black
    // Not a palette (wrong version, no entries, too many): nothing changes.
    BYTE wrong[4 + 8] = {0x00, 0x02, 2, 0};
    BYTE none[4] = {0x00, 0x03, 0, 0};
    BYTE tooMany[4] = {0x00, 0x03, 0x01, 0x01};
    for (BYTE* p : {wrong, none, tooMany}) DecoderSetPalette(p);
    DecoderGetPalette(size, nullptr);
    EXPECT_EQ(size[0], 12);
    DecoderSetPalette(palette.data());  // the default back
    DecoderGetPalette(size, nullptr);
    EXPECT_EQ(size[0], 4 + 256 * 4);
}

// TARN2_DECODER_SIMD caps the instruction set: each path is compared byte for byte with the plain loops, on
// widths leaving every kind of partial group and random bytes driving each colour past both ends.
TEST_F(DecoderPictures, EveryInstructionSetGivesTheSameBytes) {
    struct Case {
        std::vector<BYTE> frame;
        int width, height;
    };
    std::vector<Case> cases;
    std::mt19937 random(11);
    for (uint8_t order = 0; order < FRAME_ORDER_COUNT; order++)
        for (int width : {8, 24, 40, 168, 344, 352}) {
            SimCamera camera = CameraFor(width, 8, 2, 6);
            camera.yuvOrder = order;
            cases.push_back({MakeFrame(camera, 4), width, 8});
            camera.compMode = 0;
            cases.push_back({MakeFrame(camera, 4), width, 8});
            std::vector<BYTE> noise = MakeFrame(camera, 4);
            for (size_t i = FRAME_HEADER_SIZE; i + FRAME_END_SIZE < noise.size(); i++) noise[i] = (BYTE)random();
            Reseal(&noise);
            cases.push_back({noise, width, 8});
        }
    SimCamera decimated = CameraFor(352, 288, 2, 6);
    decimated.decimation = 1;
    cases.push_back({MakeFrame(decimated, 7), 352, 288});

    auto decodeAll = [&](const char* level) {
        EndDecoderLibrary();
        setenv("TARN2_DECODER_SIMD", level, 1);
        EXPECT_EQ(StartDecoderLibrary(), 1);
        std::vector<std::vector<BYTE>> pictures;
        for (const Case& c : cases)
            for (const OutputFormat& f : AllOutputFormats()) pictures.push_back(Decode(f, c.frame, c.width, c.height));
        return pictures;
    };
    std::vector<std::vector<BYTE>> plain = decodeAll("c");
    for (const char* level : {"sse2", "avx2"}) {
        std::vector<std::vector<BYTE>> pictures = decodeAll(level);
        ASSERT_EQ(pictures.size(), plain.size());
        for (size_t i = 0; i < plain.size(); i++) {
            const Case& c = cases[i / AllOutputFormats().size()];
            EXPECT_TRUE(pictures[i] == plain[i])
                << level << " " << AllOutputFormats()[i % AllOutputFormats().size()].name << " " << c.width << "x"
                << c.height << " order " << (int)c.frame[FRAME_YUV_ORDER] << " encoding "
                << (int)c.frame[FRAME_ENCODING];
        }
    }
    unsetenv("TARN2_DECODER_SIMD");
    EndDecoderLibrary();
    StartDecoderLibrary();
}

}  // namespace
