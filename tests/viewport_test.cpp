// The viewport as attached to the simulated camera: its defaults and the
// compression parameters it sends.
#include "camera/viewport.h"
#include "device/camera_device.h"
#include "device/device.h"
#include "sim_support.h"

class ViewportCommands : public SimMachine {
protected:
    Viewport* viewport = nullptr;
    void SetUp() override {
        SimMachine::SetUp();
        OpenCamera();
        HighPower();
        viewport = CreateViewport();
        ASSERT_NE(viewport, nullptr);
        ASSERT_EQ(AttachViewport(viewport, link), 1);
        SimClearLog();
    }
    void TearDown() override {
        ReleaseViewport(viewport);
        SimMachine::TearDown();
    }
};

TEST_F(ViewportCommands, AttachSetsTheDefaultsAndTheCompressionParameters) {
    EXPECT_EQ((Ints{viewport->pending, viewport->videoSize, viewport->targetFR, viewport->targetQ, viewport->targetFps,
                    viewport->dirty}),
              (Ints{1, 1, 15, 5, 30, 0}));
    SimCamera camera = Camera();
    EXPECT_EQ(std::vector<BYTE>(camera.compressionParams, camera.compressionParams + 8),
              (std::vector<BYTE>{3, 9, 1, 3, 2, 5, 3, 2}));
}
