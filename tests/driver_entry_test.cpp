// DriverProc as a host calls it: driver messages, channel open and close and
// their usage accounting.
#include <sys/wait.h>
#include <unistd.h>

#include "driver_support.h"

namespace {

class DriverEntry : public DriverHost {};

TEST_F(DriverEntry, GenericMessagesAnswerAsTheHostExpects) {
    EXPECT_EQ(Send(0, DRV_QUERYCONFIGURE), 1);
    EXPECT_EQ(Send(0, DRV_INSTALL), 1);
    EXPECT_EQ(Send(0, DRV_REMOVE), 1);
    EXPECT_EQ(Send(0, DRV_CONFIGURE), 1);
    EXPECT_EQ(Send(0, DRV_DISABLE), 0);
    EXPECT_EQ(Send(0, DRV_ENABLE), 1);
    // Outside 1..10 with no channel: the driver manager's default answer.
    EXPECT_EQ(Send(0, 0), DefDriverProc(0, nullptr, 0, 0, 0));
    EXPECT_EQ(Send(1, 11), DefDriverProc(1, nullptr, 11, 0, 0));
    EXPECT_EQ(Send(0, DRV_USER + 5), 0);
}

TEST_F(DriverEntry, TwoChannelKindsShareOneCameraAndCountTheirOpens) {
    DWORD error = 0;
    DWORD_PTR videoIn = Open(VIDEO_IN, "", &error);
    ASSERT_GT(videoIn, 1u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_OK));
    EXPECT_EQ(ReadRegDword("Initialised", 0), 1u);
    HLOCAL camera = deviceHandle;
    DWORD_PTR external = Open(VIDEO_EXTERNALIN, "", &error);
    ASSERT_GT(external, 1u);
    EXPECT_EQ(deviceHandle, camera);  // one start-up only
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 1u);
    EXPECT_EQ(ReadRegDword("CaptureUsage", 9), 1u);
    EXPECT_EQ(openCount, 2);

    EXPECT_EQ(Open(VIDEO_IN, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));

    EXPECT_EQ(Close(videoIn), 1);
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 0u);
    EXPECT_TRUE(initialised);  // the other channel still holds the camera
    EXPECT_EQ(ReadRegDword("Initialised", 0), 1u);
    EXPECT_EQ(Close(external), 1);
    EXPECT_FALSE(initialised);
    EXPECT_EQ(ReadRegDword("Initialised", 9), 0u);
    EXPECT_EQ(ReadRegDword("CaptureUsage", 9), 0u);

    videoIn = Open(VIDEO_IN, "", &error);
    EXPECT_GT(videoIn, 1u);
    EXPECT_EQ(Close(videoIn), 1);
}

TEST_F(DriverEntry, ACounterLeftByAnotherProcessKeepsThatKindClosed) {
    WriteRegDword("CaptureUsage", 1);
    DWORD error = 0;
    EXPECT_EQ(Open(VIDEO_EXTERNALIN, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));
    EXPECT_GT(Open(VIDEO_IN, "", &error), 1u);  // the other kind is free
    WriteRegDword("CaptureUsage", 0);
    EXPECT_GT(Open(VIDEO_EXTERNALIN, "", &error), 1u);
}

// A host that crashes never closes its channel. A counter whose holder has
// ended is cleared at the next open; a holder still running keeps the kind
// closed, as does a counter with no holder recorded (above).
TEST_F(DriverEntry, ACounterLeftByAnEndedProcessIsClearedAtTheNextOpen) {
    pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    WriteRegDword("VideoInUsage", 1);
    WriteRegDword("VideoInUsageProcess", static_cast<DWORD>(child));
    DWORD error = 0;
    DWORD_PTR videoIn = Open(VIDEO_IN, "", &error);
    ASSERT_GT(videoIn, 1u);
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 1u);
    EXPECT_EQ(ReadRegDword("VideoInUsageProcess", 0), GetCurrentProcessId());
    EXPECT_EQ(Open(VIDEO_IN, "", &error), 0u);  // held by this process now
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));
    EXPECT_EQ(Close(videoIn), 1);
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 0u);
    EXPECT_EQ(ReadRegDword("VideoInUsageProcess", 9), 0u);

    WriteRegDword("CaptureUsage", 1);
    WriteRegDword("CaptureUsageProcess", static_cast<DWORD>(getppid()));
    EXPECT_EQ(Open(VIDEO_EXTERNALIN, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));
    WriteRegDword("CaptureUsage", 0);
}

TEST_F(DriverEntry, RefusedOpensSayWhyAndKeepNothing) {
    long blocks = PosixLiveLocalBlocks();
    DWORD error = 0;
    EXPECT_EQ(Open(VIDEO_OUT, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_NOTSUPPORTED));
    EXPECT_EQ(Open(VIDEO_EXTERNALOUT, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_NOTSUPPORTED));
    for (DWORD type : {0u, 3u, 5u, 0x0Fu}) {
        EXPECT_EQ(Open(type, "", &error), 0u) << type;
        EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_NOTDETECTED)) << type;
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
}

TEST_F(DriverEntry, TheConfigurationOpenNeedsNoParameterBlock) {
    long blocks = PosixLiveLocalBlocks();
    EXPECT_EQ(Send(0, DRV_OPEN, 0, 0), 1);
    EXPECT_EQ(Send(1, DRV_CLOSE), 1);
    EXPECT_EQ(Send(0, DRV_CLOSE), 1);
    EXPECT_EQ(PosixLiveLocalBlocks(), blocks);
}

TEST_F(DriverEntry, NoChannelClosesWhileAStreamIsInitialised) {
    DWORD_PTR videoIn = Open(VIDEO_IN);
    ASSERT_GT(videoIn, 1u);
    streamInitialised = TRUE;
    EXPECT_EQ(Close(videoIn), 0);
    EXPECT_EQ(openCount, 1);
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 1u);
    streamInitialised = FALSE;
    EXPECT_EQ(Close(videoIn), 1);
}

TEST_F(DriverEntry, HandlesThatAreNoChannelAreRefusedNotFollowed) {
    DWORD_PTR videoIn = Open(VIDEO_IN);
    ASSERT_GT(videoIn, 1u);
    DWORD words[8] = {0};
    DWORD_PTR bogus[] = {2, 0x1234, reinterpret_cast<DWORD_PTR>(words)};
    for (DWORD_PTR id : bogus) {
        EXPECT_EQ(Send(id, DRV_CLOSE), 0) << id;
        EXPECT_EQ(Send(id, DVM_GETVIDEOAPIVER, reinterpret_cast<LPARAM>(words)), DV_ERR_INVALHANDLE) << id;
    }
    EXPECT_EQ(openCount, 1);
    EXPECT_EQ(Close(videoIn), 1);
    // A closed channel's handle is stale.
    EXPECT_EQ(Send(videoIn, DVM_GETVIDEOAPIVER, reinterpret_cast<LPARAM>(words)), DV_ERR_INVALHANDLE);
    EXPECT_EQ(Send(videoIn, DRV_CLOSE), 0);
}

}  // namespace
