// The stream engine through DriverProc, as a capture host drives it, against
// the simulated camera in virtual time: the state machine, the period, frames
// into queued buffers, skipped frames, reset, and the host and timer threads
// sharing the queue.
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "device/device.h"
#include "driver_support.h"
#include "sim/sim.h"

namespace {

struct Call {
    UINT msg;
    DWORD_PTR param;
};

class Stream;

// What the driver reported, from whichever thread it ran on.
struct Recorder {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<Call> calls;
    // The host's answer to a returned buffer, on the callback's thread.
    void (*react)(Stream* host, VIDEOHDR* header) = nullptr;
    Stream* host = nullptr;
};

void CALLBACK HostCallback(HDRVR, UINT msg, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR) {
    Recorder* recorder = reinterpret_cast<Recorder*>(user);
    {
        std::lock_guard<std::mutex> hold(recorder->lock);
        recorder->calls.push_back({msg, param1});
    }
    recorder->arrived.notify_all();
    if (msg == MM_DRVM_DATA && recorder->react) recorder->react(recorder->host, reinterpret_cast<VIDEOHDR*>(param1));
}

const DWORD kDoneFlags = VHDR_PREPARED | VHDR_DONE | VHDR_KEYFRAME;

class Stream : public DriverHost {
public:
    DWORD_PTR videoIn = 0;
    Recorder seen;
    static const int kBuffers = 4;
    VIDEOHDR headers[kBuffers];
    std::vector<BYTE> buffers[kBuffers];

    // The machine the channel opens on: the default one.
    virtual void Machine() { SimReset(); }
    void SetUp() override {
        DriverHost::SetUp();
        Machine();
        videoIn = Open(VIDEO_IN);
        ASSERT_GT(videoIn, 1u);
        seen.host = this;
        // A host reads the format first, and sizes its buffers by it.
        BITMAPINFOHEADER format;
        ASSERT_NO_FATAL_FAILURE(ReadFormat(videoIn, &format));
        ASSERT_GT(currentFormat.biSizeImage, 0u);
        PrepareBuffers(headers, buffers, kBuffers, currentFormat.biSizeImage);
    }
    void TearDown() override {
        seen.react = nullptr;
        Send(videoIn, DVM_STREAM_RESET);
        Send(videoIn, DVM_STREAM_FINI);
        EXPECT_EQ(PosixTimersPending(), 0);
        DriverHost::TearDown();
    }
    LRESULT Init(DWORD microseconds) {
        VIDEO_STREAM_INIT_PARMS parms = {microseconds, reinterpret_cast<DWORD_PTR>(HostCallback),
                                         reinterpret_cast<DWORD_PTR>(&seen), DCB_FUNCTION << 16, videoIn};
        return Send(videoIn, DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&parms), sizeof parms);
    }
    LRESULT Add(VIDEOHDR* header) { return Send(videoIn, DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(header)); }
    LRESULT Message(UINT msg) { return Send(videoIn, msg); }
    std::vector<Call> Calls() {
        std::lock_guard<std::mutex> hold(seen.lock);
        return seen.calls;
    }
    std::vector<Call> Calls(UINT msg) {
        std::vector<Call> some;
        for (const Call& call : Calls())
            if (call.msg == msg) some.push_back(call);
        return some;
    }
    void Forget() {
        std::lock_guard<std::mutex> hold(seen.lock);
        seen.calls.clear();
    }
    int Index(DWORD_PTR header) {
        for (int i = 0; i < kBuffers; i++)
            if (header == reinterpret_cast<DWORD_PTR>(&headers[i])) return i;
        return -1;
    }
};

void Requeue(Stream* host, VIDEOHDR* header) {
    EXPECT_EQ(host->Add(header), DV_ERR_OK);
}

// On a port that runs uploads in the background the next frame's upload
// starts as soon as one frame is in; a tick that finds it still running
// comes back a little later, and the buffer waits at the head meanwhile.
class FastPortStream : public Stream {
protected:
    void Machine() override { ASSERT_EQ(SimSetScenario("port 1 type 0x7F camera"), 1) << PosixLastProblem(); }
    void TearDown() override {
        Stream::TearDown();
        SimReset();
    }
};

TEST_F(FastPortStream, UploadsRunAheadAndNoBufferIsLostWaitingForOne) {
    seen.react = Requeue;
    ASSERT_EQ(Init(33333), DV_ERR_OK);
    for (int i = 0; i < 2; i++) ASSERT_EQ(Add(&headers[i]), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    int uploadsBefore = SimUploadCount();
    PosixClockAdvance(1000);
    ASSERT_EQ(Message(DVM_STREAM_STOP), DV_ERR_OK);
    std::vector<Call> data = Calls(MM_DRVM_DATA);
    ASSERT_GE(data.size(), 10u);
    for (size_t n = 0; n < data.size(); n++) EXPECT_EQ(Index(data[n].param), static_cast<int>(n % 2)) << n;
    EXPECT_TRUE(Calls(MM_DRVM_ERROR).empty());
    int ahead = 0;
    SimUploadRecord upload;
    for (int i = uploadsBefore; SimGetUpload(i, &upload); i++)
        if (upload.pipelined && upload.streamInterrupt) ahead++;
    EXPECT_GT(ahead, 5);
}

// A host that frees the driver with its stream still running (its close
// refused, as a stream is initialised) must not leave a timer that would
// tick into a module that is gone.
TEST_F(Stream, FreeingTheDriverEndsATimerItsHostLeftRunning) {
    ASSERT_EQ(Init(66666), DV_ERR_OK);
    for (VIDEOHDR& h : headers) ASSERT_EQ(Add(&h), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    PosixClockAdvance(200);
    EXPECT_FALSE(Calls(MM_DRVM_DATA).empty());
    EXPECT_EQ(Send(videoIn, DRV_CLOSE), 0);
    EXPECT_EQ(Send(0, DRV_FREE), 1);
    EXPECT_EQ(PosixTimersPending(), 0);
    Forget();
    PosixClockAdvance(500);
    EXPECT_TRUE(Calls().empty());
}

// The host queues buffers on its thread while another thread runs the
// timer, as on a real machine: every buffer added comes back exactly once.
TEST_F(Stream, HostAndTimerThreadsShareTheQueue) {
    ASSERT_EQ(Init(33000), DV_ERR_OK);
    std::atomic<bool> done(false);
    std::thread timer([&] {
        while (!done) {
            PosixClockAdvance(1);
            std::this_thread::yield();
        }
    });
    std::map<DWORD_PTR, int> added;
    for (int i = 0; i < kBuffers; i++) {
        ASSERT_EQ(Add(&headers[i]), DV_ERR_OK);
        added[reinterpret_cast<DWORD_PTR>(&headers[i])]++;
    }
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    size_t handled = 0;
    int frames = 0;
    while (frames < 40) {
        std::vector<Call> fresh;
        {
            std::unique_lock<std::mutex> hold(seen.lock);
            bool arrived = seen.arrived.wait_for(hold, std::chrono::seconds(20), [&] {
                for (size_t n = handled; n < seen.calls.size(); n++)
                    if (seen.calls[n].msg == MM_DRVM_DATA) return true;
                return false;
            });
            ASSERT_TRUE(arrived) << "no frame after " << frames;
            fresh.assign(seen.calls.begin() + handled, seen.calls.end());
            handled = seen.calls.size();
        }
        for (const Call& call : fresh) {
            if (call.msg != MM_DRVM_DATA) continue;
            VIDEOHDR* header = reinterpret_cast<VIDEOHDR*>(call.param);
            EXPECT_EQ(header->dwFlags, kDoneFlags);
            frames++;
            ASSERT_EQ(Add(header), DV_ERR_OK);
            added[call.param]++;
        }
    }
    EXPECT_EQ(Message(DVM_STREAM_STOP), DV_ERR_OK);
    EXPECT_EQ(Message(DVM_STREAM_RESET), DV_ERR_OK);
    done = true;
    timer.join();
    std::map<DWORD_PTR, int> returned;
    for (const Call& call : Calls(MM_DRVM_DATA)) returned[call.param]++;
    EXPECT_EQ(returned, added);
    EXPECT_EQ(Message(DVM_STREAM_FINI), DV_ERR_OK);
}

}  // namespace
