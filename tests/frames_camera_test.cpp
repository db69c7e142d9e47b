// The simulated camera's frames: header, window, light, and how the
// compression settings it was told shape the line data.
#include "decoder_support.h"

namespace {

uint32_t DataSize(const std::vector<BYTE>& frame) {
    return FrameRead32(&frame[FRAME_DATA_SIZE]);
}

TEST(CameraFrames, TheHeaderDescribesTheWindowAndTheCamera) {
    SimCamera camera = CameraFor(160, 120);
    std::vector<BYTE> frame = MakeFrame(camera, 77, 1);
    EXPECT_EQ(frame.size(), FRAME_HEADER_SIZE + 160u * 120 * 2 + FRAME_END_SIZE);
    EXPECT_EQ(frame[FRAME_STATUS], 1);
    EXPECT_EQ(frame[FRAME_FLAGS] & FRAME_FLAG_CIF, 0);  // 160 x 120 comes from the QCIF sensor
    EXPECT_EQ(FrameRead32(&frame[FRAME_NUMBER]), 77u);
    EXPECT_EQ(FrameRead16(&frame[FRAME_COL_START]), 8u);
    EXPECT_EQ(FrameRead16(&frame[FRAME_COL_END]), 168u);
    EXPECT_EQ(FrameRead16(&frame[FRAME_ROW_START]), 12u);
    EXPECT_EQ(FrameRead16(&frame[FRAME_ROW_END]), 132u);
    EXPECT_EQ(frame[FRAME_LIGHT_LEVEL], 128);
    EXPECT_EQ(FrameRead16(&frame[FRAME_EXPOSURE]), camera.coarseExposure);
    EXPECT_EQ(frame[FRAME_EXPOSURE_HALF], camera.coarseExposure / 2);
    // A long exposure saturates the byte the driver reads.
    camera.coarseExposure = 600;
    EXPECT_EQ(MakeFrame(camera, 78)[FRAME_EXPOSURE_HALF], 255);
    // The largest frame there can be fits the driver's upload buffers.
    EXPECT_LE(FRAME_MAX_SIZE, (uint32_t)GF_UPLOAD_BUFFER_SIZE);
}

TEST(CameraFrames, ThePictureFollowsTheLightLevel) {
    SimCamera camera = CameraFor(352, 288);
    camera.exposureMode = 3;  // fixed: half the light, half the level
    camera.light = 64;
    SimUpdateExposure(&camera);
    ASSERT_EQ(camera.registers[30], 64);
    std::vector<BYTE> frame = MakeFrame(camera, 1);
    const BYTE* white = &frame[FRAME_HEADER_SIZE + 20 * 352 * 2 + 10 * 2];  // bar 0, row 20
    EXPECT_EQ(white[0], 16 + (180 - 16) / 2);
    const BYTE* blue = &frame[FRAME_HEADER_SIZE + 20 * 352 * 2 + (6 * 44 + 10) * 2];
    EXPECT_EQ(blue[1], 128 + (212 - 128) / 2);  // colour fades toward grey too
}

TEST(CameraFrames, CompressionFollowsModeThresholdsAndTarget) {
    SimCamera camera = CameraFor(352, 288);
    uint32_t raw = DataSize(MakeFrame(camera, 5));
    EXPECT_EQ(raw, 352u * 288 * 2);
    // Manual: the thresholds as told; larger thresholds, fewer bytes.
    camera.compMode = 2;
    camera.yThreshold = camera.uvThreshold = 0;
    std::vector<BYTE> lossless = MakeFrame(camera, 5);
    EXPECT_EQ(lossless[FRAME_ENCODING], FRAME_COMPRESSED);
    EXPECT_LT(DataSize(lossless), raw / 3);  // only the ramp costs bytes
    camera.yThreshold = 20;
    camera.uvThreshold = 9;
    std::vector<BYTE> coarse = MakeFrame(camera, 5);
    EXPECT_EQ(coarse[FRAME_Y_THRESHOLD], 20);
    EXPECT_EQ(coarse[FRAME_UV_THRESHOLD], 9);
    EXPECT_LT(DataSize(coarse), DataSize(lossless));
    // Automatic without a target: the thresholds as told (the driver sends 6, 6).
    camera.compMode = 1;
    camera.frTargeting = 0;
    camera.yThreshold = camera.uvThreshold = 6;
    EXPECT_EQ(MakeFrame(camera, 5)[FRAME_Y_THRESHOLD], 6);
    // With a target: the quality sets them...
    camera.frTargeting = 1;
    camera.targetFR = 12;
    camera.targetQ = 16;
    std::vector<BYTE> targeted = MakeFrame(camera, 5);
    EXPECT_EQ(targeted[FRAME_Y_THRESHOLD], 2);
    EXPECT_EQ(targeted[FRAME_TARGET_Q], 16);
    // ...and a frame over its share of the link is coded again coarser.
    camera.targetFR = 255;  // 3921 bytes a frame
    std::vector<BYTE> squeezed = MakeFrame(camera, 5);
    EXPECT_EQ(squeezed[FRAME_Y_THRESHOLD], 16);  // doubled three times
    EXPECT_LT(DataSize(squeezed), DataSize(targeted));
    // Decimation halves a compressed frame's lines (and leaves raw ones whole).
    camera.compMode = 2;
    camera.yThreshold = camera.uvThreshold = 0;
    camera.decimation = 1;
    std::vector<BYTE> decimated = MakeFrame(camera, 5);
    EXPECT_EQ(decimated[FRAME_FLAGS] & FRAME_FLAG_DECIMATED, FRAME_FLAG_DECIMATED);
    EXPECT_NEAR(DataSize(decimated) * 2.0, DataSize(lossless), DataSize(lossless) * 0.05);
    camera.compMode = 0;
    EXPECT_EQ(DataSize(MakeFrame(camera, 5)), raw);
}

TEST(CameraFrames, ABufferTooSmallGetsTheFrameCutShort) {
    SimCamera camera = CameraFor(64, 48);
    std::vector<BYTE> whole = MakeFrame(camera, 4);
    std::vector<BYTE> cut(100);
    EXPECT_EQ(MakeCameraFrame(&camera, 0, 4, cut.data(), 100), 100u);
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), whole.begin()));
    // An empty window gives a header that no decoder accepts.
    camera.colEnd8 = camera.colStart8;
    std::vector<BYTE> empty = MakeFrame(camera, 5);
    EXPECT_EQ(empty.size(), (size_t)FRAME_HEADER_SIZE + FRAME_END_SIZE);
    ASSERT_EQ(StartDecoderLibrary(), 1);
    BYTE a[88], b[16] = {0};
    EXPECT_NE(DecoderVerify(empty.data(), a, b), 0u);
    EndDecoderLibrary();
}

}  // namespace
