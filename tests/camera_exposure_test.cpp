// Flicker suppression, the frame-rate steps, the frame hook and the
// automatic frame rate, against the simulated camera in virtual time.
#include "camera_support.h"

namespace {

using Bytes = std::vector<BYTE>;
using BytesList = std::vector<Bytes>;

class CameraExposure : public CameraOps {
protected:
    BYTE header[64] = {0};
    // A frame header that reports a coarse exposure of 2 x half lines.
    const BYTE* Header(BYTE half) {
        header[39] = half;
        return header;
    }
    // A camera brought up afresh with the frame rate automatic from that step.
    void Automatic(DWORD step = 1, bool flicker = false, const char* scenario = "", BYTE brightness = 50) {
        Restart(scenario);
        ASSERT_EQ(camSetColPar(state, brightness, 50, 50), 0);
        ASSERT_EQ(camSetFrameRate(state, step, 0), 0);
        ASSERT_EQ(camSetFrameRate(state, step, 1), 0);
        if (flicker) {
            ASSERT_EQ(camSetFlicker(state, 1, 0), 0);
        }
        SimClearLog();
    }
    // One frame two seconds after the last.
    int Observe(BYTE half) {
        PosixClockAdvance(2000);
        return camFrameHook(state, Header(half));
    }
};

TEST_F(CameraExposure, FlickerLimitsAndMainsChooseTheAllowanceAndTheGrid) {
    EXPECT_EQ((Ints{FlickerAllowance(50, 146, 250), FlickerAllowance(50, 146, 100), FlickerAllowance(0, 146, 250)}),
              (Ints{141, 146, 146}));
    BringUp();
    state->brightness = 50;
    ASSERT_EQ(camSetFlickerLimits(state, 200, 120), 0);
    EXPECT_EQ(state->flickerAllow, 200 - 50 - 59);
    const BYTE periods[5][2] = {{92, 76}, {76, 64}, {46, 38}, {38, 32}, {23, 19}};
    for (DWORD step = 1; step <= 5; step++)
        for (DWORD mains = 0; mains <= 1; mains++) {
            SCOPED_TRACE(testing::Message() << "step " << step << ", mains " << mains);
            state->frameRate = step;
            ASSERT_EQ(camSetMainsFrequency(state, mains), 0);
            EXPECT_EQ((Ints{state->flickerPeriod, state->flickerAllow, state->flickerMargin}),
                      (Ints{periods[step - 1][mains], 40, 15}));
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
    ASSERT_EQ(ParamsOf(0xA0, 4), (BytesList{{0, 1, 1, 0}}));
    EXPECT_EQ(Data(Sent(0xA0, 4)[0]), (Bytes{0, 0, 183, 0, 229, 222, 222, 239}));
    EXPECT_EQ(Bytes(state->exposure + 2, state->exposure + 8), (Bytes{183, 0, 229, 222, 222, 239}));
    EXPECT_EQ((std::vector<BytesList>{ParamsOf(0xA0, 10), ParamsOf(0xA0, 11), ParamsOf(0xA0, 9), ParamsOf(0x20, 8)}),
              (std::vector<BytesList>{{{1, 92, 40, 0}}, {{20, 24, 26, 26}}, {{24, 24, 22, 20}}, {}}));
    EXPECT_EQ(Camera().flickerMode, 1);
    // Far between two grid values the compensation is the most a byte holds.
    ASSERT_EQ(camSetFlicker(state, 1, 150), 0);
    EXPECT_EQ(Data(Sent(0xA0, 4).back()), (Bytes{0, 0, 91, 0, 255, 255, 255, 255}));
    SimClearLog();
    ASSERT_EQ(camSetFlicker(state, 0, 200), 0);
    EXPECT_EQ(state->flickerState, 0u);
    ASSERT_EQ(ParamsOf(0xA0, 4), (BytesList{{0, 0, 1, 0}}));
    EXPECT_EQ(Data(Sent(0xA0, 4)[0]), (Bytes{0, 0, 183, 0, 220, 214, 214, 230}));
    EXPECT_EQ(ParamsOf(0xA0, 9), (BytesList{{24, 22, 36, 52}}));
    // Firmware 1.2 writes its data bytes, and keeps the grid in a byte:
    // 4 x 92 - 1 is more than a byte, so two periods come off.
    Restart("firmware 1.2\n");
    ASSERT_EQ(camSetFlicker(state, 1, 400), 0);
    EXPECT_EQ(ParamsOf(0x20, 8), (BytesList{{27, 0, 0, 0}, {26, 0, 46, 0}}));
    ASSERT_EQ(ParamsOf(0xA0, 4), (BytesList{{0, 1, 0, 0}}));
    EXPECT_EQ((Ints{Sent(0xA0, 4)[0].data[2], Sent(0xA0, 4)[0].data[3]}), (Ints{183, 0}));
    SimClearLog();
    ASSERT_EQ(camSetFlicker(state, 0, 100), 0);
    EXPECT_EQ(ParamsOf(0x20, 8), (BytesList{{166, 0, 214, 0}, {167, 0, 230, 0}}));
    EXPECT_EQ(Camera().mcData[167], 230);
}

TEST_F(CameraExposure, AFrameRateChangeWaitsForTheSensorAndRestoresTheControls) {
    // The waits before and after the rate command.
    auto waits = [] {
        auto list = Commands();
        size_t rate = 0;
        while (rate < list.size() && !(list[rate].module == 0xA0 && list[rate].command == 7)) rate++;
        if (rate < 1 || rate + 1 >= list.size()) return Ints{};
        return Ints{list[rate].time - list[rate - 1].time, list[rate + 1].time - list[rate].time};
    };
    BringUp();
    ASSERT_EQ(camSetFrameRate(state, 3, 0), 0);
    EXPECT_EQ(state->frameRate, 3u);
    EXPECT_EQ(ParamsOf(0xA0, 7), (BytesList{{1, 1, 0, 0}}));
    Ints wait = waits();
    ASSERT_EQ(wait.size(), 2u);
    EXPECT_NEAR(wait[0], 144, 2);
    EXPECT_NEAR(wait[1], 342, 2);
    // Exposure and balance were held over the change and are free again.
    EXPECT_EQ(Params(Sent(0xA0, 4).front()), (Bytes{0, 3, 0, 0}));
    EXPECT_EQ(Params(Sent(0xA0, 6).front()), (Bytes{3, 0, 0, 0}));
    SimCamera camera = Camera();
    EXPECT_EQ((Ints{camera.exposureMode, camera.colBalMode, camera.registers[52] & 0x0F, camera.registers[63],
                    SimFrameIntervalMicros(&camera), state->exposureMode}),
              (Ints{2, 2, 0, 255, 66666, 2}));
    // A held balance stays held.
    camSetColBal(state, 3, 0, 0, 0);
    ASSERT_EQ(camSetFrameRate(state, 5, 0), 0);
    EXPECT_EQ(Camera().colBalMode, 3);
    // From a step not yet known the wait is the slowest step's.
    Restart("", kHighPower);
    ASSERT_EQ(camSetFrameRate(state, 3, 0), 0);
    wait = waits();
    ASSERT_EQ(wait.size(), 2u);
    EXPECT_NEAR(wait[0], 540, 2);
}

TEST_F(CameraExposure, OlderFirmwareFollowsTheExposureBackOntoTheGrid) {
    Scenario("firmware 1.2\n");
    BringUp();
    ASSERT_EQ(camSetFlicker(state, 1, 183), 0);
    SimClearLog();
    // On the grid (183 = 2 x 92 - 1, reported as 91 x 2 = 182): nothing to do.
    EXPECT_EQ(camFrameHook(state, Header(91)), 1);
    EXPECT_EQ((Ints{state->flickerState, state->frameExposure}), (Ints{2, 182}));
    EXPECT_TRUE(Commands().empty());
    // Off the grid and long enough: suppression is re-armed on the grid.
    EXPECT_EQ(camFrameHook(state, Header(100)), 1);
    EXPECT_EQ((Ints{state->flickerState, state->frameExposure}), (Ints{2, 183}));
    EXPECT_EQ(Sent(0xA0, 10).size(), 1u);
    // Off the grid but too short to re-arm: suspended until it is longer.
    SimClearLog();
    EXPECT_EQ(camFrameHook(state, Header(50)), 1);
    EXPECT_EQ((Ints{state->flickerState, state->frameExposure}), (Ints{1, 100}));
    EXPECT_TRUE(Sent(0xA0, 10).empty());
    // Newer firmware keeps its own grid: the hook leaves it alone.
    state->firmwareVersion = FIRMWARE_1_3;
    state->frameExposure = 7;
    EXPECT_EQ(camFrameHook(state, Header(50)), 0);
    EXPECT_EQ(state->frameExposure, 7);
    // Without a mains grid the frame's own exposure stands.
    state->firmwareVersion = FIRMWARE_1_2;
    state->flickerPeriod = 0;
    EXPECT_EQ(camFrameHook(state, Header(60)), 1);
    EXPECT_EQ(state->frameExposure, 120);
}

// Three alike observations decide a step; the first two change nothing.
// Each row may start with three observations in another light that change
// nothing either, and must not count towards the next decision.
TEST_F(CameraExposure, AutomaticFrameRateStepsAfterThreeAlikeObservations) {
    // clang-format off
    struct Light { BYTE light, half; };
    struct Row { const char* name; const char* scenario; DWORD step; bool flicker; BYTE brightness; Light first, then; DWORD next; BytesList rate; Bytes exposure, balance; BytesList flick; };
    const Row rows[] = {
        {"very dark at full rate: the slowest, less gain, manual balance", "", 1, false, 50, {}, {2, 200}, 5, {{2, 1, 0, 0}}, {0, 1, 400 & 0xFF, 1, 0, 0, 0, 0}, {1, 30, 30, 200}, {}},
        {"bright at a fast step: no change, and a fresh count", "", 2, false, 50, {200, 20}, {2, 200}, 4, {{1, 0, 0, 0}}, {0, 1, 400 & 0xFF, 1, 0, 0, 0, 0}, {2, 0, 0, 0}, {}},
        {"very bright at the slowest step: full rate, gain 1", "", 5, false, 50, {}, {200, 10}, 1, {{0, 1, 0, 0}}, {1, 1, 20, 0, 0, 0, 0, 0}, {2, 0, 0, 0}, {}},
        {"bright at the slowest step: the middle step", "", 5, false, 50, {}, {200, 50}, 3, {{1, 1, 0, 0}}, {1, 1, 100, 0, 0, 0, 0, 0}, {2, 0, 0, 0}, {}},
        {"firmware 1.2 keeps the exposure in a byte", "firmware 1.2\n", 5, false, 50, {}, {200, 128}, 3, {{1, 1, 0, 0}}, {1, 1, 255, 0, 0, 0, 0, 0}, {2, 0, 0, 0}, {}},
        {"dark with flicker: the exposure moves to the new grid", "", 1, true, 50, {}, {1, 140}, 3, {{1, 1, 0, 0}}, {0, 1, 229, 0, 0, 0, 0, 0}, {2, 0, 0, 0}, {{2, 46, 40, 0}}},
        {"bright with flicker at step 3: full rate, the grid below 302", "", 3, true, 92, {}, {100, 100}, 1, {{0, 1, 0, 0}}, {0, 1, 275 & 0xFF, 1, 0, 0, 0, 0}, {2, 0, 0, 0}, {{2, 92, 40, 0}}},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Automatic(r.step, r.flicker, r.scenario, r.brightness);
        for (const Light& phase : {r.first, r.then}) {
            if (!phase.light) continue;
            SimSetLight(phase.light);
            EXPECT_EQ((Ints{Observe(phase.half), Observe(phase.half)}), (Ints{1, 1}));
            EXPECT_EQ(state->frameRate, r.step);
            EXPECT_TRUE(Sent(0xA0, 7).empty());
            EXPECT_EQ(Observe(phase.half), 1);
        }
        EXPECT_EQ(state->frameRate, r.next);
        EXPECT_EQ(ParamsOf(0xA0, 7), r.rate);
        // The exposure carries on from the one observed.
        ASSERT_FALSE(Sent(0xA0, 4).empty());
        ASSERT_FALSE(Sent(0xA0, 6).empty());
        ASSERT_FALSE(Sent(0xA0, 30).empty());
        EXPECT_EQ(Params(Sent(0xA0, 4).back()), (Bytes{0, 1, 0, 0}));
        EXPECT_EQ(Data(Sent(0xA0, 4).back()), r.exposure);
        EXPECT_EQ(ParamsOf(0xA0, 6).back(), r.balance);
        EXPECT_EQ(ParamsOf(0xA0, 30).front(), (Bytes{30, 4, 9, 8}));
        EXPECT_EQ(ParamsOf(0xA0, 10), r.flick);
        EXPECT_EQ(state->flickerPeriod, r.flick.empty() ? 92 : r.flick[0][1]);
    }
    // A long exposure at exactly the bright limit's level is not bright.
    Automatic(3);
    SimSetLight(64);
    ASSERT_EQ(camSetAutoExposure(state, 0), 0);
    SimSetLight(45);
    for (int i = 0; i < 3; i++) EXPECT_EQ(Observe(100), 1);
    EXPECT_EQ((Ints{Camera().registers[30], state->frameRate}), (Ints{90, 3}));
}

}  // namespace
