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

TEST_F(Stream, TheStateMachineRefusesWhatItsStateDoesNotAllow) {
    EXPECT_EQ(Add(&headers[0]), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Message(DVM_STREAM_START), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Message(DVM_STREAM_STOP), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Message(DVM_STREAM_RESET), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Message(DVM_STREAM_FINI), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_INIT, 0), DV_ERR_PARAM1);

    ASSERT_EQ(Init(100000), DV_ERR_OK);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].msg, static_cast<UINT>(MM_DRVM_OPEN));
    EXPECT_EQ(Init(100000), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Close(videoIn), 0);                    // no channel closes under a stream
    EXPECT_EQ(Message(DVM_STREAM_STOP), DV_ERR_OK);  // not running: nothing to do

    EXPECT_EQ(Add(nullptr), DV_ERR_NONSPECIFIC);
    headers[0].dwFlags = 0;
    EXPECT_EQ(Add(&headers[0]), DV_ERR_UNPREPARED);
    // A buffer that cannot hold a frame of the format is refused, not
    // left at the head of the queue or returned overfilled.
    headers[0].dwFlags = VHDR_PREPARED;
    headers[0].dwBufferLength = currentFormat.biSizeImage - 1;
    EXPECT_EQ(Add(&headers[0]), DV_ERR_PARAM1);
    headers[0].dwBufferLength = 0;
    EXPECT_EQ(Add(&headers[0]), DV_ERR_PARAM1);
    headers[0].dwBufferLength = currentFormat.biSizeImage;
    headers[0].lpData = nullptr;
    EXPECT_EQ(Add(&headers[0]), DV_ERR_PARAM1);
    headers[0].lpData = buffers[0].data();
    EXPECT_EQ(headers[0].dwFlags, static_cast<DWORD>(VHDR_PREPARED));

    headers[0].dwFlags = VHDR_PREPARED | VHDR_DONE;
    headers[0].dwBytesUsed = 99;
    EXPECT_EQ(Add(&headers[0]), DV_ERR_OK);
    EXPECT_EQ(headers[0].dwFlags, static_cast<DWORD>(VHDR_PREPARED | VHDR_INQUEUE));
    EXPECT_EQ(headers[0].dwBytesUsed, 0u);
    EXPECT_EQ(Add(&headers[0]), DV_ERR_NONSPECIFIC);  // already queued
    EXPECT_EQ(Add(&headers[1]), DV_ERR_OK);
    EXPECT_EQ(Message(DVM_STREAM_FINI), DV_ERR_STILLPLAYING);
    EXPECT_EQ(Message(DVM_STREAM_RESET), DV_ERR_OK);
    Forget();
    EXPECT_EQ(Message(DVM_STREAM_FINI), DV_ERR_OK);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].msg, static_cast<UINT>(MM_DRVM_CLOSE));
    EXPECT_EQ(Message(DVM_STREAM_FINI), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Close(videoIn), 1);
}

TEST_F(Stream, ThePeriodIsAWholeNumberOfCameraFrames) {
    WORD before = GetFrameRateTarget();
    struct Case {
        DWORD step;
        DWORD microseconds;
        BYTE skip;
        WORD target;
    } cases[] = {
        {1, 100000, 2, 10},  // 33 ms frames: 99 ms, every third frame
        {1, 33000, 0, 30},   // at the camera's interval
        {1, 10000, 0, 30},   // faster than the camera: its own rate
        {3, 100000, 0, 15},  // 66 ms frames: 100 ms holds one
        {5, 300000, 1, 3},   // 133 ms frames: 266 ms
        // The camera keeps one frame in 256 at most, and a period past
        // the 16-bit range is its longest, not its low bits.
        {1, 20000000, 255, 0},
        {1, 65536000 + 330000, 255, 0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetFrameRate(c.step, 0));
        ASSERT_EQ(Init(c.microseconds), DV_ERR_OK) << c.microseconds;
        SimCamera camera;
        SimReadCamera(&camera);
        EXPECT_TRUE(camera.streamInitialised);
        EXPECT_EQ(camera.streamSkip, c.skip) << c.microseconds;
        EXPECT_EQ(GetFrameRateTarget(), c.target) << c.microseconds;
        ASSERT_EQ(Message(DVM_STREAM_FINI), DV_ERR_OK);
        EXPECT_EQ(GetFrameRateTarget(), before);
        SimReadCamera(&camera);
        EXPECT_FALSE(camera.streamInitialised);
    }
}

TEST_F(Stream, FramesFillTheQueuedBuffersInOrderEachOnce) {
    seen.react = Requeue;
    ASSERT_EQ(Init(66666), DV_ERR_OK);
    for (int i = 0; i < 3; i++) ASSERT_EQ(Add(&headers[i]), DV_ERR_OK);
    EXPECT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    EXPECT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);  // already running: nothing new
    EXPECT_EQ(PosixTimersPending(), 1);
    PosixClockAdvance(1000);
    EXPECT_EQ(Message(DVM_STREAM_STOP), DV_ERR_OK);
    EXPECT_EQ(PosixTimersPending(), 0);

    std::vector<Call> data = Calls(MM_DRVM_DATA);
    ASSERT_GE(data.size(), 6u);
    for (size_t n = 0; n < data.size(); n++) {
        // Round the queue: 0, 1, 2, 0, 1, 2 ...
        EXPECT_EQ(Index(data[n].param), static_cast<int>(n % 3)) << n;
    }
    // The last round went back into the queue from the callback.
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(headers[i].dwFlags & (VHDR_DONE | VHDR_INQUEUE), static_cast<DWORD>(VHDR_INQUEUE));
    EXPECT_TRUE(Calls(MM_DRVM_ERROR).empty());
    // Stopped: the clock moves on and nothing more arrives.
    size_t count = Calls().size();
    PosixClockAdvance(500);
    EXPECT_EQ(Calls().size(), count);
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

TEST_F(Stream, FramesComeAtTheStreamPeriodAndFillTheWholeFormat) {
    ASSERT_EQ(Init(100000), DV_ERR_OK);
    ASSERT_EQ(Add(&headers[0]), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    DWORD times[4];
    for (int n = 0; n < 4; n++) {
        for (int t = 0; t < 2000 && Calls(MM_DRVM_DATA).size() <= static_cast<size_t>(n); t++) PosixClockAdvance(1);
        ASSERT_EQ(Calls(MM_DRVM_DATA).size(), static_cast<size_t>(n + 1));
        EXPECT_EQ(headers[0].dwFlags, kDoneFlags);
        EXPECT_EQ(headers[0].dwBytesUsed, currentFormat.biSizeImage);
        times[n] = headers[0].dwTimeCaptured;
        ASSERT_EQ(Add(&headers[0]), DV_ERR_OK);
    }
    // The camera takes only every third of its 33 ms frames, so no two
    // frames come within two camera frames of each other.
    for (int n = 1; n < 4; n++) EXPECT_GT(times[n] - times[n - 1], 66u) << n;
}

TEST_F(Stream, BuffersQueuedBeforeTheStartDoNotStretchThePeriod) {
    // Each buffer given back is measured against the stream's last grab;
    // before the first grab there is none, so a full queue at the start
    // leaves the period as asked.
    ASSERT_EQ(Init(100000), DV_ERR_OK);
    for (int i = 0; i < kBuffers; i++) ASSERT_EQ(Add(&headers[i]), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    for (int t = 0; t < 3000 && Calls(MM_DRVM_DATA).size() < 4; t++) PosixClockAdvance(1);
    ASSERT_EQ(Calls(MM_DRVM_DATA).size(), 4u);
    // Once the first frames are in, one comes each 100 ms, not at the 240 ms
    // that four stretches would make.
    for (int n = 2; n < 4; n++) EXPECT_LT(headers[n].dwTimeCaptured - headers[n - 1].dwTimeCaptured, 150u) << n;
}

TEST_F(Stream, ATickWithoutABufferIsASkippedFrame) {
    ASSERT_EQ(Init(66666), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    PosixClockAdvance(30);
    std::vector<Call> errors = Calls(MM_DRVM_ERROR);
    ASSERT_GE(errors.size(), 3u);
    for (size_t n = 0; n < errors.size(); n++) EXPECT_EQ(errors[n].param, n + 1);  // the running count
    DWORD error = 77, skipped = 0;
    EXPECT_EQ(Send(videoIn, DVM_STREAM_GETERROR, reinterpret_cast<LPARAM>(&error), reinterpret_cast<LPARAM>(&skipped)),
              DV_ERR_OK);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_OK));
    EXPECT_EQ(skipped, errors.size());
    // Cleared: the count starts again at one.
    Forget();
    PosixClockAdvance(10);
    ASSERT_FALSE(Calls(MM_DRVM_ERROR).empty());
    EXPECT_EQ(Calls(MM_DRVM_ERROR)[0].param, 1u);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_GETERROR, 0, 0), DV_ERR_OK);

    // A buffer added while the stream runs is filled, and skipping goes on
    // once the host has it back.
    Forget();
    ASSERT_EQ(Add(&headers[0]), DV_ERR_OK);
    for (int t = 0; t < 2000 && Calls(MM_DRVM_DATA).empty(); t++) PosixClockAdvance(1);
    ASSERT_EQ(Calls(MM_DRVM_DATA).size(), 1u);
    EXPECT_EQ(headers[0].dwFlags, kDoneFlags);
    Forget();
    PosixClockAdvance(200);
    EXPECT_FALSE(Calls(MM_DRVM_ERROR).empty());
    EXPECT_TRUE(Calls(MM_DRVM_DATA).empty());

    MMTIME time;
    memset(&time, 0xFF, sizeof time);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_GETPOSITION, reinterpret_cast<LPARAM>(&time), 11), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_GETPOSITION, 0, 12), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_GETPOSITION, reinterpret_cast<LPARAM>(&time), 12), DV_ERR_OK);
    EXPECT_EQ(time.wType, static_cast<UINT>(TIME_MS));
    EXPECT_EQ(time.u.ms, 0u);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_PREPAREHEADER, reinterpret_cast<LPARAM>(&headers[0])), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_UNPREPAREHEADER, reinterpret_cast<LPARAM>(&headers[0])), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_MSG_END), DV_ERR_NOTSUPPORTED);
}

TEST_F(Stream, ResetHandsEveryQueuedBufferBackOnceInOrder) {
    ASSERT_EQ(Init(100000), DV_ERR_OK);
    for (int i = 0; i < kBuffers; i++) ASSERT_EQ(Add(&headers[i]), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    for (int t = 0; t < 2000 && Calls(MM_DRVM_DATA).empty(); t++) PosixClockAdvance(1);
    ASSERT_EQ(Calls(MM_DRVM_DATA).size(), 1u);  // buffer 0, filled
    Forget();
    EXPECT_EQ(Message(DVM_STREAM_RESET), DV_ERR_OK);
    EXPECT_EQ(PosixTimersPending(), 0);
    std::vector<Call> calls = Calls();
    ASSERT_EQ(calls.size(), 3u);
    for (int n = 0; n < 3; n++) {
        EXPECT_EQ(calls[n].msg, static_cast<UINT>(MM_DRVM_DATA));
        EXPECT_EQ(Index(calls[n].param), n + 1);
        EXPECT_EQ(headers[n + 1].dwFlags, static_cast<DWORD>(VHDR_PREPARED | VHDR_DONE));
        EXPECT_EQ(headers[n + 1].dwBytesUsed, 0u);
    }
    // Reset leaves the stream initialised and stopped: it starts again.
    PosixClockAdvance(500);
    EXPECT_EQ(Calls().size(), 3u);
    EXPECT_EQ(Message(DVM_STREAM_RESET), DV_ERR_OK);
    EXPECT_EQ(Calls().size(), 3u);
    ASSERT_EQ(Add(&headers[0]), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    for (int t = 0; t < 2000 && Calls().size() == 3u; t++) PosixClockAdvance(1);
    ASSERT_EQ(Calls().size(), 4u);
    EXPECT_EQ(Calls()[3].param, reinterpret_cast<DWORD_PTR>(&headers[0]));
    EXPECT_EQ(headers[0].dwFlags, kDoneFlags);
}

void ResetFromTheCallback(Stream* host, VIDEOHDR*) {
    host->seen.react = nullptr;
    EXPECT_EQ(host->Message(DVM_STREAM_RESET), DV_ERR_OK);
}

TEST_F(Stream, AHostMayStopTheStreamFromItsCallback) {
    seen.react = ResetFromTheCallback;
    ASSERT_EQ(Init(66666), DV_ERR_OK);
    for (int i = 0; i < 3; i++) ASSERT_EQ(Add(&headers[i]), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    for (int t = 0; t < 2000 && Calls(MM_DRVM_DATA).empty(); t++) PosixClockAdvance(1);
    // The first frame, then the other two handed back by the reset; no
    // timer is left to tick.
    std::vector<Call> data = Calls(MM_DRVM_DATA);
    ASSERT_EQ(data.size(), 3u);
    for (int n = 0; n < 3; n++) EXPECT_EQ(Index(data[n].param), n);
    EXPECT_EQ(PosixTimersPending(), 0);
    PosixClockAdvance(200);
    EXPECT_EQ(Calls(MM_DRVM_DATA).size(), 3u);
    EXPECT_TRUE(Calls(MM_DRVM_ERROR).empty());
    // Stopped, not ended: the stream starts again.
    EXPECT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    EXPECT_EQ(Message(DVM_STREAM_STOP), DV_ERR_OK);
}

TEST_F(Stream, FiniOfARunningStreamEndsItsTimer) {
    ASSERT_EQ(Init(66666), DV_ERR_OK);
    ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    PosixClockAdvance(10);
    Forget();
    ASSERT_EQ(Message(DVM_STREAM_FINI), DV_ERR_OK);
    EXPECT_EQ(PosixTimersPending(), 0);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].msg, static_cast<UINT>(MM_DRVM_CLOSE));
    PosixClockAdvance(100);
    EXPECT_EQ(Calls().size(), 1u);
    SimCamera camera;
    SimReadCamera(&camera);
    EXPECT_FALSE(camera.streamRunning);
    EXPECT_FALSE(camera.streamInitialised);
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
