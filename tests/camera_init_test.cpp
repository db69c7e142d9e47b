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

TEST_F(CameraInit, TheConversationStartsInLowPowerWithTheFirmwareKnown) {
    BringUp(kOpened);
    state->portWatch = 1;
    state->portEvent = 1;
    ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
    EXPECT_EQ(state->link, link);
    EXPECT_EQ((Ints{state->firmwareVersion, ReadRegDword("FW_Version", 0), state->powerState, state->portWatch,
                    state->portEvent}),
              (Ints{0x0103, 0x0103, 2, 0, 0}));
    EXPECT_EQ(camInitialiseZELT_CAM(nullptr, link), 0);
    EXPECT_EQ(Names(), (NameList{"00/1", "00/3", "00/5", "00/3"}));
}

TEST_F(CameraInit, ACameraAlreadyInLowPowerIsLeftThere) {
    Scenario("systemstate 2\n");
    BringUp(kOpened);
    ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
    EXPECT_EQ(Names(), (NameList{"00/1", "00/3", "00/3"}));
    EXPECT_EQ(state->powerState, 2u);
}

TEST_F(CameraInit, Firmware12ClearsItsStaleStatusBytes) {
    Scenario("firmware 1.2\n");
    BringUp(kOpened);
    SimSetStatusByte(STATUS_FATAL_ERROR, 0x31);
    SimSetStatusByte(STATUS_STREAM_STATE, 3);
    ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
    EXPECT_EQ(state->firmwareVersion, 0x0102);
    EXPECT_EQ(ParamsOf(0x00, 10), (std::vector<Bytes>{{3, 0xEE, 0, 0}, {2, 0, 0, 0}}));
    EXPECT_EQ((Ints{Status(STATUS_FATAL_ERROR), Status(STATUS_STREAM_STATE)}), (Ints{0x20, 0}));
}

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

TEST_F(CameraInit, AnIntactTestPatternPassesAndLeavesTheStreamIdle) {
    BringUp(kHighPower);
    std::string printed;
    long blocks = PosixLiveGlobalBlocks();
    EXPECT_EQ(CommsTest(&printed), 1);
    EXPECT_EQ(PosixLiveGlobalBlocks(), blocks);
    SimUploadRecord upload;
    ASSERT_EQ(SimGetUpload(SimUploadCount() - 1, &upload), 1);
    EXPECT_EQ((Ints{upload.byteCount, upload.chunkSize, upload.frameData, upload.streamInterrupt,
                    Status(STATUS_STREAM_STATE)}),
              (Ints{16384, 4096, 0, 0, 0}));
    // The upload's states as they went by, each once, ending idle.
    EXPECT_EQ(printed.find("ZELT_TestStream"), std::string::npos);
    EXPECT_NE(printed.find(" S"), std::string::npos);
    EXPECT_EQ(printed.find(" S S"), std::string::npos) << printed;
    EXPECT_EQ(printed.substr(printed.size() - 5), "\nIDLE");
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

TEST_F(CameraInit, ShortAndFailedUploadsFailTheTest) {
    Scenario("fault upload-short 1 100\nfault upload-failed 2\n");
    BringUp(kHighPower);
    std::string printed;
    EXPECT_EQ(CommsTest(&printed), 0);
    EXPECT_NE(printed.find("ZELT_TestStream: UploadStreamData uploaded the wrong number of bytes\n"),
              std::string::npos);
    EXPECT_EQ(CommsTest(&printed), 0);
    EXPECT_NE(printed.find("\nFAILED"), std::string::npos);
    EXPECT_NE(printed.find("ZELT_TestStream: GetUploadStatus reported UPLOAD_FAILED\n"), std::string::npos);
    // The failed upload was aborted, so the next test runs.
    EXPECT_EQ(CommsTest(&printed), 1);
}

TEST_F(CameraInit, ACameraOutOfHighPowerStreamsNoPattern) {
    BringUp(kTalking);
    std::string printed;
    EXPECT_EQ(CommsTest(&printed), 0);
    EXPECT_NE(printed.find("ZELT_TestStream: StreamState = 0\n"), std::string::npos);
    // The refusal latched in the camera is cleared afterwards.
    EXPECT_EQ(Status(STATUS_CMD_ERROR), 0);
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

TEST_F(CameraInit, InitialisationNeedsHighPower) {
    BringUp(kTalking);
    EXPECT_EQ(camInitialiseCamera(state), 0);
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(state->frameRate, 0u);
    EXPECT_EQ(state->flickMax, 0);
}

TEST_F(CameraInit, AnErrorLatchedDuringTheSetupFailsIt) {
    Scenario("fault error 0xA0 9 fatal 0x02 1\n");
    BringUp(kHighPower);
    EXPECT_EQ(camInitialiseCamera(state), 0);
    EXPECT_EQ(Status(STATUS_FATAL_ERROR), 0);
}

TEST_F(CameraInit, PowerTransitionsWaitTheirTime) {
    BringUp(kTalking);
    ASSERT_EQ(SetPowerState(state, POWER_HIGH), 0);
    EXPECT_EQ(state->powerState, POWER_HIGH);
    std::vector<SimCommandRecord> sent = Commands();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(Names()[0], "00/4");
    // The sensor gets 40 ms before the status check; automatic colour
    // balance follows.
    EXPECT_GT(sent[1].time - sent[0].time, 40u);
    ASSERT_EQ(Sent(0xA0, 6).size(), 1u);
    EXPECT_EQ(Params(Sent(0xA0, 6)[0])[0], 2);
    SimClearLog();
    EXPECT_EQ(SetPowerState(state, POWER_HIGH), -1);  // already there: nothing sent
    EXPECT_EQ(SetPowerState(state, 1), -1);
    EXPECT_EQ(SetPowerState(state, 5), -1);
    EXPECT_TRUE(Commands().empty());
    // Low power waits 20 ms before its command.
    DWORD asked = timeGetTime();
    EXPECT_EQ(SetPowerState(state, POWER_LOW), 0);
    EXPECT_EQ(state->powerState, POWER_LOW);
    ASSERT_EQ(Sent(0x00, 5).size(), 1u);
    EXPECT_GT(Sent(0x00, 5)[0].time - asked, 20u);
    EXPECT_EQ(SetPowerState(state, POWER_SUSPENDED), 0);
    EXPECT_EQ(state->powerState, POWER_SUSPENDED);
    EXPECT_EQ(Sent(0x00, 7).size(), 1u);
    // A camera that does not answer: -1, and the state stays.
    SimSetVanished(1);
    EXPECT_EQ(SetPowerState(state, POWER_LOW), -1);
    EXPECT_EQ(state->powerState, POWER_SUSPENDED);
}

TEST_F(CameraInit, ARefusedHighPowerAnswersZeroButKeepsLowPowerAndSetsNoColourBalance) {
    Scenario("fault error 0x00 4 cmd 0x01 1");
    BringUp(kTalking);
    EXPECT_EQ(SetPowerState(state, POWER_HIGH), 0);
    EXPECT_EQ(state->powerState, POWER_LOW);
    EXPECT_EQ(Names().front(), "00/4");
    EXPECT_TRUE(Sent(0xA0, 6).empty());
    // The error was cleared: the next try works.
    EXPECT_EQ(SetPowerState(state, POWER_HIGH), 0);
    EXPECT_EQ(state->powerState, POWER_HIGH);
}

}  // namespace
