// The simulated link driver as the link layer sees it: ports, device IDs,
// and uploads running on in virtual time.
#include <string.h>

#include <string>
#include <vector>

#include "sim_support.h"

namespace {

class SimLink : public SimMachine {};

TEST_F(SimLink, TheDefaultMachineHasTheCameraOnLpt1Only) {
    OpenCamera();
    WORD base = 0;
    BYTE type = 0;
    EXPECT_EQ(PPLINK_GetPortInfo(link, &base, &type, nullptr), 1u);
    EXPECT_EQ(base, 0x378);
    EXPECT_EQ(type, 0x57);
    char id[256];
    ASSERT_EQ(PPLINK_Get1284DeviceID(link, id, sizeof id), 1u);
    EXPECT_NE(strstr(id, "Marbeck Ltd"), nullptr);
    EXPECT_EQ(PPLINK_CreateLink(2), nullptr);
    EXPECT_EQ(PPLINK_CreateLink(3), nullptr);
    EXPECT_EQ(PPLINK_CreateLink(0), nullptr);
}

TEST_F(SimLink, PortsCarryTheirOwnIdsOrNone) {
    Scenario("port 1 type 0x01 id MFG:Acme;MDL:Printer 9;\nport 2 type 0x17\nport 3 camera noid\n");
    char id[256];
    Link* printer = OpenLink(1);
    ASSERT_NE(printer, nullptr);
    ASSERT_EQ(PPLINK_Get1284DeviceID(printer, id, sizeof id), 1u);
    EXPECT_STREQ(id, "MFG:Acme;MDL:Printer 9;");
    Link* empty = OpenLink(2);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(PPLINK_Get1284DeviceID(empty, id, sizeof id), 0u);
    link = OpenLink(3);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(PPLINK_Get1284DeviceID(link, id, sizeof id), 0u);
    // Only the camera's port answers commands.
    EXPECT_EQ(ZELT_GotoHiPower(printer), 0u);
    EXPECT_EQ(ZELT_GotoHiPower(link), 1u);
    PPLINK_DestroyLink(printer);
    PPLINK_DestroyLink(empty);
}

TEST_F(SimLink, RefusalsAndOldDriversLeaveNoHandleOpen) {
    Scenario("port 1 camera refuse\n");
    EXPECT_EQ(PPLINK_CreateLink(1), nullptr);
    Scenario("linkversion 17\n");
    EXPECT_EQ(PPLINK_CreateLink(1), nullptr);
    Scenario("linkversion 18\nfault detach-refused\n");
    Link* stuck = PPLINK_CreateLink(1);
    ASSERT_NE(stuck, nullptr);
    EXPECT_EQ(PPLINK_DestroyLink(stuck), 0u);
    EXPECT_EQ(SimOpenLinks(), 1);
    SimReset();  // detaches it; the handle is still ours to close
    EXPECT_EQ(PPLINK_DestroyLink(stuck), 1u);
}

TEST_F(SimLink, TheCameraAnswersOnlyOnAnInitialisedLink) {
    link = PPLINK_CreateLink(1);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(ZELT_GotoHiPower(link), 0u);
    EXPECT_EQ(PPLINK_SendWakeup(link), 0u);
    ASSERT_EQ(PPLINK_InitialiseLink(link), 1u);
    EXPECT_EQ(ZELT_GotoHiPower(link), 1u);
    EXPECT_EQ(PPLINK_DeinitialiseLink(link), 1u);
    EXPECT_EQ(ZELT_GotoLoPower(link), 0u);
    EXPECT_EQ(Commands().back().answered, 0);
}

TEST_F(SimLink, TheLogKeepsTheLastCommandsAndCountsThemAll) {
    OpenCamera();
    int before = SimCommandCount();
    uint64_t requests = SimLinkRequests();
    for (int i = 0; i < 9000; i++)
        ZELT_GetCameraStatus(link, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    int total = SimCommandCount();
    EXPECT_EQ(total, before + 9000);
    EXPECT_EQ(SimLinkRequests() - requests, 9000u);
    SimCommandRecord record;
    EXPECT_EQ(SimGetCommand(total - 8193, &record), 0);
    EXPECT_EQ(SimGetCommand(total - 8192, &record), 1);
    EXPECT_EQ(SimGetCommand(total, &record), 0);
    EXPECT_EQ(Commands().size(), 8192u);
}

class SimUpload : public SimMachine {
protected:
    std::vector<BYTE> buffer = std::vector<BYTE>(16384 + 64, 0xEE);
    void StartTest(DWORD count = 16384) {
        ASSERT_EQ(ZELT_StartTestStream(link), 1u);
        ASSERT_EQ(CLINK_StartUpload(link, 0, 0, count, buffer.data(), 4096, 0), 1u);
    }
    bool PatternIntact(DWORD count) {
        for (DWORD i = 0; i < count; i++)
            if (buffer[i] != (BYTE)i) return false;
        return true;
    }
};

TEST_F(SimUpload, TheTestStreamArrivesInWholeBurstsAndExactlyFills) {
    OpenCamera();
    HighPower();
    StartTest();
    std::vector<DWORD> seen;
    BYTE state = UPLOAD_STARTED;
    DWORD bytes = 0;
    while (CLINK_GetUploadStatus(link, &state, &bytes) && state != UPLOAD_IDLE && state != UPLOAD_FAILED) {
        ASSERT_LE(state, UPLOAD_RUNNING);
        if (seen.empty() || seen.back() != bytes) seen.push_back(bytes);
    }
    EXPECT_EQ(state, UPLOAD_IDLE);
    EXPECT_EQ(bytes, 16384u);
    for (DWORD b : seen) EXPECT_EQ(b % 4096, 0u) << b;
    EXPECT_GT(seen.size(), 2u);
    EXPECT_TRUE(PatternIntact(16384));
    EXPECT_EQ(buffer[16384], 0xEE);  // nothing past the count
}

TEST_F(SimUpload, ASlowerPortModeTakesLonger) {
    int fast = 0, slow = 0;
    OpenCamera();
    HighPower();
    StartTest();
    EXPECT_EQ(WaitUpload(nullptr, &fast), UPLOAD_IDLE);
    PPLINK_DestroyLink(link);
    OpenCamera(0x01);
    StartTest();
    EXPECT_EQ(WaitUpload(nullptr, &slow), UPLOAD_IDLE);
    EXPECT_GT(slow, fast * 10);
}

TEST_F(SimUpload, AnAbortedUploadWritesNoMore) {
    OpenCamera(0x01);
    HighPower();
    StartTest();
    BYTE state = 0;
    DWORD bytes = 0;
    while (CLINK_GetUploadStatus(link, &state, &bytes) && bytes == 0) {
    }
    ASSERT_EQ(CLINK_AbortUpload(link), 1u);
    DWORD atAbort = bytes;
    PosixClockAdvance(1000);
    EXPECT_EQ(CLINK_GetUploadStatus(link, &state, &bytes), 1u);
    EXPECT_EQ(state, UPLOAD_IDLE);
    EXPECT_EQ(bytes, atAbort);
    EXPECT_EQ(buffer[atAbort], 0xEE);
}

TEST_F(SimUpload, InjectedUploadFaults) {
    Scenario("fault upload-failed 1\nfault upload-short 2 100\nfault upload-refused 3\n");
    OpenCamera();
    HighPower();
    StartTest();
    EXPECT_EQ(WaitUpload(), UPLOAD_FAILED);
    // A failed upload has to be aborted before the next one starts.
    EXPECT_EQ(CLINK_StartUpload(link, 0, 0, 16384, buffer.data(), 4096, 0), 0u);
    ASSERT_EQ(CLINK_AbortUpload(link), 1u);
    StartTest();
    DWORD bytes = 0;
    EXPECT_EQ(WaitUpload(&bytes), UPLOAD_IDLE);
    EXPECT_EQ(bytes, 16384u - 100);
    EXPECT_EQ(CLINK_StartUpload(link, 0, 0, 16384, buffer.data(), 4096, 0), 0u);
}

TEST_F(SimUpload, CorruptedPatternBytes) {
    Scenario("fault pattern 100 7\nfault pattern 5000\n");
    OpenCamera();
    HighPower();
    StartTest();
    EXPECT_EQ(WaitUpload(), UPLOAD_IDLE);
    EXPECT_EQ(buffer[100], 7);
    EXPECT_EQ(buffer[5000], (BYTE) ~(BYTE)5000);
    buffer[100] = 100;
    buffer[5000] = (BYTE)5000;
    EXPECT_TRUE(PatternIntact(16384));
}

TEST_F(SimUpload, AnUploadWithNothingToComeFailsInsteadOfWaitingForEver) {
    OpenCamera();
    HighPower();
    ASSERT_EQ(CLINK_StartUpload(link, 0, 0, 4096, buffer.data(), 4096, 1), 1u);
    EXPECT_EQ(WaitUpload(), UPLOAD_FAILED);
    EXPECT_EQ(buffer[0], 0xEE);
}

TEST_F(SimUpload, AFrameLargerThanTheBufferStopsAtItsEnd) {
    OpenCamera();
    HighPower();
    ASSERT_EQ(ZELT_SetGrabMode(link, 1), 1u);
    ASSERT_EQ(ZELT_GrabFrame(link, 0), 1u);
    ASSERT_EQ(CLINK_StartUpload(link, 1, 0, 16384, buffer.data(), 4096, 1), 1u);
    DWORD bytes = 0;
    EXPECT_EQ(WaitUpload(&bytes), UPLOAD_FAILED);
    EXPECT_LE(bytes, 16384u);
    EXPECT_EQ(buffer[16384], 0xEE);
}

TEST_F(SimUpload, StreamInterruptCanBeRefused) {
    Scenario("fault no-stream-interrupt\n");
    OpenCamera();
    HighPower();
    EXPECT_EQ(CLINK_StartUpload(link, 1, 1, 4096, buffer.data(), 4096, 1), 0u);
    SimUploadRecord record;
    ASSERT_EQ(SimGetUpload(0, &record), 1);
    EXPECT_EQ(record.accepted, 0);
    EXPECT_EQ(record.streamInterrupt, 1u);
}

TEST_F(SimUpload, AVanishedCameraStopsAnswering) {
    Scenario("fault vanish 2\n");
    OpenCamera();
    EXPECT_EQ(ZELT_GotoHiPower(link), 1u);
    BYTE state = 0;
    EXPECT_EQ(ZELT_GetCameraStatus(link, &state, 0, 0, 0, 0, 0, 0, 0), 1u);
    state = 0x55;
    EXPECT_EQ(ZELT_GetCameraStatus(link, &state, 0, 0, 0, 0, 0, 0, 0), 0u);
    EXPECT_EQ(state, 0x55);
    char id[64];
    EXPECT_EQ(PPLINK_Get1284DeviceID(link, id, sizeof id), 0u);
    SimSetVanished(0);
    EXPECT_EQ(ZELT_GetCameraStatus(link, &state, 0, 0, 0, 0, 0, 0, 0), 1u);
    EXPECT_EQ(state, 3);
}

}  // namespace
