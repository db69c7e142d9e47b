// The bring-up as a host meets it: DRV_OPEN of VIDEO_IN on simulated
// machines with the camera on each port, an old link driver, a camera that
// refuses its settings, an error latched on each bring-up command in turn;
// the open string. A refused open leaves nothing behind.
#include <set>
#include <string>
#include <utility>

#include "reliability_support.h"

namespace {

class BringUp : public FaultHost {
protected:
    void TearDown() override {
        FaultHost::TearDown();
        PosixResetWindows();
        traceWindow = nullptr;
        PosixClearMessageBoxes();
    }
    void Machine(const char* scenario) { ASSERT_EQ(SimSetScenario(scenario), 1) << PosixLastProblem(); }
    // Opens VIDEO_IN (on a new machine unless null) and closes it again;
    // whether it opened. A refusal says the camera was not found, and
    // either way nothing is left: no memory block, link, timer, device,
    // channel count.
    bool OpenUnder(const char* scenario, const char* openString = "") {
        if (scenario) Machine(scenario);
        DWORD error = 0;
        DWORD_PTR channel = Open(VIDEO_IN, openString, &error);
        if (channel > 1) {
            EXPECT_EQ(Close(channel), 1);
        } else {
            EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_NOTDETECTED));
        }
        PosixRunMessages();
        EXPECT_EQ(Holdings::Now(), before);
        EXPECT_EQ(SelectedDevice(), nullptr);
        EXPECT_EQ(ReadRegDword("Initialised", 0), 0u);
        EXPECT_EQ(ReadRegDword("VideoInUsage", 0), 0u);
        return channel > 1;
    }
    static bool BoxShown(const char* text) {
        for (int i = 0; i < PosixMessageBoxCount(); i++)
            if (std::string(PosixMessageBoxText(i)) == text) return true;
        return false;
    }
};

TEST_F(BringUp, TheCameraIsFoundOnEachPortAndThePreferredPortIsProbedFirst) {
    for (DWORD port = 1; port <= 3; port++) {
        // The port found last time is preferred, and absent here.
        const char* machines[] = {"port 1 base 0x378 type 0x57 camera", "port 2 base 0x278 type 0x57 camera",
                                  "port 3 base 0x3BC type 0x57 camera"};
        EXPECT_TRUE(OpenUnder(machines[port - 1])) << port;
        EXPECT_EQ(portNumber, port);
        EXPECT_EQ(ReadRegDword("LPTPort", 0), port);
    }
    // With tracing on, the synchronous log shows the probes in their order:
    // the open string's port first, then the sweep from LPT1.
    WriteRegDword("DebugLevel", OPT_TRACE_ON | OPT_SYNC_LOG);
    Machine(
        "port 1 base 0x378 type 0x01 id MFG:Acme;MDL:Printer;\nport 2 base 0x278 type 0x57 camera\n"
        "port 3 base 0x3BC type 0x17");
    ASSERT_NO_FATAL_FAILURE(DriverHost::OpenVideoIn("LPT3"));
    EXPECT_EQ(portNumber, 2u);
    EXPECT_EQ(SelectedDevice()->port, 2);
    std::string log = SyncLog();
    size_t at[] = {log.find("Detected LPT3 : Base=0x3bc    Type=0x17"),
                   log.find("Detected LPT1 : Base=0x378    Type=0x1"),
                   log.find("Detected LPT2 : Base=0x278    Type=0x57"), log.find("Found camera on LPT2")};
    for (size_t n = 0; n < 4; n++) ASSERT_NE(at[n], std::string::npos) << n << log;
    for (size_t n = 1; n < 4; n++) EXPECT_LT(at[n - 1], at[n]) << n;
    EXPECT_EQ(log.find("Found camera on LPT3"), std::string::npos);
    EXPECT_EQ(ReadRegDword("PortType", 0), 0x57u);
    // The host's messages leave their lines too, and every 50th frame the
    // count of good and failed ones.
    EXPECT_EQ(Send(videoIn, DRV_USER + 0x777), DV_ERR_NOTSUPPORTED);
    goodFrames = badFrames = 0;
    EXPECT_EQ(Frame(videoIn), DV_ERR_OK);
    for (int n = 0; n < 49; n++) EXPECT_EQ(Send(videoIn, DVM_FRAME, 0), DV_ERR_PARAM1);
    CloseVideoIn();
    log = SyncLog();
    for (const char* line : {"    DRV_OPEN - handle = 0x", "Unknown message 0x4777", "DRV_CLOSE - 0x",
                             "    Final close", "DVM_FRAME - (good 1 bad 49) cur = error"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

TEST_F(BringUp, AnOldLinkDriverOrACameraThatRefusesItsSettingsFailsTheOpenAndSaysWhy) {
    EXPECT_FALSE(OpenUnder("linkversion 17"));
    EXPECT_TRUE(BoxShown("The Video Capture driver is not installed properly"));
    PosixClearMessageBoxes();
    EXPECT_TRUE(OpenUnder("linkversion 18"));
    EXPECT_EQ(PosixMessageBoxCount(), 0);
    // A camera that comes up but will not take its initial settings is not
    // half used: the open fails as a whole (the box says which step), and
    // the fault spent, the next open starts from nothing.
    WriteRegDword("DebugLevel", OPT_BRINGUP_BOXES);
    EXPECT_FALSE(OpenUnder("fault error 0xA0 9 cmd 0x04 1"));  // ZELT_SetCorrectionGains, sent only by that step
    EXPECT_TRUE(BoxShown("Failed camInitialiseCamera"));
    EXPECT_FALSE(BoxShown("Unable to detect a camera"));
    EXPECT_TRUE(OpenUnder(nullptr));
}

TEST_F(BringUp, AnErrorOnEachCommandInTurnReleasesEverythingOnce) {
    std::set<std::pair<int, int>> commands;
    ASSERT_TRUE(OpenUnder(nullptr));
    SimCommandRecord record;
    for (int i = 0; SimGetCommand(i, &record); i++) commands.insert({record.module, record.command});
    ASSERT_GT(commands.size(), 5u);
    int refused = 0;
    for (const auto& command : commands) {
        char text[96];
        // Every time the command is sent, and only the first time.
        snprintf(text, sizeof text, "fault error 0x%02x %d cmd 0x01", command.first, command.second);
        if (!OpenUnder(text)) refused++;
        snprintf(text, sizeof text, "fault error 0x%02x %d fatal 0x80 1", command.first, command.second);
        if (!OpenUnder(text)) refused++;
    }
    // Errors on the bring-up's commands mostly stop it; and the camera comes
    // up again once it behaves.
    EXPECT_GT(refused, 0);
    EXPECT_TRUE(OpenUnder(""));
}

TEST_F(BringUp, TheOpenStringNamesTheIniFileAndThePort) {
    EXPECT_TRUE(OpenUnder(nullptr));
    EXPECT_STREQ(iniPath, "mbkzelt.ini");
    EXPECT_EQ(portNumber, 1u);  // none preferred: the first port
    // The camera where the string says.
    EXPECT_TRUE(OpenUnder("port 2 camera\n", "lpt2 c:\\cam\\MySet.Ini"));
    EXPECT_STREQ(iniPath, "c:\\cam\\MySet.Ini");
    EXPECT_EQ(portNumber, 2u);
    WriteRegDword("LPTPort", 3);
    EXPECT_TRUE(OpenUnder("port 3 camera\n", "LPT4"));
    EXPECT_EQ(portNumber, 3u);
    EXPECT_TRUE(OpenUnder(nullptr, "x.inifile y"));
    EXPECT_STREQ(iniPath, "x.ini");
    // Keywords are not searched in so long a string.
    EXPECT_TRUE(OpenUnder(nullptr, (std::string(300, 'a') + " LPT2 b.ini").c_str()));
    EXPECT_STREQ(iniPath, "mbkzelt.ini");
    EXPECT_EQ(portNumber, 3u);
    EXPECT_TRUE(OpenUnder(nullptr, nullptr)) << "a null string reads as empty";
}

}  // namespace
