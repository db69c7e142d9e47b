// The camera's initialisation: opening the conversation, the test-pattern
// upload that proves the link, and the known starting settings.
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

}  // namespace
