// The stream engine's queue and state machine, through DriverProc.
#include <vector>

#include "driver_support.h"

namespace {

struct Callbacks {
    std::vector<std::pair<UINT, DWORD_PTR>> calls;
};

void CALLBACK HostCallback(HDRVR, UINT msg, DWORD_PTR user, DWORD_PTR param1, DWORD_PTR) {
    reinterpret_cast<Callbacks*>(user)->calls.push_back({msg, param1});
}

class Stream : public DriverHost {
protected:
    DWORD_PTR videoIn = 0;
    Callbacks seen;
    VIDEOHDR headers[3];
    BYTE buffers[3][64];
    void SetUp() override {
        DriverHost::SetUp();
        videoIn = Open(VIDEO_IN);
        ASSERT_GT(videoIn, 1u);
        memset(headers, 0, sizeof headers);
        for (int i = 0; i < 3; i++) {
            headers[i].lpData = buffers[i];
            headers[i].dwBufferLength = sizeof buffers[i];
            headers[i].dwFlags = VHDR_PREPARED;
        }
    }
    void TearDown() override {
        Send(videoIn, DVM_STREAM_RESET);
        Send(videoIn, DVM_STREAM_FINI);
        DriverHost::TearDown();
    }
    LRESULT Init(DWORD microseconds) {
        VIDEO_STREAM_INIT_PARMS parms = {microseconds, reinterpret_cast<DWORD_PTR>(HostCallback),
                                         reinterpret_cast<DWORD_PTR>(&seen), DCB_FUNCTION << 16, 0};
        return Send(videoIn, DVM_STREAM_INIT, reinterpret_cast<LPARAM>(&parms), sizeof parms);
    }
    LRESULT Add(VIDEOHDR* header) { return Send(videoIn, DVM_STREAM_ADDBUFFER, reinterpret_cast<LPARAM>(header)); }
};

TEST_F(Stream, BuffersQueueOnlyOnAnInitialisedStream) {
    EXPECT_EQ(Add(&headers[0]), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_START), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_STOP), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_RESET), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_FINI), DV_ERR_NONSPECIFIC);
    EXPECT_EQ(Init(100000), DV_ERR_OK);
    EXPECT_EQ(Init(100000), DV_ERR_NONSPECIFIC);  // already initialised
    EXPECT_EQ(Close(videoIn), 0);
    EXPECT_EQ(Add(nullptr), DV_ERR_NONSPECIFIC);
    headers[0].dwFlags = 0;
    EXPECT_EQ(Add(&headers[0]), DV_ERR_UNPREPARED);
    headers[0].dwFlags = VHDR_PREPARED | VHDR_DONE;
    headers[0].dwBytesUsed = 99;
    EXPECT_EQ(Add(&headers[0]), DV_ERR_OK);
    EXPECT_EQ(headers[0].dwFlags, static_cast<DWORD>(VHDR_PREPARED | VHDR_INQUEUE));
    EXPECT_EQ(headers[0].dwBytesUsed, 0u);
    EXPECT_EQ(Add(&headers[0]), DV_ERR_NONSPECIFIC);  // already queued
    EXPECT_EQ(Add(&headers[1]), DV_ERR_OK);
    EXPECT_EQ(Add(&headers[2]), DV_ERR_OK);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_FINI), DV_ERR_STILLPLAYING);

    seen.calls.clear();
    EXPECT_EQ(Send(videoIn, DVM_STREAM_RESET), DV_ERR_OK);
    ASSERT_EQ(seen.calls.size(), 3u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(seen.calls[i].first, static_cast<UINT>(MM_DRVM_DATA));
        EXPECT_EQ(seen.calls[i].second, reinterpret_cast<DWORD_PTR>(&headers[i]));  // queue order
        EXPECT_EQ(headers[i].dwFlags, static_cast<DWORD>(VHDR_PREPARED | VHDR_DONE));
    }
    seen.calls.clear();
    Send(videoIn, DVM_STREAM_FINI);
    ASSERT_EQ(seen.calls.size(), 1u);
    EXPECT_EQ(seen.calls[0].first, static_cast<UINT>(MM_DRVM_CLOSE));
    EXPECT_EQ(Close(videoIn), 1);
}

TEST_F(Stream, ErrorAndPositionQueries) {
    Init(33000);
    DWORD error = 77, skipped = 77;
    EXPECT_EQ(Send(videoIn, DVM_STREAM_GETERROR, reinterpret_cast<LPARAM>(&error), reinterpret_cast<LPARAM>(&skipped)),
              DV_ERR_OK);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(skipped, 0u);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_GETERROR, 0, 0), DV_ERR_OK);
    MMTIME time;
    memset(&time, 0xFF, sizeof time);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_GETPOSITION, reinterpret_cast<LPARAM>(&time), 11), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_GETPOSITION, reinterpret_cast<LPARAM>(&time), sizeof time), DV_ERR_OK);
    EXPECT_EQ(time.wType, static_cast<UINT>(TIME_MS));
    EXPECT_EQ(time.u.ms, 0u);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_GETPOSITION, 0, sizeof time), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_PREPAREHEADER, reinterpret_cast<LPARAM>(&headers[0])), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_UNPREPAREHEADER, reinterpret_cast<LPARAM>(&headers[0])), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_MSG_END), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_STREAM_INIT, 0), DV_ERR_NONSPECIFIC);  // still initialised
}

TEST_F(Stream, InitWithoutParametersIsRefused) {
    EXPECT_EQ(Send(videoIn, DVM_STREAM_INIT, 0), DV_ERR_PARAM1);
}

}  // namespace
