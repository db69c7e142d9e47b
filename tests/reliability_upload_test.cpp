// Uploads that fail through a stream, at random from a fixed seed (refused,
// ending short, breaking off halfway) or every one: the stream goes on,
// every buffer the host queued comes back exactly once, filled whole or not
// at all, and nothing leaks.
#include <random>
#include <string>

#include "reliability_support.h"

namespace {

class UploadFaults : public FaultHost {
protected:
    // Loads the faults on the uploads after the bring-up's (its link test),
    // so that they hit the stream's frames and not the camera's detection.
    void FaultsAfterTheBringUp(unsigned seed) {
        OpenVideoIn();
        int first = SimUploadCount() + 1;
        CloseVideoIn();
        ASSERT_GT(first, 1);
        std::mt19937 random(seed);
        std::string text;
        for (int n = first; n <= first + 2000; n++) {
            // About one upload in eight, or (seed 0) all of them.
            switch (seed ? random() % 24 : 2) {
                case 0:
                    text += "fault upload-refused " + std::to_string(n) + "\n";
                    break;
                case 1:
                    text +=
                        "fault upload-short " + std::to_string(n) + " " + std::to_string(1 + random() % 5000) + "\n";
                    break;
                case 2:
                    text += "fault upload-failed " + std::to_string(n) + "\n";
                    break;
            }
        }
        ASSERT_EQ(SimSetScenario(text.c_str()), 1) << PosixLastProblem();
        OpenVideoIn();
    }
    void EndAndCheck() {
        EndStream();
        ExpectLedgerBalanced();
        CloseVideoIn();
        ExpectNothingHeld();
    }
};

TEST_F(UploadFaults, ALongStreamReturnsEveryBufferOnceAndLeaksNothing) {
    ASSERT_NO_FATAL_FAILURE(FaultsAfterTheBringUp(20261207));
    // Compressed frames differ in size, so the short uploads cut frames of
    // every length.
    react = Requeue;
    StartWithAllBuffers(33333);
    for (int second = 0; second < 30; second++) PosixClockAdvance(1000);
    int failedUploads = 0;
    SimUploadRecord record;
    for (int i = 0; SimGetUpload(i, &record); i++)
        if (!record.accepted || record.state == 6) failedUploads++;
    EXPECT_GT(failedUploads, 20);
    // The faults cost frames, not the stream: most frame times still
    // deliver (30 s at 30 frames/s).
    EXPECT_GT(Frames(), 300);
    EndAndCheck();
}

TEST_F(UploadFaults, EveryUploadFailingStillEndsTheStreamCleanly) {
    ASSERT_NO_FATAL_FAILURE(FaultsAfterTheBringUp(0));
    StartWithAllBuffers(66666);
    PosixClockAdvance(5000);
    EXPECT_EQ(Frames(), 0);
    EndAndCheck();
    EXPECT_EQ(Frames(), kBuffers);  // all handed back by the reset, unfilled
    for (const VIDEOHDR& header : headers) EXPECT_EQ(header.dwBytesUsed, 0u);
}

}  // namespace
