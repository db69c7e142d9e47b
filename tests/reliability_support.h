// Scaffolding for the fault tests: a host on the simulated camera that keeps
// a ledger of every buffer it hands the driver and every buffer it gets
// back, and notes what the driver holds (memory blocks, link handles,
// timers, the selected device) so a test can see that a fault leaves
// nothing behind.
#ifndef TARN2_TESTS_RELIABILITY_SUPPORT_H
#define TARN2_TESTS_RELIABILITY_SUPPORT_H

#include <map>
#include <mutex>
#include <vector>

#include "device/camera_device.h"
#include "driver_support.h"
#include "platform/posix/posix_windows.h"
#include "sim/sim.h"

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

class FaultHost : public DriverHost {
public:
    static constexpr int kBuffers = 4;
    DWORD_PTR videoIn = 0;
    VIDEOHDR headers[kBuffers];
    std::vector<BYTE> buffers[kBuffers];
    Holdings before{};

    // The ledger, written from whichever thread the driver calls back on.
    std::mutex lock;
    std::map<VIDEOHDR*, int> added;
    std::map<VIDEOHDR*, int> returned;
    int errors = 0;
    int opens = 0;
    int closes = 0;
    // A buffer returned that was not in the queue, flagged wrongly or part filled.
    int badReturns = 0;
    bool requeue = false;

    void SetUp() override {
        DriverHost::SetUp();
        before = Holdings::Now();
    }

    // Opens VIDEO_IN and sizes the buffers by the current format.
    void OpenVideoIn() {
        videoIn = Open(VIDEO_IN);
        ASSERT_GT(videoIn, 1u);
        BITMAPINFOHEADER format;
        ASSERT_NO_FATAL_FAILURE(ReadFormat(videoIn, &format));
        ASSERT_GT(format.biSizeImage, 0u);
        PrepareBuffers(headers, buffers, kBuffers, format.biSizeImage);
    }

    static SimCamera Camera() {
        SimCamera camera;
        SimReadCamera(&camera);
        return camera;
    }

    static void CALLBACK Callback(HDRVR, UINT msg, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR) {
        reinterpret_cast<FaultHost*>(user)->Arrived(msg, param1);
    }

    void Arrived(UINT msg, DWORD_PTR param) {
        bool again = false;
        VIDEOHDR* header = reinterpret_cast<VIDEOHDR*>(param);
        {
            std::lock_guard<std::mutex> hold(lock);
            if (msg == MM_DRVM_OPEN) opens++;
            if (msg == MM_DRVM_CLOSE) closes++;
            if (msg == MM_DRVM_ERROR) errors++;
            if (msg != MM_DRVM_DATA) return;
            returned[header]++;
            if (returned[header] > added[header]) badReturns++;
            if ((header->dwFlags & (VHDR_DONE | VHDR_INQUEUE)) != VHDR_DONE) badReturns++;
            // Filled whole, or handed back unfilled: never a part of a frame.
            if (header->dwBytesUsed != 0 && header->dwBytesUsed != header->dwBufferLength) badReturns++;
            again = requeue;
        }
        if (again) Add(header);
    }

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

    int Frames() {
        std::lock_guard<std::mutex> hold(lock);
        int n = 0;
        for (const auto& entry : returned) n += entry.second;
        return n;
    }
    // Moves virtual time on until n more buffers came back or the time is up.
    void AdvanceForFrames(int more, DWORD limitMs) {
        int target = Frames() + more;
        for (DWORD t = 0; t < limitMs && Frames() < target; t++) PosixClockAdvance(1);
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
            requeue = false;
        }
        Message(DVM_STREAM_STOP);
        EXPECT_EQ(Message(DVM_STREAM_RESET), DV_ERR_OK);
        Message(DVM_STREAM_FINI);
        EXPECT_EQ(Message(DVM_STREAM_FINI), DV_ERR_NONSPECIFIC) << "the stream did not end";
        EXPECT_EQ(PosixTimersPending(), 0);
    }
    void CloseVideoIn() {
        EXPECT_EQ(Close(videoIn), 1);
        videoIn = 0;
    }
    void ExpectNothingHeld() {
        // Trace lines wait as posted messages until the window takes them.
        PosixRunMessages();
        EXPECT_EQ(Holdings::Now(), before);
        EXPECT_EQ(SelectedDevice(), nullptr);
    }
};

#endif
