// The camera controls against the simulated camera: what each sends, what
// it records, and that a refused or lost command records nothing.
#include "camera_support.h"

namespace {

class CameraControls : public CameraOps {};

using Bytes = std::vector<BYTE>;

TEST_F(CameraControls, ExposureItemsSendOneCommandAndRecordOnSuccess) {
    BringUp();
    ASSERT_EQ(camSetAutoExposure(state, 0), 0);
    EXPECT_EQ(state->exposureMode, 3);
    EXPECT_EQ(camGetAutoExposure(state), 0);
    EXPECT_EQ(Camera().exposureMode, 3);
    ASSERT_EQ(camSetAutoExposure(state, 1), 0);
    EXPECT_EQ(camGetAutoExposure(state), 1);
    auto exposure = Sent(0xA0, 4);
    ASSERT_EQ(exposure.size(), 2u);
    EXPECT_EQ(Params(exposure[0]), (Bytes{0, 3, 0, 0}));
    EXPECT_EQ(Params(exposure[1]), (Bytes{0, 2, 0, 0}));
    EXPECT_EQ(Data(exposure[1]), Bytes(8, 0));

    ASSERT_EQ(camSetGain(state, 2), 0);
    EXPECT_EQ(Params(Sent(0xA0, 4).back()), (Bytes{3, 0, 0, 0}));
    EXPECT_EQ(camGetGain(state), 2);
    SimSetLight(40);
    int lines = camGetExposure(state);
    EXPECT_EQ(lines, Camera().coarseExposure);
    EXPECT_EQ(state->exposure[2] | (state->exposure[3] << 8), lines);
}

TEST_F(CameraControls, OlderFirmwareKeepsItsOwnGain) {
    Scenario("firmware 1.2\n");
    BringUp();
    EXPECT_EQ(camSetGain(state, 3), 0);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(CameraControls, ALatchedErrorRecordsNothingAndIsCleared) {
    // Every exposure command is refused from here on.
    Scenario("fault error 0xA0 4 cmd 0x04\n");
    BringUp(kHighPower);
    state->exposureMode = 2;
    state->centreWeight = 1;
    state->frameRate = 1;
    EXPECT_EQ(camSetAutoExposure(state, 0), -1);
    EXPECT_EQ(state->exposureMode, 2);
    EXPECT_EQ(camSetCentreWeight(state, 0), -1);
    EXPECT_EQ(state->centreWeight, 1u);
    EXPECT_EQ(camGetCentreWeight(state), 1u);
    EXPECT_EQ(Status(STATUS_CMD_ERROR), 0);
    auto clears = Sent(0x00, 10);
    ASSERT_EQ(clears.size(), 2u);
    EXPECT_EQ(Params(clears[0]), (Bytes{4, 0xFB, 0, 0}));
}

TEST_F(CameraControls, ALostCommandGivesUpWithoutAStatusCheck) {
    BringUp();
    SimSetVanished(1);
    EXPECT_EQ(camSetAutoExposure(state, 0), -1);
    EXPECT_EQ(camSetCentreWeight(state, 0), -1);
    EXPECT_EQ(camGetGain(state), -1);
    EXPECT_EQ(state->exposureMode, 2);
    EXPECT_EQ(state->centreWeight, 1u);
    EXPECT_TRUE(Sent(0x00, 3).empty());
}

TEST_F(CameraControls, ColourBalanceRecordsWhatWasAskedAndReadsBackTheCamera) {
    BringUp();
    ASSERT_EQ(camSetColBal(state, 1, 30, 40, 200), 0);
    EXPECT_EQ(Params(Sent(0xA0, 6).back()), (Bytes{1, 30, 40, 200}));
    EXPECT_EQ(Camera().blue, 200);
    ASSERT_EQ(camSetColBal(state, 2, 0, 0, 0), 0);
    EXPECT_EQ(state->colBalMode, 2u);
    EXPECT_EQ(state->red, 30);
    EXPECT_EQ(state->blue, 200);

    // The automatic balance has settled on its own values; a read takes them.
    BYTE r = 0, g = 0, b = 0;
    ASSERT_EQ(camGetColBal(state, &r, &g, &b), 0);
    SimCamera camera = Camera();
    EXPECT_EQ(r, camera.red);
    EXPECT_EQ(b, camera.blue);
    EXPECT_EQ(state->green, camera.green);

    // A failed read still gives the last known values.
    SimSetVanished(1);
    r = g = b = 0;
    EXPECT_EQ(camGetColBal(state, &r, &g, &b), -1);
    EXPECT_EQ(r, camera.red);
    EXPECT_EQ(g, camera.green);
    // A set that does not reach the camera still records what was asked.
    EXPECT_EQ(camSetColBal(state, 1, 5, 6, 7), -1);
    EXPECT_EQ(state->colBalMode, 1u);
    EXPECT_EQ(state->green, 6);
}

TEST_F(CameraControls, LowContrastGoesThroughRegister20) {
    BringUp();
    ASSERT_EQ(camSetColPar(state, 60, 50, 70), 0);
    EXPECT_EQ(Params(Sent(0xA0, 3).back()), (Bytes{60, 38, 70, 0}));
    EXPECT_TRUE(Sent(0xA0, 31).empty());
    ASSERT_EQ(camSetColPar(state, 60, 4, 70), 0);
    EXPECT_EQ(Params(Sent(0xA0, 3).back()), (Bytes{60, 0, 70, 0}));
    EXPECT_EQ(Params(Sent(0xA0, 31).back()), (Bytes{20, 0, 11, 0}));
    EXPECT_EQ(Camera().registers[20], 11);
    EXPECT_EQ(state->contrast, 4);

    // The caller gets back the contrast it set, not the camera's part of it.
    DWORD b = 0, c = 0, k = 0;
    ASSERT_EQ(camGetColPar(state, &b, &c, &k), 0);
    EXPECT_EQ(b, 60u);
    EXPECT_EQ(c, 4u);
    EXPECT_EQ(k, 70u);
}

TEST_F(CameraControls, Firmware12HasItsOwnContrastScale) {
    Scenario("firmware 1.2\n");
    BringUp();
    ASSERT_EQ(camSetColPar(state, 50, 20, 50), 0);
    EXPECT_EQ(Params(Sent(0xA0, 3).back()), (Bytes{50, 0, 50, 0}));
    EXPECT_EQ(Params(Sent(0xA0, 31).back()), (Bytes{20, 0, 11, 0}));
    ASSERT_EQ(camSetColPar(state, 50, 30, 50), 0);
    EXPECT_EQ(Params(Sent(0xA0, 3).back()), (Bytes{50, 2, 50, 0}));
}

TEST_F(CameraControls, ColourParametersAreRecordedEvenWhenRefused) {
    Scenario("fault error 0xA0 3 cmd 0x04 1\n");
    BringUp();
    EXPECT_EQ(camSetColPar(state, 90, 40, 80), -1);
    EXPECT_EQ(state->brightness, 90);
    // The flicker allowance follows the new brightness: 250 - 90 - 59.
    EXPECT_EQ(state->flickerAllow, 101);
    DWORD b = 0, c = 0, k = 0;
    EXPECT_EQ(camGetColPar(state, &b, &c, &k), 0);
    EXPECT_EQ(c, 40u);
}

TEST_F(CameraControls, ColourParametersResendTheFlickerAllowanceWhileSuppressing) {
    BringUp();
    ASSERT_EQ(camSetFlicker(state, 1, 200), 0);
    SimClearLog();
    ASSERT_EQ(camSetColPar(state, 100, 50, 50), 0);
    auto flicker = Sent(0xA0, 10);
    ASSERT_EQ(flicker.size(), 1u);
    EXPECT_EQ(Params(flicker[0]), (Bytes{1, 92, 91, 0}));
    EXPECT_EQ(Camera().flickerAllow, 91);
}

TEST_F(CameraControls, ARefusedColourChangeIsNotHiddenByTheFlickerResend) {
    Scenario("fault error 0xA0 3 cmd 0x04 1\n");
    BringUp();
    ASSERT_EQ(camSetFlicker(state, 1, 200), 0);
    SimClearLog();
    EXPECT_EQ(camSetColPar(state, 100, 50, 50), -1);
    EXPECT_EQ(Sent(0xA0, 10).size(), 1u);
}

TEST_F(CameraControls, CentreWeightWaitsForAFrameBeforeTheCheck) {
    BringUp();
    ASSERT_EQ(camSetCentreWeight(state, 0), 0);
    EXPECT_EQ(state->centreWeight, 0u);
    EXPECT_EQ(Camera().centreWeight, 0);
    auto list = Commands();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(Params(list[0]), (Bytes{0, 0, 0, 2}));
    EXPECT_GE(list[1].time - list[0].time, 76u);
    EXPECT_LE(list[1].time - list[0].time, 80u);

    ASSERT_EQ(camSetFrameRate(state, 5, 0), 0);
    SimClearLog();
    ASSERT_EQ(camSetCentreWeight(state, 1), 0);
    list = Commands();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(Params(list[0]), (Bytes{0, 0, 0, 1}));
    EXPECT_GE(list[1].time - list[0].time, 274u);
    EXPECT_LE(list[1].time - list[0].time, 278u);
}

TEST_F(CameraControls, StatusCheckFailuresAreTracedWithTheOperation) {
    if (!CaptureTrace()) GTEST_SKIP() << "no trace window without the window system";
    Scenario("fault error 0xA0 4 cmd 0x04 1\n");
    BringUp(kHighPower);
    EXPECT_EQ(camSetAutoExposure(state, 1), -1);
    EXPECT_NE(TraceText().find("Error in camSetAutoExposure(), FatalError = 0x00, CmdError = 0x04"), std::string::npos);
}

}  // namespace
