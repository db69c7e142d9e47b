// The device a channel open brought up: the compression parameters the
// open sent, what the compression settings record and the preset level they
// pick, and a viewport that failed.
#include "driver_support.h"

namespace {

class DeviceOperations : public DriverHost {
protected:
    CameraDevice* device = nullptr;
    Viewport* viewport = nullptr;

    void SetUp() override {
        DriverHost::SetUp();
        ASSERT_NO_FATAL_FAILURE(OpenVideoIn());
        device = SelectedDevice();
        viewport = device->viewport;
    }
};

TEST_F(DeviceOperations, AutomaticCompressionRecordsTheSettingsAndPicksThePresetLevel) {
    SimCamera camera = Camera();
    EXPECT_EQ(std::vector<BYTE>(camera.compressionParams, camera.compressionParams + 8),
              (std::vector<BYTE>{3, 9, 1, 3, 2, 5, 3, 2}))
        << "the viewport's parameters, sent when the open attached it";
    device->frameRateTarget = 15;
    // Preview mode: the preview level 1 counts, which is level 10.
    ASSERT_EQ(SetCompressionSettings(1, 0, 100, 1, 50), TRUE);
    EXPECT_EQ(CompressionNow(), (Compression{1, 0, 100, 1, 50}));
    EXPECT_EQ(viewport->compMode, 1);
    EXPECT_EQ(viewport->targetFR, 28) << "level 10";
    EXPECT_EQ(viewport->targetFps, 15) << "the frame-rate target goes with the preset";
    EXPECT_TRUE(viewport->dirty & VP_DIRTY_COMPRESSION);
    // Conference mode: the conference level 100 counts, which is level 1:
    // no compression at all.
    ASSERT_EQ(SetCompressionSettings(1, 1, 100, 1, 50), TRUE);
    EXPECT_EQ(device->videoConf, 1);
    EXPECT_EQ(viewport->compMode, 0);
    // The preview level, and the preset it picks (0: none, level 1).
    const struct {
        WORD value;
        BYTE targetFR;
    } levels[] = {{0, 28}, {10, 28}, {11, 28}, {45, 24}, {61, 16}, {81, 6}, {91, 0}};
    for (const auto& c : levels) {
        SetCompressionSettings(1, 0, 50, c.value, 50);
        if (c.targetFR) {
            EXPECT_EQ(viewport->targetFR, c.targetFR) << c.value;
        }
        EXPECT_EQ(viewport->compMode, c.targetFR ? 1 : 0) << c.value;
    }
}

// A camera out of high power fails the viewport's next apply; from then on
// it takes no window until it is attached again.
TEST_F(DeviceOperations, AViewportThatFailedTakesNoWindowUntilAttachedAgain) {
    ZELT_GotoLoPower(device->link);
    SetVideoSize(viewport, 0);
    SetWindow(viewport, 0, 176, 0, 144);
    EXPECT_EQ(ApplyViewportChanges(viewport), 0);
    EXPECT_EQ(viewport->failed, 1u);
    EXPECT_EQ(SetWindow(viewport, 8, 168, 0, 144), 0);
    ZELT_GotoHiPower(device->link);
    EXPECT_EQ(ApplyViewportChanges(viewport), 0) << "only a new attach clears the failure";
    ASSERT_EQ(AttachViewport(viewport, device->link), 1);
    EXPECT_EQ(viewport->failed, 0u);
}

}  // namespace
