// The simulated link driver as the link layer sees it: ports, device IDs,
// and uploads running on in virtual time.
#include <string.h>

#include <string>
#include <vector>

#include "sim_support.h"

namespace {

class SimLink : public SimMachine {};

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
    EXPECT_EQ((Ints{ZELT_GotoHiPower(printer), ZELT_GotoHiPower(link)}), (Ints{0, 1}));
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

TEST_F(SimLink, TheLogKeepsTheLastCommandsAndCountsThemAll) {
    OpenCamera();
    int before = SimCommandCount();
    uint64_t requests = SimLinkRequests();
    for (int i = 0; i < 9000; i++)
        ZELT_GetCameraStatus(link, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    int total = SimCommandCount();
    SimCommandRecord record;
    EXPECT_EQ((Ints{total - before, (long long)(SimLinkRequests() - requests), SimGetCommand(total - 8193, &record),
                    SimGetCommand(total - 8192, &record), SimGetCommand(total, &record), (long long)Commands().size()}),
              (Ints{9000, 9000, 0, 1, 0, 8192}));
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
    OpenInHighPower();
    StartTest();
    std::vector<DWORD> seen;
    BYTE state = UPLOAD_STARTED;
    DWORD bytes = 0;
    while (CLINK_GetUploadStatus(link, &state, &bytes) && state != UPLOAD_IDLE && state != UPLOAD_FAILED) {
        ASSERT_LE(state, UPLOAD_RUNNING);
        if (seen.empty() || seen.back() != bytes) seen.push_back(bytes);
    }
    EXPECT_EQ((Ints{state, bytes, PatternIntact(16384), buffer[16384]}), (Ints{UPLOAD_IDLE, 16384, 1, 0xEE}));
    for (DWORD b : seen) EXPECT_EQ(b % 4096, 0u) << b;
    EXPECT_GT(seen.size(), 2u);
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
    EXPECT_EQ((Ints{state, bytes, buffer[atAbort]}), (Ints{UPLOAD_IDLE, atAbort, 0xEE}));
}

TEST_F(SimUpload, InjectedUploadFaults) {
    Scenario("fault upload-failed 1\nfault upload-short 2 100\nfault upload-refused 3\n");
    OpenInHighPower();
    StartTest();
    EXPECT_EQ(WaitUpload(), UPLOAD_FAILED);
    // A failed upload has to be aborted before the next one starts.
    EXPECT_EQ(CLINK_StartUpload(link, 0, 0, 16384, buffer.data(), 4096, 0), 0u);
    ASSERT_EQ(CLINK_AbortUpload(link), 1u);
    StartTest();
    DWORD bytes = 0;
    EXPECT_EQ((Ints{WaitUpload(&bytes), bytes, CLINK_StartUpload(link, 0, 0, 16384, buffer.data(), 4096, 0)}),
              (Ints{UPLOAD_IDLE, 16384 - 100, 0}));
}

TEST_F(SimUpload, AnUploadWithNothingToComeFailsInsteadOfWaitingForEver) {
    OpenInHighPower();
    ASSERT_EQ(CLINK_StartUpload(link, 0, 0, 4096, buffer.data(), 4096, 1), 1u);
    EXPECT_EQ((Ints{WaitUpload(), buffer[0]}), (Ints{UPLOAD_FAILED, 0xEE}));
}

TEST_F(SimUpload, AFrameLargerThanTheBufferStopsAtItsEnd) {
    OpenInHighPower();
    ASSERT_EQ(ZELT_SetGrabMode(link, 1), 1u);
    ASSERT_EQ(ZELT_GrabFrame(link, 0), 1u);
    ASSERT_EQ(CLINK_StartUpload(link, 1, 0, 16384, buffer.data(), 4096, 1), 1u);
    DWORD bytes = 0;
    EXPECT_EQ((Ints{WaitUpload(&bytes), bytes <= 16384, buffer[16384]}), (Ints{UPLOAD_FAILED, 1, 0xEE}));
}

TEST_F(SimUpload, StreamInterruptCanBeRefused) {
    Scenario("fault no-stream-interrupt\n");
    OpenInHighPower();
    EXPECT_EQ(CLINK_StartUpload(link, 1, 1, 4096, buffer.data(), 4096, 1), 0u);
    SimUploadRecord record;
    ASSERT_EQ(SimGetUpload(0, &record), 1);
    EXPECT_EQ((Ints{record.accepted, record.streamInterrupt}), (Ints{0, 1}));
}

TEST_F(SimUpload, AVanishedCameraStopsAnswering) {
    Scenario("fault vanish 2\n");
    OpenCamera();
    EXPECT_EQ(ZELT_GotoHiPower(link), 1u);
    BYTE state = 0;
    EXPECT_EQ(ZELT_GetCameraStatus(link, &state, 0, 0, 0, 0, 0, 0, 0), 1u);
    state = 0x55;
    char id[64];
    EXPECT_EQ((Ints{ZELT_GetCameraStatus(link, &state, 0, 0, 0, 0, 0, 0, 0), state,
                    PPLINK_Get1284DeviceID(link, id, sizeof id)}),
              (Ints{0, 0x55, 0}));
    SimSetVanished(0);
    EXPECT_EQ((Ints{ZELT_GetCameraStatus(link, &state, 0, 0, 0, 0, 0, 0, 0), state}), (Ints{1, 3}));
}

}  // namespace
