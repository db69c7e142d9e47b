// Scaffolding for the stream and fault tests: a host on the simulated camera
// that records what the driver calls back with, keeps a ledger of every
// buffer it hands the driver and gets back, and notes what the driver holds
// (memory blocks, link handles, timers, the selected device) so a test can
// see that a fault leaves nothing behind.
#ifndef TARN2_TESTS_RELIABILITY_SUPPORT_H
#define TARN2_TESTS_RELIABILITY_SUPPORT_H

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "driver_support.h"
#include "platform/posix/posix_windows.h"

// What the driver holds between a channel's open and its close.
struct Holdings {
    long localBlocks;
    long globalBlocks;
    int links;
    int timers;
    long badHandles;  // memory handles used after their release

    static Holdings Now() {
        return {PosixLiveLocalBlocks(), PosixLiveGlobalBlocks(), SimOpenLinks(), PosixTimersPending(),
                PosixBadMemoryHandles()};
    }
    bool operator==(const Holdings& o) const {
        return localBlocks == o.localBlocks && globalBlocks == o.globalBlocks && links == o.links &&
               timers == o.timers && badHandles == o.badHandles;
    }
};

inline std::ostream& operator<<(std::ostream& out, const Holdings& h) {
    return out << "{local " << h.localBlocks << ", global " << h.globalBlocks << ", links " << h.links << ", timers "
               << h.timers << ", bad handles " << h.badHandles << "}";
}

struct Call {
    UINT msg;
    DWORD_PTR param;
};

class FaultHost : public DriverHost {
public:
    static constexpr int kBuffers = 4;
    VIDEOHDR headers[kBuffers];
    std::vector<BYTE> buffers[kBuffers];
    Holdings before{};

    // What came back, written from whichever thread the driver calls back on.
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<Call> calls;
    std::map<VIDEOHDR*, int> added;
    std::map<VIDEOHDR*, int> returned;
    // A buffer returned that was not in the queue, flagged wrongly or part filled.
    int badReturns = 0;
    // The host's answer to a returned buffer, on the callback's thread.
    void (*react)(FaultHost* host, VIDEOHDR* header) = nullptr;

    void SetUp() override {
        DriverHost::SetUp();
        before = Holdings::Now();
    }
    // Opens VIDEO_IN and sizes the buffers by the current format.
    void OpenVideoIn() {
        ASSERT_NO_FATAL_FAILURE(DriverHost::OpenVideoIn());
        BITMAPINFOHEADER format;
        ASSERT_NO_FATAL_FAILURE(ReadFormat(videoIn, &format));
        ASSERT_GT(format.biSizeImage, 0u);
        PrepareBuffers(headers, buffers, kBuffers, format.biSizeImage);
    }

    static void CALLBACK Callback(HDRVR, UINT msg, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR) {
        reinterpret_cast<FaultHost*>(user)->Arrived(msg, param1);
    }
    void Arrived(UINT msg, DWORD_PTR param) {
        VIDEOHDR* header = reinterpret_cast<VIDEOHDR*>(param);
        void (*answer)(FaultHost*, VIDEOHDR*) = nullptr;
        {
            std::lock_guard<std::mutex> hold(lock);
            calls.push_back({msg, param});
            if (msg == MM_DRVM_DATA) {
                if (++returned[header] > added[header]) badReturns++;
                if ((header->dwFlags & (VHDR_DONE | VHDR_INQUEUE)) != VHDR_DONE) badReturns++;
                // Filled whole, or handed back unfilled: never a part of a frame.
                if (header->dwBytesUsed != 0 && header->dwBytesUsed != header->dwBufferLength) badReturns++;
                answer = react;
            }
        }
        arrived.notify_all();
        if (answer) answer(this, header);
    }
    static void Requeue(FaultHost* host, VIDEOHDR* header) { EXPECT_EQ(host->Add(header), DV_ERR_OK); }

    LRESULT Init(DWORD microseconds) {
        VIDEO_STREAM_INIT_PARMS parms = {microseconds, reinterpret_cast<DWORD_PTR>(&FaultHost::Callback),
                                         reinterpret_cast<DWORD_PTR>(this), DCB_FUNCTION << 16, videoIn};
        return Send(videoIn, DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&parms), sizeof parms);
    }
    // Hands a buffer over; counted in the ledger only when the driver took it.
    LRESULT Add(VIDEOHDR* header) {
        LRESULT result = Send(videoIn, DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(header), sizeof *header);
        if (result == DV_ERR_OK) {
            std::lock_guard<std::mutex> hold(lock);
            added[header]++;
        }
        return result;
    }
    LRESULT Message(UINT msg) { return Send(videoIn, msg); }
    // Init, every buffer queued, start.
    void StartWithAllBuffers(DWORD microseconds) {
        ASSERT_EQ(Init(microseconds), DV_ERR_OK);
        for (VIDEOHDR& header : headers) ASSERT_EQ(Add(&header), DV_ERR_OK);
        ASSERT_EQ(Message(DVM_STREAM_START), DV_ERR_OK);
    }

    // The calls of one kind (all when msg is 0).
    std::vector<Call> Calls(UINT msg = 0) {
        std::lock_guard<std::mutex> hold(lock);
        std::vector<Call> some;
        for (const Call& call : calls)
            if (msg == 0 || call.msg == msg) some.push_back(call);
        return some;
    }
    // Buffers handed back since the start.
    int Frames() {
        std::lock_guard<std::mutex> hold(lock);
        int n = 0;
        for (const auto& entry : returned) n += entry.second;
        return n;
    }
    // Moves virtual time on a millisecond at a time until `done` or the limit.
    static void AdvanceUntil(const std::function<bool()>& done, DWORD limitMs = 2000) {
        for (DWORD t = 0; t < limitMs && !done(); t++) PosixClockAdvance(1);
    }
    void AdvanceForFrames(int more, DWORD limitMs) {
        int target = Frames() + more;
        AdvanceUntil([&] { return Frames() >= target; }, limitMs);
    }
    // Every buffer the driver took came back exactly once.
    void ExpectLedgerBalanced() {
        std::lock_guard<std::mutex> hold(lock);
        EXPECT_EQ(returned, added);
        EXPECT_EQ(badReturns, 0);
    }
    // Ends the stream as a host does after trouble: stop, reset, fini. The
    // answers may report the camera's failure, but the stream must end.
    void EndStream() {
        {
            std::lock_guard<std::mutex> hold(lock);
            react = nullptr;
        }
        Message(DVM_STREAM_STOP);
        EXPECT_EQ(Message(DVM_STREAM_RESET), DV_ERR_OK);
        Message(DVM_STREAM_FINI);
        EXPECT_EQ(Message(DVM_STREAM_FINI), DV_ERR_NONSPECIFIC) << "the stream did not end";
        EXPECT_EQ(PosixTimersPending(), 0);
    }
    void ExpectNothingHeld() {
        // Trace lines wait as posted messages until the window takes them.
        PosixRunMessages();
        EXPECT_EQ(Holdings::Now(), before);
        EXPECT_EQ(SelectedDevice(), nullptr);
    }
};

#endif
