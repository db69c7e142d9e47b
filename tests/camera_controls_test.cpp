// The camera controls against the simulated camera: what each sends, what
// it records, and that a refused or lost command records nothing.
#include "camera_support.h"

namespace {

class CameraControls : public CameraOps {};

using Bytes = std::vector<BYTE>;
using BytesList = std::vector<Bytes>;
const char kRefuseColPar[] = "fault error 0xA0 3 cmd 0x04 1\n";

TEST_F(CameraControls, ExposureItemsSendOneCommandAndRecordOnSuccess) {
    BringUp();
    ASSERT_EQ(camSetAutoExposure(state, 0), 0);
    EXPECT_EQ((Ints{state->exposureMode, camGetAutoExposure(state), Camera().exposureMode}), (Ints{3, 0, 3}));
    ASSERT_EQ(camSetAutoExposure(state, 1), 0);
    EXPECT_EQ(camGetAutoExposure(state), 1);
    ASSERT_EQ(ParamsOf(0xA0, 4), (BytesList{{0, 3, 0, 0}, {0, 2, 0, 0}}));
    EXPECT_EQ(Data(Sent(0xA0, 4)[1]), Bytes(8, 0));
    ASSERT_EQ(camSetGain(state, 2), 0);
    EXPECT_EQ(ParamsOf(0xA0, 4).back(), (Bytes{3, 0, 0, 0}));
    EXPECT_EQ(camGetGain(state), 2);
    // Little light: more lines than a byte holds, so the high byte counts.
    SimSetLight(2);
    int lines = camGetExposure(state);
    ASSERT_GT(lines, 255);
    EXPECT_EQ((Ints{lines, state->exposure[2] | (state->exposure[3] << 8)}), (Ints{Camera().coarseExposure, lines}));
    // The whole block is kept, the colour compensation with it.
    SimCamera camera = Camera();
    EXPECT_EQ(Bytes(state->exposure + 4, state->exposure + 8), Bytes(camera.compensation, camera.compensation + 4));
    // Older firmware keeps its own gain: nothing is sent.
    Restart("firmware 1.2\n");
    EXPECT_EQ(camSetGain(state, 3), 0);
    EXPECT_TRUE(Commands().empty());
}

TEST_F(CameraControls, ARefusedOrLostCommandRecordsNothing) {
    // Every exposure command is refused; the latched error is cleared each time.
    Restart("fault error 0xA0 4 cmd 0x04\n", kHighPower);
    state->exposureMode = 2;
    state->centreWeight = state->frameRate = 1;
    EXPECT_EQ((Ints{camSetAutoExposure(state, 0), camSetCentreWeight(state, 0)}), (Ints{-1, -1}));
    EXPECT_EQ((Ints{state->exposureMode, state->centreWeight, camGetCentreWeight(state)}), (Ints{2, 1, 1}));
    EXPECT_EQ(Status(STATUS_CMD_ERROR), 0);
    EXPECT_EQ(ParamsOf(0x00, 10), (BytesList{{4, 0xFB, 0, 0}, {4, 0xFB, 0, 0}}));
    // A lost command gives up without a status check.
    Restart("");
    SimSetVanished(1);
    EXPECT_EQ((Ints{camSetAutoExposure(state, 0), camSetCentreWeight(state, 0), camGetGain(state)}),
              (Ints{-1, -1, -1}));
    EXPECT_EQ((Ints{state->exposureMode, state->centreWeight}), (Ints{2, 1}));
    EXPECT_TRUE(Sent(0x00, 3).empty());
}

TEST_F(CameraControls, ColourBalanceRecordsWhatWasAskedAndReadsBackTheCamera) {
    BringUp();
    ASSERT_EQ(camSetColBal(state, 1, 30, 40, 200), 0);
    EXPECT_EQ(ParamsOf(0xA0, 6), (BytesList{{1, 30, 40, 200}}));
    EXPECT_EQ(Camera().blue, 200);
    ASSERT_EQ(camSetColBal(state, 2, 0, 0, 0), 0);
    EXPECT_EQ((Ints{state->colBalMode, state->red, state->blue}), (Ints{2, 30, 200}));
    // The automatic balance has settled on its own values; a read takes them.
    BYTE r = 0, g = 0, b = 0;
    ASSERT_EQ(camGetColBal(state, &r, &g, &b), 0);
    SimCamera camera = Camera();
    EXPECT_EQ((Ints{r, b, state->green}), (Ints{camera.red, camera.blue, camera.green}));
    // A failed read still gives the last known values; a set that does not
    // reach the camera still records what was asked.
    SimSetVanished(1);
    r = g = b = 0;
    EXPECT_EQ(camGetColBal(state, &r, &g, &b), -1);
    EXPECT_EQ((Ints{r, g}), (Ints{camera.red, camera.green}));
    EXPECT_EQ(camSetColBal(state, 1, 5, 6, 7), -1);
    EXPECT_EQ((Ints{state->colBalMode, state->green}), (Ints{1, 6}));
}

// The contrast is split between the parameter byte and register 20 at a
// limit of the firmware's; the flicker allowance follows the brightness and
// is sent again while suppressing; a refusal still records what was asked.
TEST_F(CameraControls, ColourParameters) {
    // flicker: suppression on at this exposure first.
    // clang-format off
    struct Row { const char* name; const char* scenario; WORD flicker; BYTE b, c, k; int result; BytesList colPar, reg20, flick; int allow; };
    const Row rows[] = {
        {"contrast above the limit", "", 0, 60, 50, 70, 0, {{60, 38, 70, 0}}, {}, {}, 131},
        {"low contrast through register 20", "", 0, 60, 4, 70, 0, {{60, 0, 70, 0}}, {{20, 0, 11, 0}}, {}, 131},
        {"firmware 1.2, below its limit", "firmware 1.2\n", 0, 50, 20, 50, 0, {{50, 0, 50, 0}}, {{20, 0, 11, 0}}, {}, 141},
        {"firmware 1.2, above its limit", "firmware 1.2\n", 0, 50, 30, 50, 0, {{50, 2, 50, 0}}, {}, {}, 141},
        {"refused: recorded all the same", kRefuseColPar, 0, 90, 40, 80, -1, {{90, 28, 80, 0}}, {}, {}, 101},
        {"suppressing: the allowance is sent again", "", 200, 100, 50, 50, 0, {{100, 38, 50, 0}}, {}, {{1, 92, 91, 0}}, 91},
        {"refused while suppressing: not hidden by the resend", kRefuseColPar, 200, 100, 50, 50, -1, {{100, 38, 50, 0}}, {}, {{1, 92, 91, 0}}, 91},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Restart(r.scenario);
        if (r.flicker) {
            ASSERT_EQ(camSetFlicker(state, 1, r.flicker), 0);
            SimClearLog();
        }
        EXPECT_EQ(camSetColPar(state, r.b, r.c, r.k), r.result);
        EXPECT_EQ((Ints{state->brightness, state->contrast, state->flickerAllow}), (Ints{r.b, r.c, r.allow}));
        EXPECT_EQ((std::vector<BytesList>{ParamsOf(0xA0, 3), ParamsOf(0xA0, 31), ParamsOf(0xA0, 10)}),
                  (std::vector<BytesList>{r.colPar, r.reg20, r.flick}));
        SimCamera camera = Camera();
        if (!r.reg20.empty()) {
            EXPECT_EQ(camera.registers[20], r.reg20[0][2]);
        }
        if (!r.flick.empty()) {
            EXPECT_EQ(camera.flickerAllow, r.flick[0][2]);
        }
        // The caller gets back the contrast it set, not the camera's part of it.
        DWORD b = 0, c = 0, k = 0;
        EXPECT_EQ(camGetColPar(state, &b, &c, &k), 0);
        EXPECT_EQ((Ints{b, c, k}), (Ints{camera.brightness, r.c, camera.colour}));
    }
}

TEST_F(CameraControls, CentreWeightWaitsForAFrameBeforeTheCheck) {
    BringUp();
    // clang-format off
    struct Row { DWORD step; BYTE weight, parameter; DWORD wait; } rows[] = {{1, 0, 2, 76}, {5, 1, 1, 274}};
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.step);
        ASSERT_EQ(camSetFrameRate(state, r.step, 0), 0);
        SimClearLog();
        ASSERT_EQ(camSetCentreWeight(state, r.weight), 0);
        EXPECT_EQ((Ints{state->centreWeight, Camera().centreWeight}), (Ints{r.weight, r.weight}));
        auto list = Commands();
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(Params(list[0]), (Bytes{0, 0, 0, r.parameter}));
        EXPECT_GE(list[1].time - list[0].time, r.wait);
        EXPECT_LE(list[1].time - list[0].time, r.wait + 4);
    }
}

TEST_F(CameraControls, StatusCheckFailuresAreTracedWithTheOperation) {
    if (!CaptureTrace()) GTEST_SKIP() << "no trace window without the window system";
    Scenario("fault error 0xA0 4 cmd 0x04 1\n");
    BringUp(kHighPower);
    EXPECT_EQ(camSetAutoExposure(state, 1), -1);
    EXPECT_NE(TraceText().find("Error in camSetAutoExposure(), FatalError = 0x00, CmdError = 0x04"), std::string::npos);
}

}  // namespace
