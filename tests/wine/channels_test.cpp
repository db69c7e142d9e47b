// Opening and closing channels through winmm: what DRV_OPEN answers on
// each machine, the message order of the driver manager, and the usage
// counters in the registry across two loads of the module.
#include "wine_host.h"

namespace {

class Channels : public WineHost {};

TEST_F(Channels, OpenAnswersForEachMachine) {
    struct Row {
        const char* name;
        bool linkDriver;
        const char* scenario;
        DWORD type;
        DWORD error;
    };
    const Row rows[] = {
        {"camera, VIDEO_IN", true, "", VIDEO_IN, DV_ERR_OK},
        {"camera, VIDEO_EXTERNALIN", true, "", VIDEO_EXTERNALIN, DV_ERR_OK},
        {"camera on LPT2", true, "port 2 base 0x278 type 0x57 camera", VIDEO_IN, DV_ERR_OK},
        {"camera, VIDEO_OUT", true, "", VIDEO_OUT, DV_ERR_NOTSUPPORTED},
        {"camera, two type bits", true, "", VIDEO_IN | VIDEO_EXTERNALIN, DV_ERR_NOTDETECTED},
        {"no link driver", false, "", VIDEO_IN, DV_ERR_NOTDETECTED},
        {"no camera on any port", true, "port 1\nport 2\nport 3\n", VIDEO_IN, DV_ERR_NOTDETECTED},
        {"a printer on LPT1 only", true, "port 1 type 0x57 id MFG:Acme;MDL:Printer;\n", VIDEO_IN, DV_ERR_NOTDETECTED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetLinkDriverInstalled(row.linkDriver);
        ASSERT_EQ(SimSetScenario(row.scenario), 1);
        int dialogs = DialogsShown();
        DWORD error = 0xDEAD;
        DWORD start = GetTickCount();
        HDRVR channel = Open(row.type, &error);
        DWORD took = GetTickCount() - start;
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(channel != nullptr, row.error == DV_ERR_OK);
        EXPECT_EQ(DialogsShown(), dialogs) << "no message box on a failed open";
        if (!row.linkDriver) {
            EXPECT_LT(took, 500u) << "without a link driver the answer comes at once";
        }
        EXPECT_EQ(ReadDriverValue("Initialised", 0), row.error == DV_ERR_OK ? 1u : 0u);
        if (channel) Close(channel);
        EXPECT_EQ(ReadDriverValue("Initialised", 0), 0u);
        EXPECT_EQ(OpenLinkHandles(), 0);
    }
}

TEST_F(Channels, UsageCountersAndInitialisedAcrossTwoLoads) {
    for (int load = 1; load <= 2; load++) {
        SCOPED_TRACE("load " + std::to_string(load));
        ASSERT_TRUE(LoadDriverModule());
        HDRVR videoIn = Open(VIDEO_IN);
        ASSERT_TRUE(videoIn);
        DWORD error = 0;
        EXPECT_FALSE(Open(VIDEO_IN, &error)) << "one VIDEO_IN at a time";
        EXPECT_EQ(error, DV_ERR_TOOMANYCHANNELS);
        HDRVR external = Open(VIDEO_EXTERNALIN);
        ASSERT_TRUE(external);
        EXPECT_EQ(ReadDriverValue("VideoInUsage", 9), 1u);
        EXPECT_EQ(ReadDriverValue("CaptureUsage", 9), 1u);
        EXPECT_EQ(ReadDriverValue("Initialised", 9), 1u);
        Close(videoIn);
        EXPECT_EQ(ReadDriverValue("VideoInUsage", 9), 0u);
        EXPECT_EQ(ReadDriverValue("Initialised", 9), 1u) << "the camera stays up for the other channel";
        Close(external);
        EXPECT_EQ(ReadDriverValue("CaptureUsage", 9), 0u);
        EXPECT_EQ(ReadDriverValue("Initialised", 9), 0u);
        UnloadDriverModule();
    }
}

// A host that calls DriverProc itself (as LoadLibrary allows) and closes a
// channel twice, or names one that never was, gets 0 and nothing breaks:
// the driver finds no channel record behind such a handle in Windows's
// own local memory.
TEST_F(Channels, AClosedOrForeignChannelHandleIsRefused) {
    auto driverProc = reinterpret_cast<DRIVERPROC>(GetProcAddress(LoadDriverModule(), "DriverProc"));
    ASSERT_TRUE(driverProc);
    auto send = [&](DWORD_PTR id, UINT msg, LPARAM lParam2 = 0) { return driverProc(id, nullptr, msg, 0, lParam2); };
    ASSERT_EQ(send(0, DRV_LOAD), 1);
    ASSERT_EQ(send(0, DRV_ENABLE), 1);
    VIDEO_OPEN_PARMS parms = {};
    parms.dwSize = sizeof parms;
    parms.fccType = mmioFOURCC('v', 'c', 'a', 'p');
    parms.dwFlags = VIDEO_IN;
    DWORD_PTR channel = static_cast<DWORD_PTR>(send(0, DRV_OPEN, reinterpret_cast<LPARAM>(&parms)));
    ASSERT_GT(channel, 1u);
    EXPECT_EQ(send(channel, DRV_CLOSE), 1);
    EXPECT_EQ(send(channel, DRV_CLOSE), 0) << "closed twice";
    DWORD notAChannel[8] = {};
    EXPECT_EQ(send(reinterpret_cast<DWORD_PTR>(notAChannel), DRV_CLOSE), 0) << "memory that is no record";
    EXPECT_EQ(ReadDriverValue("VideoInUsage", 9), 0u);
    EXPECT_EQ(send(0, DRV_DISABLE), 0);
    EXPECT_EQ(send(0, DRV_FREE), 1);
}

// With tracing on, the start-up opens the trace window; lines come to it
// as posted messages, and at the end the driver offers to save them. The
// synchronous log shows the order in which the driver manager closes: the
// channel, then the session instance it opened first, then disable and free.
TEST_F(Channels, TheTraceWindowShowsTheLinesAndSavesThem) {
    WriteDriverValue("DebugLevel", 0x22);
    HDRVR videoIn = Open(VIDEO_IN);
    ASSERT_TRUE(videoIn);
    Current(videoIn);
    Pump(100);
    HWND window = FindWindowA(nullptr, "Driver Message Trace");
    ASSERT_TRUE(window);
    HWND list = GetDlgItem(window, 1200);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    ASSERT_GT(count, 3);
    char last[512] = "";
    SendMessageA(list, LB_GETTEXT, (WPARAM)(count - 1), (LPARAM)last);
    EXPECT_STREQ(last, "    DVM_FORMAT - ok");
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), count - 1) << "the newest line is selected";
    Play({WaitFor("Trace ends"), Click(IDYES)});
    Close(videoIn);
    EXPECT_TRUE(StepsDone());
    EXPECT_FALSE(IsWindow(window));
    std::string saved = WindowsFileText("mbktrace.log");
    EXPECT_NE(
        saved.find("VIDEO_CONFIGURE_GET : current\r\n    bitcnt = 24 comp = 0 (RGB) X size = 176 Y size = 144\r\n"),
        std::string::npos)
        << saved;
    std::string log = WindowsFileText("mbksynct.log");
    size_t close = log.find("DRV_CLOSE - 0x");
    ASSERT_NE(close, std::string::npos) << log;
    EXPECT_EQ(log.substr(log.find("    Final close\n")),
              "    Final close\n    DRV_CLOSE - res = ok\nDRV_CLOSE - 0x00000001\nDRV_DISABLE - ok\nDRV_FREE - ok\n");
}

}  // namespace
