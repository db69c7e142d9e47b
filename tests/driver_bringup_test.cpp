// The bring-up as a host meets it: DRV_OPEN of VIDEO_IN on simulated
// machines with the camera on each port, none, another maker's device, a
// port-mode ladder that fails or succeeds on its second rung, broken test
// patterns, an old link driver and a camera that will not take its
// settings; the trace lines a host's user reads; the language numbers.
#include <string>

#include "platform/posix/posix_windows.h"
#include "reliability_support.h"

namespace {

const DWORD kUnwritten = 0xBEEF;

class BringUp : public FaultHost {
protected:
    void TearDown() override {
        FaultHost::TearDown();
        PosixResetWindows();
        traceWindow = nullptr;
        PosixClearMessageBoxes();
    }
    void Machine(const char* scenario) { ASSERT_EQ(SimSetScenario(scenario), 1) << PosixLastProblem(); }
    // Opens VIDEO_IN; 0 and the reason when refused.
    DWORD_PTR OpenIn(const char* openString, DWORD* error) {
        *error = 0;
        return Open(VIDEO_IN, openString, error);
    }
    // A refused open that leaves nothing behind.
    void ExpectRefused(const char* openString = "") {
        DWORD error = 0;
        EXPECT_EQ(OpenIn(openString, &error), 0u);
        EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_NOTDETECTED));
        PosixRunMessages();
        EXPECT_EQ(Holdings::Now(), before);
        EXPECT_EQ(SelectedDevice(), nullptr);
        EXPECT_EQ(ReadRegDword("Initialised", 0), 0u);
        EXPECT_EQ(ReadRegDword("VideoInUsage", 0), 0u);
    }
    int CommandsSent(int module, int command) {
        int n = 0;
        for (int i = 0; i < SimCommandCount(); i++) {
            SimCommandRecord record;
            if (SimGetCommand(i, &record) && record.module == module && record.command == command) n++;
        }
        return n;
    }
    bool BoxShown(const char* text) {
        for (int i = 0; i < PosixMessageBoxCount(); i++)
            if (std::string(PosixMessageBoxText(i)) == text) return true;
        return false;
    }
    std::string SyncLog() { return ReadFileText(HomeFile("mbksynct.log")); }
};

TEST_F(BringUp, TheCameraIsFoundOnEachPortAndThePreferredPortIsProbedFirst) {
    const char* machines[] = {"port 1 base 0x378 type 0x57 camera", "port 2 base 0x278 type 0x57 camera",
                              "port 3 base 0x3BC type 0x57 camera"};
    for (DWORD port = 1; port <= 3; port++) {
        // The port found last time is preferred, and absent here.
        Machine(machines[port - 1]);
        DWORD error = 0;
        DWORD_PTR channel = OpenIn("", &error);
        ASSERT_GT(channel, 1u) << port;
        EXPECT_EQ(portNumber, port);
        EXPECT_EQ(ReadRegDword("LPTPort", 0), port);
        EXPECT_EQ(SelectedDevice()->port, static_cast<int>(port));
        EXPECT_EQ(Close(channel), 1);
    }
    PosixRunMessages();
    EXPECT_EQ(Holdings::Now(), before);

    // With tracing on, the synchronous log shows the probes in their order:
    // the open string's port first, then the sweep from LPT1.
    WriteRegDword("DebugLevel", OPT_TRACE_ON | OPT_SYNC_LOG);
    Machine(
        "port 1 base 0x378 type 0x01 id MFG:Acme;MDL:Printer;\nport 2 base 0x278 type 0x57 camera\n"
        "port 3 base 0x3BC type 0x17");
    DWORD error = 0;
    DWORD_PTR channel = OpenIn("LPT3", &error);
    ASSERT_GT(channel, 1u);
    EXPECT_EQ(portNumber, 2u);
    std::string log = SyncLog();
    size_t third = log.find("Detected LPT3 : Base=0x3bc    Type=0x17");
    size_t first = log.find("Detected LPT1 : Base=0x378    Type=0x1");
    size_t second = log.find("Detected LPT2 : Base=0x278    Type=0x57");
    size_t found = log.find("Found camera on LPT2");
    ASSERT_NE(third, std::string::npos) << log;
    ASSERT_NE(first, std::string::npos) << log;
    ASSERT_NE(second, std::string::npos) << log;
    ASSERT_NE(found, std::string::npos) << log;
    EXPECT_LT(third, first);
    EXPECT_LT(first, second);
    EXPECT_LT(second, found);
    EXPECT_EQ(log.find("Found camera on LPT3"), std::string::npos);
    EXPECT_EQ(ReadRegDword("PortType", 0), 0x57u);
    // The host's messages leave their lines too.
    EXPECT_EQ(Send(channel, DRV_USER + 0x777), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Close(channel), 1);
    log = SyncLog();
    EXPECT_NE(log.find("    DRV_OPEN - handle = 0x"), std::string::npos) << log;
    EXPECT_NE(log.find("Unknown message 0x4777"), std::string::npos) << log;
    EXPECT_NE(log.find("DRV_CLOSE - 0x"), std::string::npos) << log;
    EXPECT_NE(log.find("    Final close"), std::string::npos) << log;
}

TEST_F(BringUp, NoCameraOrAnotherMakersDeviceIsOneAttemptAndNotDetected) {
    WriteRegDword("DebugLevel", OPT_BRINGUP_BOXES);
    const char* machines[] = {
        "port 1 type 0x57",                                             // a port, nothing on it
        "port 1 type 0x57 id MFG:Acme;MDL:Printer;\nport 2 type 0x17",  // another maker's device
        "port 2 type 0x57 camera noid",                                 // an ID that cannot be read
        "port 1 type 0x57 camera refuse",                               // the link driver will not attach it
    };
    for (const char* machine : machines) {
        Machine(machine);
        PosixClearMessageBoxes();
        ExpectRefused();
        // Nothing was found, so no slower port mode is tried or recorded.
        EXPECT_EQ(DriverOptions & 0x58, 0) << machine;
        EXPECT_EQ(ReadRegDword("BackoffLevel", kUnwritten), kUnwritten) << machine;
        EXPECT_EQ(ReadRegDword("LPTPort", kUnwritten), 0u) << machine;
        ASSERT_EQ(PosixMessageBoxCount(), 1) << machine;
        EXPECT_STREQ(PosixMessageBoxText(0), "Unable to detect a camera");
        EXPECT_STREQ(PosixMessageBoxCaption(0), "DBG_INITTARN");
        EXPECT_EQ(PosixMessageBoxType(0), 0x30u);
    }
    EXPECT_EQ(ReadRegDword("PortType", 0), 0x57u);  // the last port probed
}

TEST_F(BringUp, ALadderThatFailsOnEveryRungEndsAtNibbleModeAndRecordsNothing) {
    const char* machines[] = {
        "fault error 0x00 4 cmd 0x01",  // high power refused every time
        "fault pattern 100 7",          // one wrong test-pattern byte every time
        "fault pattern all",            // every byte wrong
        "fault upload-short all 100",   // the test stream arrives short
        "fault upload-failed all",      // it goes to state 6 halfway
        "fault upload-refused all",     // it never starts
    };
    for (const char* machine : machines) {
        Machine(machine);
        ExpectRefused();
        // 0xFF -> 0x37 -> 0x07 -> 0x01: four attempts, each with high power asked.
        EXPECT_EQ(CommandsSent(0x00, 4), 4) << machine;
        EXPECT_EQ(DriverOptions & 0x58, 0x58) << machine;
        EXPECT_EQ(ReadRegDword("BackoffLevel", kUnwritten), kUnwritten) << machine;
        EXPECT_EQ(SimOpenLinks(), 0) << machine;
    }
}

TEST_F(BringUp, ALadderThatSucceedsOnTheSecondRungRunsWithoutFastDmaUntilTheFinalClose) {
    const char* machines[] = {
        "fault error 0x00 4 cmd 0x01 1",  // high power refused the first time only
        "fault upload-failed 1",          // the first test stream goes to state 6
        "fault upload-short 1 100",       // the first test stream arrives short
    };
    for (const char* machine : machines) {
        Machine(machine);
        OpenVideoIn();
        EXPECT_EQ(SelectedDevice()->portMode, 0x17) << machine;
        EXPECT_EQ(DriverOptions & 0x58, 0x40) << machine;
        EXPECT_EQ(ReadRegDword("BackoffLevel", kUnwritten), 0x40u) << machine;
        EXPECT_EQ(SimOpenLinks(), 1) << machine;
        // Frames come over the slower mode.
        VIDEOHDR header = headers[0];
        EXPECT_EQ(Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header), DV_ERR_OK);
        CloseVideoIn();
        // The save at release puts the ladder back to its top for the next start.
        EXPECT_EQ(ReadRegDword("BackoffLevel", kUnwritten), 0u) << machine;
        PosixRunMessages();
        EXPECT_EQ(Holdings::Now(), before) << machine;
    }
}

TEST_F(BringUp, AnOldLinkDriverSaysSoAndNothingOpens) {
    Machine("linkversion 17");
    ExpectRefused();
    EXPECT_TRUE(BoxShown("The Video Capture driver is not installed properly"));
    EXPECT_EQ(SimOpenLinks(), 0);
    // Version 18 is new enough.
    Machine("linkversion 18");
    PosixClearMessageBoxes();
    DWORD error = 0;
    EXPECT_GT(OpenIn("", &error), 1u);
    EXPECT_EQ(PosixMessageBoxCount(), 0);
}

// A camera that comes up but will not take its initial settings is not
// half used: the open fails as a whole (the box says which step), and the
// next open starts from nothing.
TEST_F(BringUp, ACameraThatRefusesItsInitialSettingsFailsTheOpenAndReleasesEverything) {
    WriteRegDword("DebugLevel", OPT_BRINGUP_BOXES);
    Machine("fault error 0xA0 9 cmd 0x04 1");  // ZELT_SetCorrectionGains, sent only by that step
    ExpectRefused();
    EXPECT_TRUE(BoxShown("Failed camInitialiseCamera"));
    EXPECT_FALSE(BoxShown("Unable to detect a camera"));
    EXPECT_EQ(SimOpenLinks(), 0);
    // The fault is spent: the next open brings the camera up from nothing.
    DWORD error = 0;
    DWORD_PTR channel = OpenIn("", &error);
    ASSERT_GT(channel, 1u);
    EXPECT_EQ(Close(channel), 1);
}

TEST_F(BringUp, EveryLanguageNumberAndNameChoosesItsRow) {
    const UINT rows[][3] = {{103, 104, 105}, {106, 107, 108}, {115, 116, 117},
                            {109, 110, 111}, {112, 113, 114}, {118, 119, 120}};
    for (DWORD n = 0; n <= 6; n++) {
        WriteRegDword("Language", n);
        DWORD error = 0;
        DWORD_PTR channel = OpenIn("", &error);
        ASSERT_GT(channel, 1u);
        const UINT* row = rows[n <= 5 ? n : 0];
        EXPECT_EQ(cameraSettingsDialogId, row[0]) << n;
        EXPECT_EQ(advancedSettingsDialogId, row[1]) << n;
        EXPECT_EQ(videoFormatDialogId, row[2]) << n;
        EXPECT_EQ(Close(channel), 1);
    }
    // Each name, stored as text, in its exact spelling.
    const char* names[] = {"French", "Italiano", "German", "Spanish", "Portuguese", "U.S. English"};
    const int rowOf[] = {1, 2, 3, 4, 5, 0};
    for (int i = 0; i < 6; i++) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, "Language", 0, REG_SZ, reinterpret_cast<const BYTE*>(names[i]),
                       static_cast<DWORD>(strlen(names[i]) + 1));
        RegCloseKey(key);
        DWORD error = 0;
        DWORD_PTR channel = OpenIn("", &error);
        ASSERT_GT(channel, 1u);
        EXPECT_EQ(cameraSettingsDialogId, rows[rowOf[i]][0]) << names[i];
        EXPECT_EQ(advancedSettingsDialogId, rows[rowOf[i]][1]) << names[i];
        EXPECT_EQ(videoFormatDialogId, rows[rowOf[i]][2]) << names[i];
        EXPECT_EQ(Close(channel), 1);
    }
}

}  // namespace
