// Uploads that fail at random through a long stream, from a fixed seed so
// every run sees the same faults: refused, ending short, and breaking off
// halfway. The stream goes on, every buffer the host queued comes back
// exactly once, filled whole or not at all, and nothing leaks.
#include <random>
#include <string>

#include "reliability_support.h"

namespace {

class UploadFaults : public FaultHost {
protected:
    // The uploads a bring-up makes (its link test), so that the faults hit
    // the stream's frames and not the camera's detection.
    int BringUpUploads() {
        OpenVideoIn();
        int count = SimUploadCount();
        CloseVideoIn();
        return count;
    }
};

// Faults on about one upload in eight, after the bring-up's.
std::string RandomUploadFaults(unsigned seed, int first, int last) {
    std::mt19937 random(seed);
    std::string text;
    for (int n = first; n <= last; n++) {
        switch (random() % 24) {
            case 0:
                text += "fault upload-refused " + std::to_string(n) + "\n";
                break;
            case 1:
                text += "fault upload-short " + std::to_string(n) + " " + std::to_string(1 + random() % 5000) + "\n";
                break;
            case 2:
                text += "fault upload-failed " + std::to_string(n) + "\n";
                break;
            default:
                break;
        }
    }
    return text;
}

TEST_F(UploadFaults, ALongStreamReturnsEveryBufferOnceAndLeaksNothing) {
    int first = BringUpUploads() + 1;
    ASSERT_GT(first, 1);
    std::string faults = RandomUploadFaults(20261207, first, first + 1200);
    ASSERT_EQ(SimSetScenario(faults.c_str()), 1) << PosixLastProblem();

    OpenVideoIn();
    // Compressed frames differ in size, so the short uploads cut frames of
    // every length.
    react = Requeue;
    ASSERT_EQ(Init(33333), DV_ERR_OK);
    for (VIDEOHDR& header : headers) ASSERT_EQ(Add(&header), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    for (int second = 0; second < 30; second++) PosixClockAdvance(1000);
    int frames = Frames();
    int failedUploads = 0;
    for (int i = 0; i < SimUploadCount(); i++) {
        SimUploadRecord record;
        ASSERT_EQ(SimGetUpload(i, &record), 1);
        if (!record.accepted || record.state == 6) failedUploads++;
    }
    EXPECT_GT(failedUploads, 20);
    // The faults cost frames, not the stream: most frame times still
    // deliver (30 s at 30 frames/s).
    EXPECT_GT(frames, 300);

    EndStream();
    ExpectLedgerBalanced();
    CloseVideoIn();
    ExpectNothingHeld();
}

TEST_F(UploadFaults, EveryUploadFailingStillEndsTheStreamCleanly) {
    int first = BringUpUploads() + 1;
    std::string faults;
    for (int n = first; n < first + 2000; n++) faults += "fault upload-failed " + std::to_string(n) + "\n";
    ASSERT_EQ(SimSetScenario(faults.c_str()), 1) << PosixLastProblem();
    OpenVideoIn();
    ASSERT_EQ(Init(66666), DV_ERR_OK);
    for (VIDEOHDR& header : headers) ASSERT_EQ(Add(&header), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    PosixClockAdvance(5000);
    EXPECT_EQ(Frames(), 0);
    EndStream();
    ExpectLedgerBalanced();
    EXPECT_EQ(Frames(), kBuffers);  // all handed back by the reset, unfilled
    for (const VIDEOHDR& header : headers) EXPECT_EQ(header.dwBytesUsed, 0u);
    CloseVideoIn();
    ExpectNothingHeld();
}

}  // namespace
