// The camera goes away while frames stream: the host gets every buffer it
// queued back, ends the stream and closes the channel as usual, and the
// next open says the camera is missing. Nothing the driver held stays.
#include "reliability_support.h"

namespace {

class CameraVanishes : public FaultHost {};

TEST_F(CameraVanishes, MidStreamEveryBufferComesBackAndTheStreamEnds) {
    OpenVideoIn();
    requeue = true;
    ASSERT_EQ(Init(66666), DV_ERR_OK);
    for (VIDEOHDR& header : headers) ASSERT_EQ(Add(&header), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    AdvanceForFrames(10, 5000);
    ASSERT_GE(Frames(), 10);

    SimSetVanished(1);
    // The timer keeps ticking and trying; at most the frame in flight is
    // still delivered, and the buffers stay queued for the host.
    PosixClockAdvance(3000);
    int afterVanish = Frames();
    PosixClockAdvance(3000);
    EXPECT_EQ(Frames(), afterVanish);
    EXPECT_EQ(PosixTimersPending(), 1);

    EndStream();
    ExpectLedgerBalanced();
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(closes, 1);
    for (const VIDEOHDR& header : headers) EXPECT_EQ(header.dwFlags & VHDR_INQUEUE, 0u);
    CloseVideoIn();
    ExpectNothingHeld();

    DWORD error = 0;
    EXPECT_EQ(Open(VIDEO_IN, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_NOTDETECTED));
    ExpectNothingHeld();
}

TEST_F(CameraVanishes, BetweenSingleFramesTheGrabFailsAndTheChannelStillCloses) {
    OpenVideoIn();
    VIDEOHDR header = headers[0];
    ASSERT_EQ(Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header), DV_ERR_OK);
    SimSetVanished(1);
    header.dwFlags = VHDR_PREPARED;
    EXPECT_EQ(Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header), DV_ERR_SYNC);
    EXPECT_EQ(header.dwFlags, static_cast<DWORD>(VHDR_PREPARED));  // untouched on failure
    // A stream cannot start on a camera that does not answer, and says so.
    LRESULT init = Init(66666);
    if (init == DV_ERR_OK || init == DV_ERR_NONSPECIFIC) Message(DVM_STREAM_FINI);
    EXPECT_EQ(Message(DVM_STREAM_FINI), DV_ERR_NONSPECIFIC);
    CloseVideoIn();
    ExpectNothingHeld();

    // Back again: the camera comes up as new.
    SimSetVanished(0);
    OpenVideoIn();
    header.dwFlags = VHDR_PREPARED;
    EXPECT_EQ(Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header), DV_ERR_OK);
    CloseVideoIn();
    ExpectNothingHeld();
}

}  // namespace
