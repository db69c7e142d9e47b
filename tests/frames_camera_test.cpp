// The simulated camera's frames: header and window, and a buffer
// too small for one.
#include "decoder_support.h"

namespace {

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
