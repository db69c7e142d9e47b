// Flicker suppression, the frame-rate steps, the frame hook and the
// automatic frame rate, against the simulated camera in virtual time.
#include "camera_support.h"

namespace {

using Bytes = std::vector<BYTE>;

class CameraExposure : public CameraOps {
protected:
    BYTE header[64] = {0};

    // A frame header that reports a coarse exposure of 2 x half lines.
    const BYTE* Header(BYTE half) {
        header[39] = half;
        return header;
    }
};

TEST_F(CameraExposure, FlickerLimitsAndMainsChooseTheAllowanceAndTheGrid) {
    EXPECT_EQ(FlickerAllowance(50, 146, 250), 141);
    EXPECT_EQ(FlickerAllowance(50, 146, 100), 146);
    EXPECT_EQ(FlickerAllowance(0, 146, 250), 146);

    BringUp();
    ASSERT_EQ(camSetFlickerLimits(state, 100, 120), 0);
    BYTE flickMax = 0, flickExp = 0;
    camGetFlickerLimits(state, &flickMax, &flickExp);
    EXPECT_EQ(flickMax, 100);
    EXPECT_EQ(flickExp, 120);

    const BYTE periods[5][2] = {{92, 76}, {76, 64}, {46, 38}, {38, 32}, {23, 19}};
    for (DWORD step = 1; step <= 5; step++)
        for (DWORD mains = 0; mains <= 1; mains++) {
            state->frameRate = step;
            ASSERT_EQ(camSetMainsFrequency(state, mains), 0);
            EXPECT_EQ(state->flickerPeriod, periods[step - 1][mains]) << step << " " << mains;
            EXPECT_EQ(state->flickerAllow, 40);
            EXPECT_EQ(state->flickerMargin, 15);
        }
    DWORD mains = 9;
    camGetMainsFrequency(state, &mains);
    EXPECT_EQ(mains, 1u);
    EXPECT_EQ(camSetMainsFrequency(state, 2), -1);
    state->frameRate = 0;
    EXPECT_EQ(camSetMainsFrequency(state, 0), -1);
    EXPECT_EQ(state->mainsFrequency, 1u);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(CameraExposure, FlickerOnPutsTheExposureOnTheGridWithCompensation) {
    BringUp();
    ASSERT_EQ(camSetFlicker(state, 1, 200), 0);
    EXPECT_EQ(state->flickerState, 2u);
    EXPECT_EQ(Params(Sent(0xA0, 10)[0]), (Bytes{1, 92, 40, 0}));
    auto exposure = Sent(0xA0, 4);
    ASSERT_EQ(exposure.size(), 1u);
    EXPECT_EQ(Params(exposure[0]), (Bytes{0, 1, 1, 0}));
    EXPECT_EQ(Data(exposure[0]), (Bytes{0, 0, 183, 0, 229, 222, 222, 239}));
    EXPECT_EQ(Bytes(state->exposure + 2, state->exposure + 8), (Bytes{183, 0, 229, 222, 222, 239}));
    EXPECT_EQ(Params(Sent(0xA0, 11)[0]), (Bytes{20, 24, 26, 26}));
    EXPECT_EQ(Params(Sent(0xA0, 9)[0]), (Bytes{24, 24, 22, 20}));
    EXPECT_TRUE(Sent(0x20, 8).empty());
    EXPECT_EQ(Camera().flickerMode, 1);

    // Far between two grid values the compensation is the most a byte holds.
    ASSERT_EQ(camSetFlicker(state, 1, 150), 0);
    EXPECT_EQ(Data(Sent(0xA0, 4).back()), (Bytes{0, 0, 91, 0, 255, 255, 255, 255}));

    SimClearLog();
    ASSERT_EQ(camSetFlicker(state, 0, 200), 0);
    EXPECT_EQ(state->flickerState, 0u);
    EXPECT_EQ(Params(Sent(0xA0, 4)[0]), (Bytes{0, 0, 1, 0}));
    EXPECT_EQ(Data(Sent(0xA0, 4)[0]), (Bytes{0, 0, 183, 0, 220, 214, 214, 230}));
    EXPECT_EQ(Params(Sent(0xA0, 9)[0]), (Bytes{24, 22, 36, 52}));
}

TEST_F(CameraExposure, Firmware12WritesItsDataBytesAndKeepsTheGridInAByte) {
    Scenario("firmware 1.2\n");
    BringUp();
    ASSERT_EQ(camSetFlicker(state, 1, 400), 0);
    auto data = Sent(0x20, 8);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(Params(data[0]), (Bytes{27, 0, 0, 0}));
    EXPECT_EQ(Params(data[1]), (Bytes{26, 0, 46, 0}));
    auto exposure = Sent(0xA0, 4);
    EXPECT_EQ(Params(exposure[0]), (Bytes{0, 1, 0, 0}));
    // 4 x 92 - 1 is more than a byte: two periods come off.
    EXPECT_EQ(exposure[0].data[2], 183);
    EXPECT_EQ(exposure[0].data[3], 0);

    SimClearLog();
    ASSERT_EQ(camSetFlicker(state, 0, 100), 0);
    data = Sent(0x20, 8);
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(Params(data[0]), (Bytes{166, 0, 214, 0}));
    EXPECT_EQ(Params(data[1]), (Bytes{167, 0, 230, 0}));
    EXPECT_EQ(Camera().mcData[167], 230);
}

TEST_F(CameraExposure, ARefusedFlickerChangeLeavesTheStateAlone) {
    Scenario("fault error 0xA0 10 cmd 0x04 1\nfault error 0xA0 4 cmd 0x04 1\n");
    BringUp(kHighPower);
    state->flickerPeriod = 92;
    EXPECT_EQ(camSetFlicker(state, 1, 200), -1);
    EXPECT_EQ(state->flickerState, 0u);
    EXPECT_TRUE(Sent(0xA0, 4).empty());
    BYTE before[8];
    memcpy(before, state->exposure, 8);
    // The flicker command goes through, the exposure is refused.
    EXPECT_EQ(camSetFlicker(state, 1, 200), -1);
    EXPECT_EQ(state->flickerState, 2u);
    EXPECT_EQ(memcmp(before, state->exposure, 8), 0);
    EXPECT_TRUE(Sent(0xA0, 11).empty());
    // Without a mains frequency there is no grid: nothing is sent.
    state->flickerPeriod = 0;
    SimClearLog();
    EXPECT_EQ(camSetFlicker(state, 0, 200), -1);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(CameraExposure, AFrameRateChangeWaitsForTheSensorAndRestoresTheControls) {
    BringUp();
    SimClearLog();
    ASSERT_EQ(camSetFrameRate(state, 3, 0), 0);
    EXPECT_EQ(state->frameRate, 3u);
    auto list = Commands();
    size_t rate = 0;
    while (rate < list.size() && !(list[rate].module == 0xA0 && list[rate].command == 7)) rate++;
    ASSERT_LT(rate, list.size());
    ASSERT_GE(rate, 1u);
    EXPECT_EQ(Params(list[rate]), (Bytes{1, 1, 0, 0}));
    EXPECT_GE(list[rate].time - list[rate - 1].time, 142u);
    EXPECT_LE(list[rate].time - list[rate - 1].time, 146u);
    EXPECT_GE(list[rate + 1].time - list[rate].time, 340u);
    EXPECT_LE(list[rate + 1].time - list[rate].time, 344u);
    // Exposure and balance were held over the change and are free again.
    EXPECT_EQ(Params(Sent(0xA0, 4).front()), (Bytes{0, 3, 0, 0}));
    EXPECT_EQ(Params(Sent(0xA0, 6).front()), (Bytes{3, 0, 0, 0}));
    SimCamera camera = Camera();
    EXPECT_EQ(camera.exposureMode, 2);
    EXPECT_EQ(camera.colBalMode, 2);
    EXPECT_EQ(camera.registers[52] & 0x0F, 0);
    EXPECT_EQ(camera.registers[63], 255);
    EXPECT_EQ(SimFrameIntervalMicros(&camera), 66666u);
    EXPECT_EQ(state->exposureMode, 2);

    // A held balance stays held.
    camSetColBal(state, 3, 0, 0, 0);
    ASSERT_EQ(camSetFrameRate(state, 5, 0), 0);
    EXPECT_EQ(Camera().colBalMode, 3);
}

TEST_F(CameraExposure, ChangingTheAutomaticFlagChangesOnlyTheFlag) {
    BringUp();
    ASSERT_EQ(camSetFrameRate(state, 5, 1), 0);
    EXPECT_TRUE(Commands().empty());
    DWORD step = 0, automatic = 0;
    camGetFrameRate(state, &step, &automatic);
    EXPECT_EQ(step, 1u);
    EXPECT_EQ(automatic, 1u);
    ASSERT_EQ(camSetFrameRate(state, 1, 1), 0);
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(camSetFrameRate(state, 6, 1), -1);
    EXPECT_EQ(camSetFrameRate(state, 0, 1), -1);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(CameraExposure, ALostSensorRateCommandKeepsTheStep) {
    BringUp();
    SimSetVanished(1);
    EXPECT_EQ(camSetFrameRate(state, 4, 0), -1);
    EXPECT_EQ(state->frameRate, 1u);
}

TEST_F(CameraExposure, TheWatchedPortBitRaisesAnEventFromTheSecondFrame) {
    BringUp();
    SimPressButton();
    state->portWatch = 1;
    EXPECT_EQ(camFrameHook(state, Header(50)), 1);
    EXPECT_EQ(state->portEvent, 0u);
    // The press was acknowledged with a pulse on port 3.
    auto pulses = Sent(0x20, 4);
    ASSERT_EQ(pulses.size(), 2u);
    EXPECT_EQ(Params(pulses[0]), (Bytes{3, 0xDF, 0xDF, 0}));
    EXPECT_EQ(Params(pulses[1]), (Bytes{3, 0xFF, 0xFF, 0}));
    EXPECT_EQ(camFrameHook(state, Header(50)), 1);
    EXPECT_EQ(state->portEvent, 0u);
    SimPressButton();
    EXPECT_EQ(camFrameHook(state, Header(50)), 1);
    EXPECT_EQ(state->portEvent, 1u);

    state->portWatch = 0;
    SimClearLog();
    EXPECT_EQ(camFrameHook(state, Header(50)), 0);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(CameraExposure, OlderFirmwareFollowsTheExposureBackOntoTheGrid) {
    Scenario("firmware 1.2\n");
    BringUp();
    ASSERT_EQ(camSetFlicker(state, 1, 183), 0);
    SimClearLog();
    // On the grid (183 = 2 x 92 - 1, reported as 91 x 2 = 182): nothing to do.
    EXPECT_EQ(camFrameHook(state, Header(91)), 1);
    EXPECT_EQ(state->flickerState, 2u);
    EXPECT_EQ(state->frameExposure, 182);
    EXPECT_TRUE(Commands().empty());
    // Off the grid and long enough: suppression is re-armed on the grid.
    EXPECT_EQ(camFrameHook(state, Header(100)), 1);
    EXPECT_EQ(state->flickerState, 2u);
    EXPECT_EQ(state->frameExposure, 183);
    EXPECT_EQ(Sent(0xA0, 10).size(), 1u);
    // Off the grid but too short to re-arm: suspended until it is longer.
    SimClearLog();
    EXPECT_EQ(camFrameHook(state, Header(50)), 1);
    EXPECT_EQ(state->flickerState, 1u);
    EXPECT_EQ(state->frameExposure, 100);
    EXPECT_TRUE(Sent(0xA0, 10).empty());
    // Newer firmware keeps its own grid: the hook leaves it alone.
    state->firmwareVersion = FIRMWARE_1_3;
    state->frameExposure = 7;
    EXPECT_EQ(camFrameHook(state, Header(50)), 0);
    EXPECT_EQ(state->frameExposure, 7);
}

class AutoFrameRate : public CameraExposure {
protected:
    void Automatic(DWORD step = 1) {
        ASSERT_EQ(camSetColPar(state, 50, 50, 50), 0);
        if (step != 1) {
            ASSERT_EQ(camSetFrameRate(state, step, 0), 0);
        }
        ASSERT_EQ(camSetFrameRate(state, step, 1), 0);
        SimClearLog();
    }
    // One frame two seconds after the last.
    int Observe(BYTE half) {
        PosixClockAdvance(2000);
        return camFrameHook(state, Header(half));
    }
};

TEST_F(AutoFrameRate, VeryDarkAtFullRateDropsToTheSlowestStep) {
    BringUp();
    Automatic();
    SimSetLight(2);
    EXPECT_EQ(Observe(200), 1);
    EXPECT_EQ(Observe(200), 1);
    EXPECT_EQ(state->frameRate, 1u);
    EXPECT_TRUE(Sent(0xA0, 7).empty());
    EXPECT_EQ(Observe(200), 1);
    EXPECT_EQ(state->frameRate, 5u);
    EXPECT_EQ(Params(Sent(0xA0, 7)[0]), (Bytes{2, 1, 0, 0}));
    // Too little light for the automatic balance.
    EXPECT_EQ(state->colBalMode, 1u);
    EXPECT_EQ(Params(Sent(0xA0, 6).back()), (Bytes{1, 30, 30, 200}));
    // The exposure carries on from the old one, with the gain lowered by two.
    auto exposure = Sent(0xA0, 4).back();
    EXPECT_EQ(Params(exposure), (Bytes{0, 1, 0, 0}));
    EXPECT_EQ(Data(exposure), (Bytes{0, 1, 400 & 0xFF, 1, 0, 0, 0, 0}));
}

TEST_F(AutoFrameRate, OnlyOneObservationCountsInTwoSeconds) {
    BringUp();
    Automatic();
    SimSetLight(2);
    for (int observation = 1; observation <= 2; observation++) {
        EXPECT_EQ(Observe(200), 1);
        for (int i = 0; i < 2; i++) {
            PosixClockAdvance(900);
            EXPECT_EQ(camFrameHook(state, Header(200)), 0);
        }
    }
    EXPECT_EQ(state->frameRate, 1u);
    EXPECT_EQ(Observe(200), 1);
    EXPECT_EQ(state->frameRate, 5u);
}

TEST_F(AutoFrameRate, BrightAtTheFastStepsChangesNothingButStartsAfresh) {
    BringUp();
    Automatic(2);
    SimSetLight(200);
    for (int i = 0; i < 3; i++) EXPECT_EQ(Observe(20), 1);
    EXPECT_EQ(state->frameRate, 2u);
    EXPECT_TRUE(Sent(0xA0, 7).empty());
    // A dark spell afterwards needs its own three observations.
    SimSetLight(2);
    EXPECT_EQ(Observe(200), 1);
    EXPECT_EQ(Observe(200), 1);
    EXPECT_EQ(state->frameRate, 2u);
    EXPECT_EQ(Observe(200), 1);
    EXPECT_EQ(state->frameRate, 4u);
}

TEST_F(AutoFrameRate, BrightAtTheSlowestStepGoesBackUp) {
    BringUp();
    Automatic(5);
    SimSetLight(200);
    for (int i = 0; i < 3; i++) Observe(10);
    EXPECT_EQ(state->frameRate, 1u);
    // Flicker off: the new exposure starts from the old with gain 1.
    EXPECT_EQ(Data(Sent(0xA0, 4).back()), (Bytes{1, 1, 20, 0, 0, 0, 0, 0}));
}

TEST_F(AutoFrameRate, WithFlickerTheExposureMovesToTheNewGrid) {
    BringUp();
    Automatic();
    ASSERT_EQ(camSetFlicker(state, 1, 0), 0);
    SimClearLog();
    SimSetLight(1);
    for (int i = 0; i < 3; i++) Observe(140);
    ASSERT_EQ(state->frameRate, 3u);
    EXPECT_EQ(state->flickerPeriod, 46);
    EXPECT_EQ(Params(Sent(0xA0, 10).back()), (Bytes{2, 46, 40, 0}));
    // 280 / 2 = 140: the grid value from 140 on is 183, one period more 229.
    EXPECT_EQ(Data(Sent(0xA0, 4).back()), (Bytes{0, 1, 229, 0, 0, 0, 0, 0}));
}

TEST_F(AutoFrameRate, TheFirstObservationDoesNotWaitForTheClock) {
    BringUp();
    Automatic();
    // A clock that has run for more than 24 days since the system started.
    PosixClockSet(0x90000000u);
    EXPECT_EQ(camFrameHook(state, Header(200)), 1);
}

TEST_F(AutoFrameRate, WithoutTheCameraThereIsNothingToObserve) {
    BringUp();
    Automatic();
    SimSetVanished(1);
    // Exposure 0 in the header: it would have to be read from the camera.
    EXPECT_EQ(camFrameHook(state, Header(0)), 0);
    EXPECT_EQ(Observe(200), 0);
    SimSetVanished(0);
    SimSetLight(2);
    EXPECT_EQ(Observe(200), 1);
    EXPECT_EQ(Observe(200), 1);
    EXPECT_EQ(state->frameRate, 1u);
}

// Takes frames through the camera as the frame grabber does, every
// 100 ms, and hands each header to the hook.
class LightOverTime : public AutoFrameRate {
protected:
    std::vector<BYTE> frame = std::vector<BYTE>(4096, 0);

    bool TakeFrame() {
        if (!ZELT_GrabFrame(link, 0)) return false;
        BYTE stream = 0;
        for (int polls = 0; (stream = Status(STATUS_STREAM_STATE)) != 1 && polls < 1000; polls++) {
        }
        if (stream != 1) return false;
        if (!CLINK_StartUpload(link, 0, 0, (DWORD)frame.size(), frame.data(), 4096, 1)) return false;
        return WaitUpload() == UPLOAD_IDLE;
    }
    std::vector<DWORD> StepsOver(DWORD milliseconds) {
        ZELT_SetGrabMode(link, 1);
        // A small window keeps the uploads short.
        ZELT_SetROI(link, 0, 2, 0, 2);
        std::vector<DWORD> steps = {state->frameRate};
        DWORD start = timeGetTime();
        while (timeGetTime() - start < milliseconds) {
            EXPECT_TRUE(TakeFrame());
            camFrameHook(state, frame.data());
            if (state->frameRate != steps.back()) steps.push_back(state->frameRate);
            PosixClockAdvance(100);
        }
        return steps;
    }
};

TEST_F(LightOverTime, DuskAndDawnStepDownToTheSlowestRateAndBack) {
    Scenario("lightprofile dusk-and-dawn\n");
    BringUp();
    Automatic();
    EXPECT_EQ(StepsOver(40000), (std::vector<DWORD>{1, 5, 1}));
}

}  // namespace
