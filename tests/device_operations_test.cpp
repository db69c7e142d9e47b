// The device operations on the device a channel open brought up: what they
// record, what they stage for the camera and when it gets it, and how they
// fail without a device or without a camera that answers.
#include "driver_support.h"

namespace {

class DeviceOperations : public DriverHost {
protected:
    CameraDevice* device = nullptr;
    CameraState* state = nullptr;
    Viewport* viewport = nullptr;
    FrameGrabber* grabber = nullptr;

    void SetUp() override {
        DriverHost::SetUp();
        ASSERT_NO_FATAL_FAILURE(OpenVideoIn());
        device = SelectedDevice();
        state = device->cameraState;
        viewport = device->viewport;
        grabber = device->frameGrabber;
    }
};

TEST_F(DeviceOperations, AutomaticCompressionRecordsTheSettingsAndPicksThePresetLevel) {
    device->frameRateTarget = 15;
    // Preview mode: the preview level 1 counts, which is level 10.
    ASSERT_EQ(SetCompressionSettings(1, 0, 100, 1, 50), TRUE);
    EXPECT_EQ(device->compressionMode, 1);
    EXPECT_EQ(device->videoConf, 0);
    EXPECT_EQ(device->videoConfVal, 100);
    EXPECT_EQ(device->videoCapVal, 1);
    EXPECT_EQ(device->compressionQuality, 50);
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

TEST_F(DeviceOperations, FixedQualityIsClampedAndBecomesTheThresholds) {
    ASSERT_EQ(SetCompressionSettings(2, 0, 50, 50, 150), TRUE);
    EXPECT_EQ(device->compressionQuality, 100);
    EXPECT_EQ(viewport->compMode, 2);
    EXPECT_EQ(viewport->yThreshold, 0);
    EXPECT_EQ(viewport->uvThreshold, 0);
    const struct {
        LONG quality;
        WORD recorded;
        BYTE y, uv;
    } cases[] = {{50, 50, 16, 8}, {0, 0, 32, 16}, {-7, 0, 32, 16}, {99, 99, 0, 0}, {1000, 100, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(SetCompressionQuality(c.quality), TRUE);
        EXPECT_EQ(device->compressionQuality, c.recorded) << c.quality;
        EXPECT_EQ(viewport->yThreshold, c.y) << c.quality;
        EXPECT_EQ(viewport->uvThreshold, c.uv) << c.quality;
    }
    LONG mode = -1, videoConf = -1;
    WORD conf = 0, cap = 0, quality = 0;
    GetCompressionSettings(&mode, &videoConf, &conf, &cap, &quality);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(videoConf, 0);
    EXPECT_EQ(conf, 50);
    EXPECT_EQ(cap, 50);
    EXPECT_EQ(quality, 100);
}

TEST_F(DeviceOperations, CompressionIsStagedUntilTheNextFrameAndOnlyAChangeOfModeResynchronises) {
    ASSERT_EQ(Frame(videoIn), DV_ERR_OK);
    BYTE before = Camera().compMode;
    grabber->resync = 0;
    ASSERT_EQ(SetCompressionSettings(2, 0, 50, 50, 100), TRUE);
    EXPECT_EQ(Camera().compMode, before);
    EXPECT_EQ(grabber->resync, 1u);
    EXPECT_EQ(grabber->compressed, 1u) << "compressed frames decode through the decode buffer";
    // A change of mode resynchronises: one frame goes uncompressed first.
    ASSERT_EQ(Frame(videoIn), DV_ERR_OK);
    ASSERT_EQ(Frame(videoIn), DV_ERR_OK);
    EXPECT_EQ(Camera().compMode, 2);
    EXPECT_EQ(Camera().yThreshold, 0);
    grabber->resync = 0;
    SetCompressionSettings(2, 1, 40, 50, 50);
    EXPECT_EQ(grabber->resync, 0u);
    SetCompressionSettings(0, 0, 50, 50, 50);
    EXPECT_EQ(grabber->resync, 1u);
    EXPECT_EQ(grabber->compressed, 0u) << "uncompressed frames decode straight into the application's buffer";
    EXPECT_EQ(viewport->compMode, 0);
    ASSERT_EQ(Frame(videoIn), DV_ERR_OK);
    EXPECT_EQ(Camera().compMode, 0);
}

TEST_F(DeviceOperations, TheFrameRateTargetReRunsOnlyAutomaticCompression) {
    SetCompressionSettings(2, 0, 50, 50, 50);
    DWORD dirty = viewport->dirty;
    WORD fps = viewport->targetFps;
    EXPECT_EQ(SetFrameRateTarget(8), TRUE);
    EXPECT_EQ(GetFrameRateTarget(), 8);
    EXPECT_EQ(viewport->dirty, dirty);
    EXPECT_EQ(viewport->targetFps, fps);
    EXPECT_EQ(device->compressionMode, 2);
    SetCompressionSettings(1, 0, 50, 30, 50);
    EXPECT_EQ(SetFrameRateTarget(12), TRUE);
    EXPECT_EQ(viewport->targetFps, 12);
    EXPECT_EQ(device->videoCapVal, 30) << "re-run with the recorded settings";
}

TEST_F(DeviceOperations, TheFrameRateAndItsPeriodReachTheCamera) {
    // The load left automatic frame rate on: the first call changes only
    // the flag, the second the step.
    DWORD step = 0, automatic = 1;
    WORD period = 0;
    EXPECT_EQ(SetFrameRate(3, 0), TRUE);
    GetFrameRate(&step, &automatic, &period);
    EXPECT_EQ(step, 1u);
    EXPECT_EQ(automatic, 0u);
    EXPECT_EQ(SetFrameRate(3, 0), TRUE);
    GetFrameRate(&step, &automatic, &period);
    EXPECT_EQ(step, 3u);
    EXPECT_EQ(period, 66);
    EXPECT_EQ(Camera().divisorExponent, 1);
    EXPECT_EQ(Camera().baseRate, 1);
    // The period follows the step and is never zero.
    const struct {
        DWORD step;
        WORD period;
    } cases[] = {{1, 33}, {2, 40}, {3, 66}, {4, 80}, {5, 133}, {0, 33}, {9, 33}};
    for (const auto& c : cases) {
        state->frameRate = c.step;
        automatic = 7;
        EXPECT_EQ(GetFrameRate(&step, &automatic, &period), TRUE);
        EXPECT_EQ(period, c.period) << c.step;
        EXPECT_EQ(automatic, state->autoFrameRate);
    }
    EXPECT_EQ(GetFrameRate(nullptr, nullptr, nullptr), TRUE);
}

TEST_F(DeviceOperations, LightColourAndDecimationReachTheCameraOrTheViewport) {
    EXPECT_EQ(SetFrameRate(3, 0), TRUE);
    EXPECT_EQ(SetFrameRate(3, 0), TRUE);
    EXPECT_EQ(SetMainsFrequency(0), TRUE);
    EXPECT_EQ(SetBanding(1), TRUE);
    EXPECT_EQ(Camera().flickerMode, 1);
    EXPECT_EQ(Camera().flickerPeriod, 46) << "15 frames/s on 50 Hz mains";
    EXPECT_EQ(SetBanding(0), TRUE);
    EXPECT_EQ(Camera().flickerMode, 0);

    EXPECT_EQ(SetColourParams(60, 50, 40), 0);
    EXPECT_EQ(Camera().brightness, 60);
    EXPECT_EQ(Camera().colour, 40);
    DWORD b = 0, c = 0, col = 0;
    EXPECT_EQ(GetColourParams(&b, &c, &col), 0);
    EXPECT_EQ(b, 60u);
    EXPECT_EQ(c, 50u);
    EXPECT_EQ(col, 40u);

    BYTE weight = Camera().centreWeight;
    EXPECT_EQ(SetBacklight(weight == 1 ? 0 : 1), TRUE);
    EXPECT_NE(Camera().centreWeight, weight);

    viewport->dirty = 0;
    EXPECT_EQ(SetDecimationFlag(1), 1);
    EXPECT_EQ(GetDecimationFlag(), TRUE);
    EXPECT_TRUE(viewport->dirty & VP_DIRTY_COMPRESSION);
    EXPECT_EQ(SetDecimationFlag(0), 1);
    EXPECT_EQ(GetDecimationFlag(), FALSE);
}

// The private message pauses (d0 0) and resumes (anything else) pipelined
// uploads, which resume only on a fast port.
TEST_F(DeviceOperations, PausingStopsPipeliningWhichResumesOnlyOnAFastPort) {
    Write(0x25, 0);
    EXPECT_EQ(grabber->pipelining, 0u);
    Write(0x25, 0x2A);
    EXPECT_EQ(grabber->pipelining, 0u) << "LPT1 of type 0x57 is not fast";
    CloseVideoIn();
    ASSERT_EQ(SimSetScenario("port 1 type 0x77 camera"), 1);
    OpenVideoIn();
    grabber = SelectedDevice()->frameGrabber;
    EXPECT_EQ(grabber->pipelining, 1u);
    Write(0x25, 0);
    EXPECT_EQ(grabber->pipelining, 0u);
    Write(0x25, 0x2A);
    EXPECT_EQ(grabber->pipelining, 1u);
}

TEST_F(DeviceOperations, WithoutADeviceEveryOperationAndMessageFailsAndTouchesNothing) {
    SetCompressionSettings(2, 0, 50, 50, 50);
    SetBanding(0);
    EnableTARNDevices();
    EXPECT_EQ(PauseFrameGrabbing(1), FALSE);
    EXPECT_EQ(SetCompressionSettings(1, 0, 50, 50, 50), FALSE);
    EXPECT_EQ(SetCompressionQuality(50), FALSE);
    LONG mode = 7;
    WORD quality = 7;
    GetCompressionSettings(&mode, nullptr, nullptr, nullptr, &quality);
    EXPECT_EQ(mode, 7);
    EXPECT_EQ(quality, 7);
    EXPECT_EQ(SetFrameRateTarget(8), FALSE);
    EXPECT_EQ(GetFrameRateTarget(), 0);
    DWORD step = 0, automatic = 5;
    WORD period = 0;
    EXPECT_EQ(GetFrameRate(&step, &automatic, &period), FALSE);
    EXPECT_EQ(step, 1u);
    EXPECT_EQ(automatic, 0u);
    EXPECT_EQ(period, 33) << "a period that a caller may divide by";
    EXPECT_EQ(SetFrameRate(3, 0), FALSE);
    EXPECT_EQ(SetBanding(1), FALSE);
    EXPECT_EQ(GetBanding(), 0u);
    EXPECT_EQ(SetDecimationFlag(1), FALSE);
    EXPECT_EQ(GetDecimationFlag(), FALSE);
    EXPECT_EQ(SetBacklight(1), FALSE);
    EXPECT_EQ(GetBacklight(), 0u);
    EXPECT_EQ(SetColourParams(50, 50, 50), -1) << "the camera's failure, not its success";
    DWORD b = 9, c = 9, col = 9;
    EXPECT_EQ(GetColourParams(&b, &c, &col), -1);
    EXPECT_EQ(b + c + col, 0u);
    EXPECT_EQ(SetMainsFrequency(1), FALSE);
    DWORD mains = 4;
    EXPECT_EQ(GetMainsFrequency(&mains), FALSE);
    EXPECT_EQ(GetDeviceFirmwareVersion(), 0);
    EXPECT_EQ(GetDevicePort(nullptr, nullptr), FALSE);
    EXPECT_EQ(GetPortWatch(nullptr, nullptr), FALSE);
    EXPECT_EQ(SetPortWatch(1, 1), FALSE);
    DWORD data = 0;
    for (DWORD number : {0x21u, 0x24u, 0x40u, 0x41u, 0x50u, 0x51u, 0x52u, 0x70u}) EXPECT_FALSE(Read(number, &data));
    Write(0x70, 1);
    EXPECT_EQ(state->portWatch, 0u);
    EXPECT_EQ(device->compressionMode, 2);
    EXPECT_EQ(device->bandingFilter, 0u);
    ASSERT_EQ(SelectTARNDevice(deviceHandle), device);
}

TEST_F(DeviceOperations, ACameraThatStopsAnsweringKeepsTheRecordedSettings) {
    EXPECT_EQ(SetBacklight(1), TRUE);
    SimSetVanished(1);
    EXPECT_EQ(SetBacklight(0), FALSE);
    EXPECT_EQ(GetBacklight(), 1u);
    EXPECT_EQ(SetColourParams(10, 10, 10), -1);
    EXPECT_EQ(SetFrameRate(5, 0), TRUE) << "a change of the flag alone sends nothing";
    EXPECT_EQ(SetFrameRate(5, 0), FALSE);
    DWORD step = 0;
    GetFrameRate(&step, nullptr, nullptr);
    EXPECT_EQ(step, 1u);
    SimSetVanished(0);
}

}  // namespace
