// The camera goes away while frames stream: the host gets every buffer it
// queued back, ends the stream and closes the channel as usual, and the
// next open says the camera is missing. Nothing the driver held stays.
// A camera that answers but stops sending mid-frame, and frames that come
// cut, failed or flagged, end only their own call.
#include "reliability_support.h"

namespace {

class CameraVanishes : public FaultHost {};

TEST_F(CameraVanishes, MidStreamEveryBufferComesBackAndTheStreamEnds) {
    OpenVideoIn();
    react = Requeue;
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
    EXPECT_EQ(Calls(MM_DRVM_OPEN).size(), 1u);
    EXPECT_EQ(Calls(MM_DRVM_CLOSE).size(), 1u);
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

// The camera keeps answering commands but stops sending in the middle of
// a frame, and never reports another frame ready: neither the wait for the
// upload nor the wait for a ready frame may hold the host for ever.
class CameraFreezes : public FaultHost {
protected:
    // Sends DVM_FRAME; the answer and the virtual time it took.
    LRESULT Frame(DWORD* tookMs) {
        VIDEOHDR header = headers[0];
        header.dwFlags = VHDR_PREPARED;
        DWORD start = timeGetTime();
        LRESULT result = Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header);
        *tookMs = timeGetTime() - start;
        if (result != DV_ERR_OK) {
            EXPECT_EQ(header.dwFlags, static_cast<DWORD>(VHDR_PREPARED));
        }
        return result;
    }
};

TEST_F(CameraFreezes, SingleFramesFailWithinTheirBoundsAndTheChannelCloses) {
    ASSERT_EQ(SimSetScenario("fault freeze 4"), 1) << PosixLastProblem();
    OpenVideoIn();
    DWORD took = 0;
    ASSERT_EQ(Frame(&took), DV_ERR_OK);  // frames 1 and 2: the first after the open differs
    ASSERT_EQ(Frame(&took), DV_ERR_OK);
    // Frame 4 stops halfway through its read-out: the upload moves no more
    // bytes and never ends, so the driver gives up on it.
    EXPECT_NE(Frame(&took), DV_ERR_OK);
    EXPECT_GE(took, 2000u);
    EXPECT_LT(took, 10000u);
    SimUploadRecord stalled;
    ASSERT_TRUE(SimGetUpload(SimUploadCount() - 1, &stalled));
    EXPECT_GT(stalled.bytesUploaded, 0u);
    EXPECT_LT(stalled.bytesUploaded, stalled.byteCount);
    // The next grab is taken but no frame ever becomes ready.
    EXPECT_NE(Frame(&took), DV_ERR_OK);
    EXPECT_GE(took, 3000u);
    EXPECT_LT(took, 10000u);
    EXPECT_EQ(Camera().framesCaptured, 4u);
    CloseVideoIn();
    ExpectNothingHeld();
    EXPECT_EQ(SimOpenLinks(), 0);
}

TEST_F(CameraFreezes, MidStreamTheTicksSkipAndTheStreamStillEnds) {
    ASSERT_EQ(SimSetScenario("fault freeze 8"), 1) << PosixLastProblem();
    OpenVideoIn();
    react = Requeue;
    ASSERT_EQ(Init(66666), DV_ERR_OK);
    for (VIDEOHDR& header : headers) ASSERT_EQ(Add(&header), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    AdvanceForFrames(5, 5000);
    ASSERT_GE(Frames(), 5);
    PosixClockAdvance(4000);
    int afterFreeze = Frames();
    PosixClockAdvance(4000);
    EXPECT_EQ(Frames(), afterFreeze) << "no frame comes after the freeze";
    EXPECT_EQ(PosixTimersPending(), 1) << "the ticks go on";
    // Stopping waits for the stalled upload no longer than its bound.
    DWORD start = timeGetTime();
    EndStream();
    EXPECT_LT(timeGetTime() - start, 10000u);
    ExpectLedgerBalanced();
    CloseVideoIn();
    ExpectNothingHeld();
}

// Frames that arrive damaged or that the camera flags: a grab tries three
// times at most, and the next call starts clean.
class FrameFaults : public CameraFreezes {};

TEST_F(FrameFaults, ACutFrameIsRetriedAndThreeInARowFailTheCall) {
    // Upload 1 is the bring-up's test stream; 2 and 3 the first call's
    // frames (the first after the open differs from the camera's last).
    ASSERT_EQ(SimSetScenario("fault upload-short 4 100\n"
                             "fault upload-short 7 100\nfault upload-short 8 100\nfault upload-short 9 100"),
              1)
        << PosixLastProblem();
    OpenVideoIn();
    DWORD took = 0;
    ASSERT_EQ(Frame(&took), DV_ERR_OK);
    int uploads = SimUploadCount();
    // The cut frame resynchronises on uncompressed frames; the first of
    // them differs from the frame before and is dropped too.
    EXPECT_EQ(Frame(&took), DV_ERR_OK) << "the third try delivers";
    EXPECT_EQ(SimUploadCount() - uploads, 3);
    uploads = SimUploadCount();
    EXPECT_NE(Frame(&took), DV_ERR_OK) << "three cut frames in a row";
    EXPECT_EQ(SimUploadCount() - uploads, 3);
    EXPECT_EQ(Frame(&took), DV_ERR_OK);
    CloseVideoIn();
    ExpectNothingHeld();
}

TEST_F(FrameFaults, AFrameInStreamState3IsReadOutAndDropped) {
    ASSERT_EQ(SimSetScenario("fault streamstate3 3"), 1) << PosixLastProblem();
    OpenVideoIn();
    DWORD took = 0;
    ASSERT_EQ(Frame(&took), DV_ERR_OK);  // frames 1 and 2
    int uploads = SimUploadCount();
    EXPECT_NE(Frame(&took), DV_ERR_OK);
    // The broken frame was read out (and thrown away) so the camera can go on.
    EXPECT_EQ(SimUploadCount() - uploads, 1);
    EXPECT_EQ(Frame(&took), DV_ERR_OK);
    EXPECT_EQ(Camera().framesCaptured, 4u);
    CloseVideoIn();
    ExpectNothingHeld();
}

TEST_F(FrameFaults, AFailedFrameUploadFailsOnlyItsOwnCall) {
    ASSERT_EQ(SimSetScenario("fault upload-failed 4"), 1) << PosixLastProblem();
    OpenVideoIn();
    DWORD took = 0;
    ASSERT_EQ(Frame(&took), DV_ERR_OK);
    EXPECT_NE(Frame(&took), DV_ERR_OK);
    EXPECT_EQ(Frame(&took), DV_ERR_OK);
    CloseVideoIn();
    ExpectNothingHeld();
}

}  // namespace
