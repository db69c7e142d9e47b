// The device operations on the selected device: what they record, what they
// stage for the camera, and how they fail without a device.
#include "camera_host.h"
#include "device_support.h"

class DeviceOperations : public SelectedCamera {};

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

    struct Case {
        WORD value;
        BYTE targetFR;
    } levels[] = {{0, 28}, {10, 28}, {11, 28}, {45, 24}, {61, 16}, {81, 6}};
    for (const Case& c : levels) {
        SetCompressionSettings(1, 0, 50, c.value, 50);
        EXPECT_EQ(viewport->targetFR, c.targetFR) << c.value;
        EXPECT_EQ(viewport->compMode, 1) << c.value;
    }
    SetCompressionSettings(1, 0, 50, 91, 50);
    EXPECT_EQ(viewport->compMode, 0) << "91 to 100 is level 1";
}

TEST_F(DeviceOperations, FixedQualityIsClampedAndBecomesTheThresholds) {
    ASSERT_EQ(SetCompressionSettings(2, 0, 50, 50, 150), TRUE);
    EXPECT_EQ(device->compressionQuality, 100);
    EXPECT_EQ(viewport->compMode, 2);
    EXPECT_EQ(viewport->yThreshold, 0);
    EXPECT_EQ(viewport->uvThreshold, 0);
    struct Case {
        LONG quality;
        WORD recorded;
        BYTE y, uv;
    } cases[] = {{50, 50, 16, 8}, {0, 0, 32, 16}, {-7, 0, 32, 16}, {99, 99, 0, 0}, {1000, 100, 0, 0}};
    for (const Case& c : cases) {
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

TEST_F(DeviceOperations, OnlyAChangeOfModeResynchronisesTheGrabber) {
    SetCompressionSettings(0, 0, 50, 50, 50);
    EXPECT_EQ(grabber->compressed, 0u) << "uncompressed frames decode straight into the application's buffer";
    grabber->resync = 0;
    SetCompressionSettings(1, 0, 50, 50, 50);
    EXPECT_EQ(grabber->resync, 1u);
    EXPECT_EQ(grabber->compressed, 1u) << "compressed frames decode through the decode buffer";
    grabber->resync = 0;
    SetCompressionSettings(1, 1, 40, 50, 50);
    EXPECT_EQ(grabber->resync, 0u);
    SetCompressionSettings(0, 0, 50, 50, 50);
    EXPECT_EQ(grabber->resync, 1u);
    EXPECT_EQ(grabber->compressed, 0u);
    EXPECT_EQ(viewport->compMode, 0);
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

TEST_F(DeviceOperations, TheFramePeriodFollowsTheStepAndIsNeverZero) {
    struct Case {
        DWORD step;
        WORD period;
    } cases[] = {{1, 33}, {2, 40}, {3, 66}, {4, 80}, {5, 133}, {0, 33}, {9, 33}};
    for (const Case& c : cases) {
        state->frameRate = c.step;
        DWORD step = 0, automatic = 7;
        WORD period = 0;
        EXPECT_EQ(GetFrameRate(&step, &automatic, &period), TRUE);
        EXPECT_EQ(period, c.period) << c.step;
        EXPECT_EQ(automatic, state->autoFrameRate);
    }
    EXPECT_EQ(GetFrameRate(nullptr, nullptr, nullptr), TRUE);
}

TEST_F(DeviceOperations, DecimationIsStagedInTheViewport) {
    viewport->dirty = 0;
    EXPECT_EQ(SetDecimationFlag(1), 1);
    EXPECT_EQ(GetDecimationFlag(), TRUE);
    EXPECT_TRUE(viewport->dirty & VP_DIRTY_COMPRESSION);
    EXPECT_EQ(SetDecimationFlag(0), 1);
    EXPECT_EQ(GetDecimationFlag(), FALSE);
}

TEST_F(DeviceOperations, PortDetailsAndThePortWatch) {
    LONG port = 0;
    BYTE mode = 0;
    EXPECT_EQ(GetDevicePort(&port, &mode), TRUE);
    EXPECT_EQ(port, 1);
    EXPECT_EQ(mode, 0x57);
    EXPECT_EQ(GetDeviceFirmwareVersion(), 0x0103);

    EXPECT_EQ(SetPortWatch(1, 0), TRUE);
    state->portEvent = 1;
    DWORD watch = 0, event = 0;
    EXPECT_EQ(GetPortWatch(&watch, &event), TRUE);
    EXPECT_EQ(watch, 1u);
    EXPECT_EQ(event, 1u);
    EXPECT_EQ(GetPortWatch(&watch, &event), TRUE);
    EXPECT_EQ(event, 0u) << "an event is reported once";
}

TEST_F(DeviceOperations, PausingStopsPipeliningWhichResumesOnlyOnAFastPort) {
    EXPECT_EQ(PauseFrameGrabbing(1), TRUE);
    EXPECT_EQ(grabber->pipelining, 0u);
    EXPECT_EQ(PauseFrameGrabbing(0), TRUE);
    EXPECT_EQ(grabber->pipelining, 0u) << "LPT1 of type 0x57 is not fast";

    Dismantle();
    PPLINK_DestroyLink(link);
    link = nullptr;
    Scenario("port 1 type 0x77 camera");
    Build();
    EXPECT_EQ(grabber->pipelining, 1u);
    EXPECT_EQ(PauseFrameGrabbing(1), TRUE);
    EXPECT_EQ(grabber->pipelining, 0u);
    EXPECT_EQ(PauseFrameGrabbing(0), TRUE);
    EXPECT_EQ(grabber->pipelining, 1u);
}

TEST_F(DeviceOperations, WithoutADeviceEveryOperationFailsAndTouchesNothing) {
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
    EXPECT_EQ(state->portWatch, 0u);
    EXPECT_EQ(device->compressionMode, 0);
    EXPECT_EQ(device->bandingFilter, 0u);
}

// The same operations on the device that a channel open brought up, on the
// simulated camera in virtual time.
class DeviceOnTheCamera : public CameraHost {
protected:
    void SetUp() override {
        CameraHost::SetUp();
        OpenCamera();
    }
    void TearDown() override {
        SimSetVanished(0);
        CameraHost::TearDown();
    }
};

TEST_F(DeviceOnTheCamera, SettingsReachTheCamera) {
    // The load left automatic frame rate on: the first call changes only
    // the flag, the second the step.
    EXPECT_EQ(SetFrameRate(3, 0), TRUE);
    DWORD step = 0, automatic = 1;
    WORD period = 0;
    GetFrameRate(&step, &automatic, &period);
    EXPECT_EQ(step, 1u);
    EXPECT_EQ(automatic, 0u);
    EXPECT_EQ(SetFrameRate(3, 0), TRUE);
    GetFrameRate(&step, &automatic, &period);
    EXPECT_EQ(step, 3u);
    EXPECT_EQ(period, 66);
    EXPECT_EQ(Camera().divisorExponent, 1);
    EXPECT_EQ(Camera().baseRate, 1);

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
}

TEST_F(DeviceOnTheCamera, CompressionIsStagedUntilTheNextFrame) {
    ASSERT_EQ(Frame(), DV_ERR_OK);
    BYTE before = Camera().compMode;
    ASSERT_EQ(SetCompressionSettings(2, 0, 50, 50, 100), TRUE);
    EXPECT_EQ(Camera().compMode, before);
    // A change of mode resynchronises: one frame goes uncompressed first.
    ASSERT_EQ(Frame(), DV_ERR_OK);
    ASSERT_EQ(Frame(), DV_ERR_OK);
    EXPECT_EQ(Camera().compMode, 2);
    EXPECT_EQ(Camera().yThreshold, 0);
    ASSERT_EQ(SetCompressionSettings(0, 0, 50, 50, 100), TRUE);
    ASSERT_EQ(Frame(), DV_ERR_OK);
    EXPECT_EQ(Camera().compMode, 0);
}

TEST_F(DeviceOnTheCamera, ACameraThatStopsAnsweringKeepsTheRecordedSettings) {
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
