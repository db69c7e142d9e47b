// The camera's initialisation: opening the conversation, the test-pattern
// upload that proves the link, and the known starting settings.
#include "camera_support.h"
#include "settings/registry.h"

namespace {

using Bytes = std::vector<BYTE>;
using NameList = std::vector<std::string>;

class CameraInit : public CameraOps {
protected:
    void Open() {
        OpenCamera();
        state = CreateCameraState();
        ASSERT_NE(state, nullptr);
    }
    void Raise() {
        ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
        ASSERT_EQ(SetPowerState(state, POWER_HIGH), 0);
        SimClearLog();
    }
    // Runs the comms test; its result, with what it printed.
    int CommsTest(std::string* printed) {
        testing::internal::CaptureStdout();
        int result = DoHiPowerCommsTest(state);
        *printed = testing::internal::GetCapturedStdout();
        return result;
    }
};

TEST_F(CameraInit, TheConversationStartsInLowPowerWithTheFirmwareKnown) {
    Open();
    state->portWatch = 1;
    state->portEvent = 1;
    ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
    EXPECT_EQ(state->link, link);
    EXPECT_EQ(state->firmwareVersion, 0x0103);
    EXPECT_EQ(ReadRegDword("FW_Version", 0), 0x0103u);
    EXPECT_EQ(state->powerState, 2u);
    EXPECT_EQ(state->portWatch, 0u);
    EXPECT_EQ(state->portEvent, 0u);
    EXPECT_EQ(Names(), (NameList{"00/1", "00/3", "00/5", "00/3"}));
}

TEST_F(CameraInit, ACameraAlreadyInLowPowerIsLeftThere) {
    Scenario("systemstate 2\n");
    Open();
    ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
    EXPECT_EQ(Names(), (NameList{"00/1", "00/3", "00/3"}));
    EXPECT_EQ(state->powerState, 2u);
}

TEST_F(CameraInit, Firmware12ClearsItsStaleStatusBytes) {
    Scenario("firmware 1.2\n");
    Open();
    SimSetStatusByte(STATUS_FATAL_ERROR, 0x31);
    SimSetStatusByte(STATUS_STREAM_STATE, 3);
    ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
    EXPECT_EQ(state->firmwareVersion, 0x0102);
    auto modify = Sent(0x00, 10);
    ASSERT_EQ(modify.size(), 2u);
    EXPECT_EQ(Params(modify[0]), (Bytes{3, 0xEE, 0, 0}));
    EXPECT_EQ(Params(modify[1]), (Bytes{2, 0, 0, 0}));
    EXPECT_EQ(Status(STATUS_FATAL_ERROR), 0x20);
    EXPECT_EQ(Status(STATUS_STREAM_STATE), 0);
}

TEST_F(CameraInit, ACameraThatDoesNotAnswerFailsTheStart) {
    Open();
    SimSetVanished(1);
    EXPECT_EQ(camInitialiseZELT_CAM(state, link), 0);
    EXPECT_EQ(state->firmwareVersion, 0);
}

TEST_F(CameraInit, AnIntactTestPatternPassesAndLeavesTheStreamIdle) {
    Open();
    Raise();
    std::string printed;
    long blocks = PosixLiveGlobalBlocks();
    EXPECT_EQ(CommsTest(&printed), 1);
    EXPECT_EQ(PosixLiveGlobalBlocks(), blocks);
    SimUploadRecord upload;
    ASSERT_EQ(SimGetUpload(SimUploadCount() - 1, &upload), 1);
    EXPECT_EQ(upload.byteCount, 16384u);
    EXPECT_EQ(upload.chunkSize, 4096u);
    EXPECT_EQ(upload.frameData, 0u);
    EXPECT_EQ(upload.streamInterrupt, 0u);
    EXPECT_EQ(Status(STATUS_STREAM_STATE), 0);
    // The upload's states as they went by, each once, ending idle.
    EXPECT_EQ(printed.find("ZELT_TestStream"), std::string::npos);
    EXPECT_NE(printed.find(" S"), std::string::npos);
    EXPECT_EQ(printed.find(" S S"), std::string::npos) << printed;
    EXPECT_EQ(printed.substr(printed.size() - 5), "\nIDLE");
}

TEST_F(CameraInit, OneWrongByteFailsTheTestWithOneLine) {
    Scenario("fault pattern 100 7\n");
    bool traced = CaptureTrace();
    Open();
    Raise();
    std::string printed;
    EXPECT_EQ(CommsTest(&printed), 0);
    EXPECT_EQ(Status(STATUS_STREAM_STATE), 0);
    if (!traced) GTEST_SKIP() << "no trace window without the window system";
    std::string text = TraceText();
    EXPECT_EQ(Occurrences(text, "UploadTestData: Buffer at"), 1);
    EXPECT_NE(text.find("UploadTestData: Buffer at 100   7 != 100"), std::string::npos);
}

TEST_F(CameraInit, AnAllWrongPatternIsReportedFiveTimesOnly) {
    Scenario("fault pattern all 0\n");
    bool traced = CaptureTrace();
    Open();
    Raise();
    std::string printed;
    EXPECT_EQ(CommsTest(&printed), 0);
    if (!traced) GTEST_SKIP() << "no trace window without the window system";
    std::string text = TraceText();
    EXPECT_EQ(Occurrences(text, "UploadTestData: Buffer at"), 5);
    EXPECT_NE(text.find("UploadTestData: Buffer at 5   0 != 5"), std::string::npos);
    EXPECT_EQ(text.find("Buffer at 6 "), std::string::npos);
}

TEST_F(CameraInit, ShortAndFailedUploadsFailTheTest) {
    Scenario("fault upload-short 1 100\nfault upload-failed 2\n");
    Open();
    Raise();
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
    Open();
    ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
    SimClearLog();
    std::string printed;
    EXPECT_EQ(CommsTest(&printed), 0);
    EXPECT_NE(printed.find("ZELT_TestStream: StreamState = 0\n"), std::string::npos);
    // The refusal latched in the camera is cleared afterwards.
    EXPECT_EQ(Status(STATUS_CMD_ERROR), 0);
}

TEST_F(CameraInit, TheCameraStartsFromKnownSettings) {
    Open();
    Raise();
    ASSERT_EQ(camInitialiseCamera(state), 1);
    EXPECT_EQ(state->frameRate, 1u);
    EXPECT_EQ(state->autoFrameRate, 0u);
    EXPECT_EQ(state->exposureMode, 2);
    EXPECT_EQ(state->centreWeight, 1u);
    EXPECT_EQ(state->flickerState, 0u);
    EXPECT_EQ(state->flickMax, 250);
    EXPECT_EQ(state->flickExp, 146);
    EXPECT_EQ(state->mainsFrequency, 0u);
    EXPECT_EQ(state->flickerPeriod, 92);
    SimCamera camera = Camera();
    EXPECT_EQ(state->brightness, camera.brightness);
    EXPECT_EQ(state->red, camera.red);
    EXPECT_EQ(Bytes(state->exposure + 4, state->exposure + 8), (Bytes{220, 214, 214, 230}));
    EXPECT_EQ(Bytes(camera.vlOffset, camera.vlOffset + 4), (Bytes{20, 24, 26, 26}));
    EXPECT_EQ(Bytes(camera.correctionGains, camera.correctionGains + 4), (Bytes{24, 22, 36, 52}));
    EXPECT_EQ(camera.gain, 1);
    EXPECT_EQ(Names(),
              (NameList{"A0/18", "00/3", "A0/17", "00/3", "A0/16", "00/3", "A0/11", "A0/4", "00/3", "A0/9", "00/3"}));
}

TEST_F(CameraInit, InitialisationNeedsHighPower) {
    Open();
    ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
    SimClearLog();
    EXPECT_EQ(camInitialiseCamera(state), 0);
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(state->frameRate, 0u);
    EXPECT_EQ(state->flickMax, 0);
}

TEST_F(CameraInit, AnErrorLatchedDuringTheSetupFailsIt) {
    Scenario("fault error 0xA0 9 fatal 0x02 1\n");
    Open();
    Raise();
    EXPECT_EQ(camInitialiseCamera(state), 0);
    EXPECT_EQ(Status(STATUS_FATAL_ERROR), 0);
}

TEST_F(CameraInit, PowerTransitionsWaitTheirTime) {
    Open();
    ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
    SimClearLog();
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
    Open();
    ASSERT_EQ(camInitialiseZELT_CAM(state, link), 1);
    SimClearLog();
    EXPECT_EQ(SetPowerState(state, POWER_HIGH), 0);
    EXPECT_EQ(state->powerState, POWER_LOW);
    EXPECT_EQ(Names().front(), "00/4");
    EXPECT_TRUE(Sent(0xA0, 6).empty());
    // The error was cleared: the next try works.
    EXPECT_EQ(SetPowerState(state, POWER_HIGH), 0);
    EXPECT_EQ(state->powerState, POWER_HIGH);
}

}  // namespace
