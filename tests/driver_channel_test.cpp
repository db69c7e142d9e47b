// DriverProc as a host calls it: driver messages, channel open and close with
// their usage accounting, and the channel dispatcher with format and palette
// negotiation on opened channels.
#include <sys/wait.h>
#include <unistd.h>

#include "driver_support.h"

namespace {

class DriverEntry : public DriverHost {};

// A host that crashes never closes its channel. A counter whose holder has
// ended is cleared at the next open; a holder still running, or none
// recorded, keeps the kind closed.
TEST_F(DriverEntry, ACounterLeftByAnotherProcessKeepsThatKindClosedUntilItEnds) {
    DWORD error = 0;
    WriteRegDword("CaptureUsage", 1);
    EXPECT_EQ(Open(VIDEO_EXTERNALIN, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));
    OpenVideoIn();  // the other kind is free
    CloseVideoIn();
    WriteRegDword("CaptureUsageProcess", static_cast<DWORD>(getppid()));
    EXPECT_EQ(Open(VIDEO_EXTERNALIN, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));
    WriteRegDword("CaptureUsage", 0);
    EXPECT_GT(Open(VIDEO_EXTERNALIN, "", &error), 1u);

    pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    WriteRegDword("VideoInUsage", 1);
    WriteRegDword("VideoInUsageProcess", static_cast<DWORD>(child));
    OpenVideoIn();
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 1u);
    EXPECT_EQ(ReadRegDword("VideoInUsageProcess", 0), GetCurrentProcessId());
    EXPECT_EQ(Open(VIDEO_IN, "", &error), 0u);  // held by this process now
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));
    CloseVideoIn();
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 0u);
    EXPECT_EQ(ReadRegDword("VideoInUsageProcess", 9), 0u);
}

TEST_F(DriverEntry, RefusedOpensSayWhyAndKeepNothing) {
    long blocks = PosixLiveLocalBlocks();
    DWORD error = 0;
    const struct {
        DWORD type;
        LRESULT error;
    } rows[] = {{VIDEO_OUT, DV_ERR_NOTSUPPORTED}, {VIDEO_EXTERNALOUT, DV_ERR_NOTSUPPORTED},
                {0, DV_ERR_NOTDETECTED},          {3, DV_ERR_NOTDETECTED},
                {5, DV_ERR_NOTDETECTED},          {0x0F, DV_ERR_NOTDETECTED}};
    for (const auto& row : rows) {
        EXPECT_EQ(Open(row.type, "", &error), 0u) << row.type;
        EXPECT_EQ(error, static_cast<DWORD>(row.error)) << row.type;
    }
    VIDEO_OPEN_PARMS parms;
    memset(&parms, 0, sizeof parms);
    parms.fccType = mmioFOURCC('v', 'i', 'd', 's');
    parms.dwFlags = VIDEO_IN;
    parms.dwError = 1234;
    EXPECT_EQ(Send(0, DRV_OPEN, 0, reinterpret_cast<LPARAM>(&parms)), 0);
    EXPECT_EQ(parms.dwError, 1234u);  // not a capture open: left alone
    EXPECT_EQ(PosixLiveLocalBlocks(), blocks);
    EXPECT_EQ(openCount, 0);
    EXPECT_EQ(ReadRegDword("Initialised", 7), 7u);  // no start-up ran
    // The configuration open needs no parameter block.
    EXPECT_EQ(Send(0, DRV_OPEN, 0, 0), 1);
    EXPECT_EQ(Send(1, DRV_CLOSE), 1);
    EXPECT_EQ(Send(0, DRV_CLOSE), 1);
    EXPECT_EQ(PosixLiveLocalBlocks(), blocks);
}

TEST_F(DriverEntry, HandlesThatAreNoChannelAreRefusedNotFollowed) {
    OpenVideoIn();
    DWORD words[8] = {0};
    for (DWORD_PTR id : {DWORD_PTR(2), DWORD_PTR(0x1234), reinterpret_cast<DWORD_PTR>(words)}) {
        EXPECT_EQ(Send(id, DRV_CLOSE), 0) << id;
        EXPECT_EQ(Send(id, DVM_GETVIDEOAPIVER, reinterpret_cast<LPARAM>(words)), DV_ERR_INVALHANDLE) << id;
    }
    EXPECT_EQ(openCount, 1);
    // No channel closes while a stream is initialised.
    streamInitialised = TRUE;
    EXPECT_EQ(Close(videoIn), 0);
    EXPECT_EQ(openCount, 1);
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 1u);
    streamInitialised = FALSE;
    DWORD_PTR closed = videoIn;
    CloseVideoIn();
    // A closed channel's handle is stale.
    EXPECT_EQ(Send(closed, DVM_GETVIDEOAPIVER, reinterpret_cast<LPARAM>(words)), DV_ERR_INVALHANDLE);
    EXPECT_EQ(Send(closed, DRV_CLOSE), 0);
}

class Channel : public DriverHost {
protected:
    DWORD_PTR external = 0;
    void SetUp() override {
        DriverHost::SetUp();
        OpenVideoIn();
        external = Open(VIDEO_EXTERNALIN);
        ASSERT_GT(external, 1u);
    }
    LRESULT Config(DWORD_PTR channel, UINT msg, DWORD flags, VIDEOCONFIGPARMS* parms) {
        return Send(channel, msg, flags, reinterpret_cast<LPARAM>(parms));
    }
};

}  // namespace
