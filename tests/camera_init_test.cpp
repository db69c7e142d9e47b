// The camera's initialisation (opening the conversation, the test-pattern
// upload that proves the link, the known starting settings) and its
// exposure controls.
#include "camera_support.h"
#include "settings/registry.h"

namespace {

using Bytes = std::vector<BYTE>;
using NameList = std::vector<std::string>;

class CameraInit : public CameraOps {
protected:
    // Runs the comms test; its result, with what it printed.
    int CommsTest(std::string* printed) {
        testing::internal::CaptureStdout();
        int result = DoHiPowerCommsTest(state);
        *printed = testing::internal::GetCapturedStdout();
        return result;
    }
};

TEST_F(CameraInit, ACameraThatDoesNotAnswerFailsTheStart) {
    BringUp(kOpened);
    SimSetVanished(1);
    EXPECT_EQ(camInitialiseZELT_CAM(state, link), 0);
    EXPECT_EQ(state->firmwareVersion, 0);
    // Nor one that stops answering on the way to low power.
    Restart("fault vanish 2\n", kOpened);
    EXPECT_EQ(camInitialiseZELT_CAM(state, link), 0);
    EXPECT_EQ(Names().back(), "00/5");
}

// A corrupted pattern fails the test; each wrong byte is traced, five at most.
TEST_F(CameraInit, AWrongPatternFailsTheTestAndTracesFiveBytesAtMost) {
    // clang-format off
    struct Row { const char* scenario; int lines; const char* line; const char* absent; } rows[] = {
        {"fault pattern 100 7\n", 1, "UploadTestData: Buffer at 100   7 != 100", "Buffer at 101 "},
        {"fault pattern all 0\n", 5, "UploadTestData: Buffer at 5   0 != 5", "Buffer at 6 "},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.scenario);
        Restart(r.scenario, kHighPower);
        bool traced = CaptureTrace();
        size_t from = traced ? TraceText().size() : 0;
        std::string printed;
        EXPECT_EQ((Ints{CommsTest(&printed), Status(STATUS_STREAM_STATE)}), (Ints{0, 0}));
        if (!traced) continue;
        std::string text = TraceText().substr(from);
        EXPECT_EQ(Occurrences(text, "UploadTestData: Buffer at"), r.lines);
        EXPECT_NE(text.find(r.line), std::string::npos);
        EXPECT_EQ(text.find(r.absent), std::string::npos);
    }
}

TEST_F(CameraInit, TheCameraStartsFromKnownSettings) {
    BringUp(kHighPower);
    ASSERT_EQ(camInitialiseCamera(state), 1);
    SimCamera camera = Camera();
    EXPECT_EQ((Ints{state->frameRate, state->autoFrameRate, state->exposureMode, state->centreWeight,
                    state->flickerState, state->flickMax, state->flickExp, state->mainsFrequency, state->flickerPeriod,
                    state->brightness, state->red, camera.gain}),
              (Ints{1, 0, 2, 1, 0, 250, 146, 0, 92, camera.brightness, camera.red, 1}));
    EXPECT_EQ(Bytes(state->exposure + 4, state->exposure + 8), (Bytes{220, 214, 214, 230}));
    EXPECT_EQ(Bytes(camera.vlOffset, camera.vlOffset + 4), (Bytes{20, 24, 26, 26}));
    EXPECT_EQ(Bytes(camera.correctionGains, camera.correctionGains + 4), (Bytes{24, 22, 36, 52}));
    EXPECT_EQ(Names(),
              (NameList{"A0/18", "00/3", "A0/17", "00/3", "A0/16", "00/3", "A0/11", "A0/4", "00/3", "A0/9", "00/3"}));
}

// The exposure controls send one command each and record what the camera took.
TEST_F(CameraInit, ExposureItemsSendOneCommandAndRecordOnSuccess) {
    BringUp();
    ASSERT_EQ(camSetAutoExposure(state, 0), 0);
    EXPECT_EQ((Ints{state->exposureMode, camGetAutoExposure(state), Camera().exposureMode}), (Ints{3, 0, 3}));
    ASSERT_EQ(camSetAutoExposure(state, 1), 0);
    EXPECT_EQ(camGetAutoExposure(state), 1);
    ASSERT_EQ(ParamsOf(0xA0, 4), (std::vector<Bytes>{{0, 3, 0, 0}, {0, 2, 0, 0}}));
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

}  // namespace
