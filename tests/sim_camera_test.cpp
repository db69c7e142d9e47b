// The simulated camera behind the command set: refusals and latched errors,
// grabs and stream capture in virtual time, and the state that frames are
// made from.
#include <string.h>

#include <vector>

#include "sim_support.h"

namespace {

class SimCameraModel : public SimMachine {
protected:
    std::vector<BYTE> frame = std::vector<BYTE>(205190, 0);
    // Grabs one frame and uploads it; its byte count, 0 on failure.
    DWORD GrabAndUpload() {
        if (!ZELT_GrabFrame(link, 0)) return 0;
        int polls = 0;
        while (Status(STATUS_STREAM_STATE) != 1 && polls++ < 1000) {
        }
        if (!CLINK_StartUpload(link, 0, 0, (DWORD)frame.size(), frame.data(), 8192, 1)) return 0;
        DWORD bytes = 0;
        return WaitUpload(&bytes) == UPLOAD_IDLE ? bytes : 0;
    }
};

TEST_F(SimCameraModel, CommandsOutsideHighPowerAreRefusedAndLatched) {
    OpenCamera();
    EXPECT_EQ(Status(STATUS_SYSTEM_STATE), 1);
    EXPECT_EQ(ZELT_GrabFrame(link, 0), 1u);  // the transport carries it
    EXPECT_EQ((Ints{Status(STATUS_CMD_ERROR), Camera().grabPending}), (Ints{SIM_CMD_NOT_HIGH_POWER, 0}));
    ASSERT_EQ(ZELT_ModifyCameraStatus(link, STATUS_CMD_ERROR, (BYTE)~SIM_CMD_NOT_HIGH_POWER, 0), 1u);
    EXPECT_EQ(Status(STATUS_CMD_ERROR), 0);
    HighPower();
    EXPECT_EQ(Status(STATUS_SYSTEM_STATE), 3);
    ASSERT_EQ(ZELT_GotoSuspend(link), 1u);
    EXPECT_EQ(Status(STATUS_SYSTEM_STATE), 1);
}

TEST_F(SimCameraModel, BadParametersAndSequencesLatchTheirOwnBits) {
    OpenInHighPower();
    ZELT_SetSensorRate(link, 3, 1);
    EXPECT_EQ(Status(STATUS_CMD_ERROR), SIM_CMD_BAD_PARAMETER);
    ZELT_ModifyCameraStatus(link, STATUS_CMD_ERROR, 0, 0);
    ZELT_SetROI(link, 0, 45, 0, 72);  // one column group past CIF
    ZELT_StartStreamCap(link);        // before InitStreamCap
    EXPECT_EQ(Status(STATUS_CMD_ERROR), SIM_CMD_BAD_PARAMETER | SIM_CMD_OUT_OF_SEQUENCE);
    EXPECT_EQ(Camera().colEnd8, 44);
}

TEST_F(SimCameraModel, ScenarioErrorsLatchOnTheNamedCommand) {
    Scenario("fault error 0x00 4 cmd 0x01 1\nfault error 0xA0 6 fatal 0x10\n");
    OpenInHighPower();
    EXPECT_EQ((Ints{Status(STATUS_SYSTEM_STATE), Status(STATUS_CMD_ERROR)}), (Ints{1, 0x01}));  // refused
    HighPower();
    EXPECT_EQ(Status(STATUS_SYSTEM_STATE), 3);
    ZELT_SetColBal(link, 1, 10, 20, 30);
    EXPECT_EQ(Status(STATUS_FATAL_ERROR), 0x10);
    EXPECT_NE(Camera().red, 10);
}

TEST_F(SimCameraModel, StreamCaptureTakesEverySkipPlusOnethFrame) {
    OpenInHighPower();
    ASSERT_EQ(ZELT_SetSensorRate(link, 1, 0), 1u);  // 12.5 frames/s: 80 ms
    ASSERT_EQ(ZELT_SetGrabMode(link, 0), 1u);
    ASSERT_EQ(ZELT_InitStreamCap(link, 2, 72), 1u);
    ASSERT_EQ(ZELT_StartStreamCap(link), 1u);
    SimCommandRecord start = Commands().back();
    ZELT_GrabFrame(link, 0);  // no single grabs while streaming
    EXPECT_EQ(Status(STATUS_CMD_ERROR), SIM_CMD_OUT_OF_SEQUENCE);
    ZELT_ModifyCameraStatus(link, STATUS_CMD_ERROR, 0, 0);
    std::vector<DWORD> readyAt;
    while (readyAt.size() < 2) {
        if (Status(STATUS_STREAM_STATE) != SIM_STREAM_READY) continue;
        readyAt.push_back(Commands().back().time - start.time);
        ASSERT_EQ(CLINK_StartUpload(link, 1, 1, (DWORD)frame.size(), frame.data(), 16384, 1), 1u);
        ASSERT_EQ(WaitUpload(), UPLOAD_IDLE);
    }
    EXPECT_NEAR(readyAt[0], 240, 2);
    EXPECT_NEAR(readyAt[1], 480, 2);
    EXPECT_EQ(
        (Ints{Camera().framesCaptured, ZELT_StopStreamCap(link), ZELT_FinishStreamCap(link), Status(STATUS_CMD_ERROR)}),
        (Ints{2, 1, 1, 0}));
}

TEST_F(SimCameraModel, AStreamGoesOnAtANewSensorRate) {
    OpenInHighPower();
    ASSERT_EQ(ZELT_SetGrabMode(link, 0), 1u);
    ASSERT_EQ(ZELT_InitStreamCap(link, 0, 72), 1u);
    ASSERT_EQ(ZELT_StartStreamCap(link), 1u);
    PosixClockAdvance(5000);
    Status(0);
    uint32_t before = Camera().framesCaptured;
    // Half the rate after five seconds of stream: the next frame comes one
    // new interval later, not once the old count is caught up.
    ASSERT_EQ(ZELT_SetSensorRate(link, 1, 1), 1u);
    PosixClockAdvance(70);
    Status(0);
    EXPECT_EQ(Camera().framesCaptured, before + 1);
}

TEST_F(SimCameraModel, SensorRatesHaveTheirRealFrameIntervals) {
    OpenInHighPower();
    const BYTE rates[5][2] = {{0, 1}, {0, 0}, {1, 1}, {1, 0}, {2, 1}};
    const DWORD micros[5] = {33333, 40000, 66666, 80000, 133332};
    for (int i = 0; i < 5; i++) {
        ZELT_SetSensorRate(link, rates[i][0], rates[i][1]);
        SimCamera camera = Camera();
        EXPECT_EQ(SimFrameIntervalMicros(&camera), micros[i]) << "step " << i + 1;
    }
}

TEST_F(SimCameraModel, StreamState3IsReportedForTheNamedFrame) {
    Scenario("fault streamstate3 2\n");
    OpenInHighPower();
    ZELT_SetGrabMode(link, 1);
    EXPECT_NE(GrabAndUpload(), 0u);
    ASSERT_EQ(ZELT_GrabFrame(link, 0), 1u);
    BYTE state = 0;
    while ((state = Status(STATUS_STREAM_STATE)) == SIM_STREAM_CAPTURING) {
    }
    EXPECT_EQ(state, SIM_STREAM_FAULT);
    // Reading the frame out clears it.
    ASSERT_EQ(CLINK_StartUpload(link, 0, 0, (DWORD)frame.size(), frame.data(), 8192, 1), 1u);
    EXPECT_EQ((Ints{WaitUpload(), Status(STATUS_STREAM_STATE)}), (Ints{UPLOAD_IDLE, SIM_STREAM_IDLE}));
}

TEST_F(SimCameraModel, RegistersExposureAndColourReadBack) {
    OpenInHighPower();
    ZELT_WriteReg(link, 63, 0, 255);
    ZELT_WriteReg(link, 20, 0xF0, 0x0B);
    BYTE r63 = 0, r20 = 0, again = 0;
    ASSERT_EQ(ZELT_ReadRegs(link, 63, 20, 63, 63, &r63, &r20, &again, nullptr), 1u);
    EXPECT_EQ((Ints{r63, r20, again}), (Ints{255, 0x0B, 255}));
    ASSERT_EQ(ZELT_SetExposure(link, 2, 3, 0, 2, 0, 0, 0x2C, 0x01, 0, 0, 0, 0), 1u);  // gain 1, fixed, centre off
    ASSERT_EQ(ZELT_SetExposure(link, 0, 1, 0, 0, 0, 0, 0x2C, 0x01, 229, 222, 222, 239), 1u);
    BYTE block[8];
    ASSERT_EQ(
        ZELT_GetExposure(link, &block[0], &block[1], &block[2], &block[3], &block[4], &block[5], &block[6], &block[7]),
        1u);
    EXPECT_EQ((Ints{block[0], block[2] | (block[3] << 8), block[4], block[7], Camera().centreWeight}),
              (Ints{1, 300, 229, 239, 0}));
    ZELT_SetColPar(link, 50, 38, 90);
    BYTE b = 0, c = 0, k = 0;
    ASSERT_EQ(ZELT_GetColPar(link, &b, &c, &k), 1u);
    EXPECT_EQ((Ints{b, c, k, Status(STATUS_CMD_ERROR)}), (Ints{50, 38, 90, 0}));
}

TEST_F(SimCameraModel, AutomaticExposureFollowsTheLightAndTheFlickerGrid) {
    OpenInHighPower();
    SimSetLight(20);  // too dark for 30 frames/s: the exposure runs out
    BYTE level = 0;
    ZELT_ReadRegs(link, 30, 30, 30, 30, &level, nullptr, nullptr, nullptr);
    EXPECT_GE(Camera().coarseExposure, 302);
    EXPECT_LT(level, 122);
    SimSetLight(128);
    ZELT_SetFlicker(link, 1, 92, 40);
    ZELT_ReadRegs(link, 30, 30, 30, 30, &level, nullptr, nullptr, nullptr);
    EXPECT_EQ((Camera().coarseExposure + 1) % 92, 0);
}

TEST_F(SimCameraModel, TheButtonStaysDownUntilAcknowledged) {
    OpenInHighPower();
    auto button = [&] {
        BYTE port1 = 0;
        ZELT_ReadMC_Ports(link, nullptr, &port1, nullptr, nullptr);
        return port1 & 0x02;
    };
    EXPECT_EQ(button(), 0x02);
    SimPressButton();
    EXPECT_EQ((Ints{button(), button()}), (Ints{0, 0}));
    ZELT_WriteMC_Port(link, 3, 0xDF, 0xDF);
    ZELT_WriteMC_Port(link, 3, 0xFF, 0xFF);
    EXPECT_EQ(button(), 0x02);
}

}  // namespace
