// The camera goes away, freezes mid-frame or sends damaged frames: the host
// gets every buffer it queued back, each failure ends only its own call, the
// channel closes as usual and nothing the driver held stays.
#include "reliability_support.h"

namespace {

class CameraFaults : public FaultHost {
protected:
    // DVM_FRAME into buffer 0; the answer and the virtual time it took. A
    // failed call leaves the header as it was.
    LRESULT TimedFrame(DWORD* tookMs = nullptr) {
        VIDEOHDR header = headers[0];
        DWORD start = timeGetTime();
        LRESULT result = Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header), sizeof header);
        if (tookMs) *tookMs = timeGetTime() - start;
        if (result != DV_ERR_OK) {
            EXPECT_EQ(header.dwFlags, static_cast<DWORD>(VHDR_PREPARED));
        }
        return result;
    }
    // A stream of every buffer, requeued, until n frames came.
    void StreamFor(int frames) {
        react = Requeue;
        StartWithAllBuffers(66666);
        AdvanceForFrames(frames, 5000);
        ASSERT_GE(Frames(), frames);
    }
    // No frame comes any more while the ticks go on.
    void ExpectStalled(DWORD ms) {
        PosixClockAdvance(ms);
        int stalled = Frames();
        PosixClockAdvance(ms);
        EXPECT_EQ(Frames(), stalled);
        EXPECT_EQ(PosixTimersPending(), 1);
    }
};

TEST_F(CameraFaults, VanishingMidStreamEveryBufferComesBackAndTheStreamEnds) {
    OpenVideoIn();
    ASSERT_NO_FATAL_FAILURE(StreamFor(10));
    SimSetVanished(1);
    // The timer keeps ticking and trying; at most the frame in flight is
    // still delivered, and the buffers stay queued for the host.
    ExpectStalled(3000);
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

// The camera keeps answering commands but stops sending in the middle of a
// frame, and never reports another frame ready: neither the wait for the
// upload nor the wait for a ready frame may hold the host for ever.
TEST_F(CameraFaults, FreezingFailsSingleFramesWithinTheirBoundsAndTheChannelCloses) {
    ASSERT_EQ(SimSetScenario("fault freeze 4"), 1) << PosixLastProblem();
    OpenVideoIn();
    DWORD took = 0;
    ASSERT_EQ(TimedFrame(), DV_ERR_OK);  // frames 1 and 2: the first after the open differs
    ASSERT_EQ(TimedFrame(), DV_ERR_OK);
    // Frame 4 stops halfway through its read-out: the upload moves no more
    // bytes and never ends, so the driver gives up on it.
    EXPECT_NE(TimedFrame(&took), DV_ERR_OK);
    EXPECT_GE(took, 2000u);
    EXPECT_LT(took, 10000u);
    SimUploadRecord stalled;
    ASSERT_TRUE(SimGetUpload(SimUploadCount() - 1, &stalled));
    EXPECT_GT(stalled.bytesUploaded, 0u);
    EXPECT_LT(stalled.bytesUploaded, stalled.byteCount);
    // The next grab is taken but no frame ever becomes ready.
    EXPECT_NE(TimedFrame(&took), DV_ERR_OK);
    EXPECT_GE(took, 3000u);
    EXPECT_LT(took, 10000u);
    EXPECT_EQ(Camera().framesCaptured, 4u);
    CloseVideoIn();
    ExpectNothingHeld();
}

// Frames that arrive damaged or that the camera flags: a grab tries three
// times at most, and the next call starts clean. Upload 1 is the bring-up's
// test stream; 2 and 3 the first call's frames (the first after the open
// differs from the camera's last).
TEST_F(CameraFaults, DamagedFramesFailOnlyTheirOwnCall) {
    const struct {
        const char* scenario;
        const char* calls;  // the calls after the first: + delivers, - fails
        int uploads[2];     // the uploads of the first two of them (0: not counted)
        DWORD captured;     // the camera's frames at the end (0: not counted)
    } rows[] = {
        // A cut frame resynchronises on uncompressed frames; the first of
        // them differs from the frame before and is dropped too: the third
        // try delivers, three cut frames in a row fail the call.
        {"fault upload-short 4 100\nfault upload-short 7 100\nfault upload-short 8 100\nfault upload-short 9 100",
         "+-+",
         {3, 3},
         0},
        // Read out (and thrown away) so the camera can go on.
        {"fault streamstate3 3", "-+", {1, 0}, 4},
        {"fault upload-failed 4", "-+", {0, 0}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scenario);
        ASSERT_EQ(SimSetScenario(row.scenario), 1) << PosixLastProblem();
        OpenVideoIn();
        ASSERT_EQ(TimedFrame(), DV_ERR_OK);
        for (int call = 0; row.calls[call]; call++) {
            int uploads = SimUploadCount();
            EXPECT_EQ(TimedFrame() == DV_ERR_OK, row.calls[call] == '+') << call;
            if (call < 2 && row.uploads[call]) {
                EXPECT_EQ(SimUploadCount() - uploads, row.uploads[call]) << call;
            }
        }
        if (row.captured) {
            EXPECT_EQ(Camera().framesCaptured, row.captured);
        }
        CloseVideoIn();
        ExpectNothingHeld();
    }
}

}  // namespace
