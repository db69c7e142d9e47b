// DriverProc as a host calls it: driver messages, channel open and close with
// their usage accounting, and the channel dispatcher with format and palette
// negotiation on opened channels.
#include <sys/wait.h>
#include <unistd.h>

#include "driver_support.h"

namespace {

class DriverEntry : public DriverHost {};

TEST_F(DriverEntry, GenericMessagesAnswerAsTheHostExpects) {
    // clang-format off
    const struct { DWORD_PTR id; UINT msg; LRESULT result; } rows[] = {
        {0, DRV_QUERYCONFIGURE, 1}, {0, DRV_INSTALL, 1}, {0, DRV_REMOVE, 1}, {0, DRV_CONFIGURE, 1},
        {0, DRV_DISABLE, 0}, {0, DRV_ENABLE, 1}, {0, DRV_USER + 5, 0},
        // Outside 1..10 with no channel: the driver manager's default answer.
        {0, 0, DefDriverProc(0, nullptr, 0, 0, 0)}, {1, 11, DefDriverProc(1, nullptr, 11, 0, 0)},
    };
    // clang-format on
    for (const auto& row : rows) EXPECT_EQ(Send(row.id, row.msg), row.result) << row.msg;
}

TEST_F(DriverEntry, TwoChannelKindsShareOneCameraAndCountTheirOpens) {
    DWORD error = 0;
    OpenVideoIn();
    EXPECT_EQ(ReadRegDword("Initialised", 0), 1u);
    HLOCAL camera = deviceHandle;
    DWORD_PTR external = Open(VIDEO_EXTERNALIN, "", &error);
    ASSERT_GT(external, 1u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_OK));
    EXPECT_EQ(deviceHandle, camera);  // one start-up only
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 1u);
    EXPECT_EQ(ReadRegDword("CaptureUsage", 9), 1u);
    EXPECT_EQ(openCount, 2);
    EXPECT_EQ(Open(VIDEO_IN, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));

    CloseVideoIn();
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 0u);
    EXPECT_TRUE(initialised);  // the other channel still holds the camera
    EXPECT_EQ(ReadRegDword("Initialised", 0), 1u);
    EXPECT_EQ(Close(external), 1);
    EXPECT_FALSE(initialised);
    EXPECT_EQ(ReadRegDword("Initialised", 9), 0u);
    EXPECT_EQ(ReadRegDword("CaptureUsage", 9), 0u);
    OpenVideoIn();
}

// A host that crashes never closes its channel. A counter whose holder has
// ended is cleared at the next open; a holder still running, or none
// recorded, keeps the kind closed.
TEST_F(DriverEntry, ACounterLeftByAnotherProcessKeepsThatKindClosedUntilItEnds) {
    DWORD error = 0;
    WriteRegDword("CaptureUsage", 1);
    EXPECT_EQ(Open(VIDEO_EXTERNALIN, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));
    OpenVideoIn();  // the other kind is free
    CloseVideoIn();
    WriteRegDword("CaptureUsageProcess", static_cast<DWORD>(getppid()));
    EXPECT_EQ(Open(VIDEO_EXTERNALIN, "", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));
    WriteRegDword("CaptureUsage", 0);
    EXPECT_GT(Open(VIDEO_EXTERNALIN, "", &error), 1u);

    pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    WriteRegDword("VideoInUsage", 1);
    WriteRegDword("VideoInUsageProcess", static_cast<DWORD>(child));
    OpenVideoIn();
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 1u);
    EXPECT_EQ(ReadRegDword("VideoInUsageProcess", 0), GetCurrentProcessId());
    EXPECT_EQ(Open(VIDEO_IN, "", &error), 0u);  // held by this process now
    EXPECT_EQ(error, static_cast<DWORD>(DV_ERR_TOOMANYCHANNELS));
    CloseVideoIn();
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 0u);
    EXPECT_EQ(ReadRegDword("VideoInUsageProcess", 9), 0u);
}

TEST_F(DriverEntry, RefusedOpensSayWhyAndKeepNothing) {
    long blocks = PosixLiveLocalBlocks();
    DWORD error = 0;
    const struct {
        DWORD type;
        LRESULT error;
    } rows[] = {{VIDEO_OUT, DV_ERR_NOTSUPPORTED}, {VIDEO_EXTERNALOUT, DV_ERR_NOTSUPPORTED},
                {0, DV_ERR_NOTDETECTED},          {3, DV_ERR_NOTDETECTED},
                {5, DV_ERR_NOTDETECTED},          {0x0F, DV_ERR_NOTDETECTED}};
    for (const auto& row : rows) {
        EXPECT_EQ(Open(row.type, "", &error), 0u) << row.type;
        EXPECT_EQ(error, static_cast<DWORD>(row.error)) << row.type;
    }
    VIDEO_OPEN_PARMS parms;
    memset(&parms, 0, sizeof parms);
    parms.fccType = mmioFOURCC('v', 'i', 'd', 's');
    parms.dwFlags = VIDEO_IN;
    parms.dwError = 1234;
    EXPECT_EQ(Send(0, DRV_OPEN, 0, reinterpret_cast<LPARAM>(&parms)), 0);
    EXPECT_EQ(parms.dwError, 1234u);  // not a capture open: left alone
    EXPECT_EQ(PosixLiveLocalBlocks(), blocks);
    EXPECT_EQ(openCount, 0);
    EXPECT_EQ(ReadRegDword("Initialised", 7), 7u);  // no start-up ran
    // The configuration open needs no parameter block.
    EXPECT_EQ(Send(0, DRV_OPEN, 0, 0), 1);
    EXPECT_EQ(Send(1, DRV_CLOSE), 1);
    EXPECT_EQ(Send(0, DRV_CLOSE), 1);
    EXPECT_EQ(PosixLiveLocalBlocks(), blocks);
}

TEST_F(DriverEntry, HandlesThatAreNoChannelAreRefusedNotFollowed) {
    OpenVideoIn();
    DWORD words[8] = {0};
    for (DWORD_PTR id : {DWORD_PTR(2), DWORD_PTR(0x1234), reinterpret_cast<DWORD_PTR>(words)}) {
        EXPECT_EQ(Send(id, DRV_CLOSE), 0) << id;
        EXPECT_EQ(Send(id, DVM_GETVIDEOAPIVER, reinterpret_cast<LPARAM>(words)), DV_ERR_INVALHANDLE) << id;
    }
    EXPECT_EQ(openCount, 1);
    // No channel closes while a stream is initialised.
    streamInitialised = TRUE;
    EXPECT_EQ(Close(videoIn), 0);
    EXPECT_EQ(openCount, 1);
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 1u);
    streamInitialised = FALSE;
    DWORD_PTR closed = videoIn;
    CloseVideoIn();
    // A closed channel's handle is stale.
    EXPECT_EQ(Send(closed, DVM_GETVIDEOAPIVER, reinterpret_cast<LPARAM>(words)), DV_ERR_INVALHANDLE);
    EXPECT_EQ(Send(closed, DRV_CLOSE), 0);
}

class Channel : public DriverHost {
protected:
    DWORD_PTR external = 0;
    void SetUp() override {
        DriverHost::SetUp();
        OpenVideoIn();
        external = Open(VIDEO_EXTERNALIN);
        ASSERT_GT(external, 1u);
    }
    LRESULT Config(DWORD_PTR channel, UINT msg, DWORD flags, VIDEOCONFIGPARMS* parms) {
        return Send(channel, msg, flags, reinterpret_cast<LPARAM>(parms));
    }
};

TEST_F(Channel, QueriesAnswerWithoutACamera) {
    DWORD word = 12345;
    EXPECT_EQ(Send(videoIn, DVM_GETVIDEOAPIVER, reinterpret_cast<LPARAM>(&word)), DV_ERR_OK);
    EXPECT_EQ(word, 80u);
    EXPECT_EQ(Send(videoIn, DVM_GETVIDEOAPIVER, 0), DV_ERR_PARAM1);
    char text[16] = "junk";
    VIDEO_GETERRORTEXT_PARMS error = {5, text, sizeof text};
    EXPECT_EQ(Send(videoIn, DVM_GETERRORTEXT, reinterpret_cast<LPARAM>(&error)), DV_ERR_OK);
    EXPECT_STREQ(text, "");
    error.dwLength = 0;
    EXPECT_EQ(Send(videoIn, DVM_GETERRORTEXT, reinterpret_cast<LPARAM>(&error)), DV_ERR_NOTSUPPORTED);
    error.dwLength = 16;
    error.lpText = nullptr;
    EXPECT_EQ(Send(videoIn, DVM_GETERRORTEXT, reinterpret_cast<LPARAM>(&error)), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Send(videoIn, DVM_GETERRORTEXT, 0), DV_ERR_NOTSUPPORTED);
    // Dialog queries show nothing.
    EXPECT_EQ(Send(videoIn, DVM_DIALOG, 0, VIDEO_DLG_QUERY), DV_ERR_OK);
    EXPECT_EQ(Send(external, DVM_DIALOG, 0, VIDEO_DLG_QUERY), DV_ERR_OK);
}

TEST_F(Channel, UnsupportedAndUnknownMessagesAreRefused) {
    for (UINT msg :
         std::initializer_list<UINT>{DVM_CONFIGURESTORAGE, DVM_GET_CHANNEL_CAPS, DVM_UPDATE, DVM_PALETTERGB555,
                                     DVM_SRC_RECT, DVM_DST_RECT, 0x4190u, 0x0800u, 0x1006u, 0xFFFFu}) {
        EXPECT_EQ(Send(videoIn, msg, 1, 2), DV_ERR_NOTSUPPORTED) << std::hex << msg;
        EXPECT_EQ(Send(external, msg, 1, 2), DV_ERR_NOTSUPPORTED) << std::hex << msg;
    }
    // The stream range reaches the stream engine, which refuses the
    // external channel whatever the message.
    for (UINT msg = DVM_STREAM_MSG_START; msg <= DVM_STREAM_MSG_END; msg += 7)
        EXPECT_EQ(Send(external, msg, 0, 0), DV_ERR_NOTSUPPORTED);
}

TEST_F(Channel, SingleFramesCheckTheHeaderFirst) {
    BYTE buffer[64];
    VIDEOHDR header;
    memset(&header, 0, sizeof header);
    header.lpData = buffer;
    header.dwBufferLength = sizeof buffer;
    header.dwFlags = VHDR_PREPARED;
    VIDEOHDR before = header;
    EXPECT_EQ(Send(external, DVM_FRAME, reinterpret_cast<LPARAM>(&header)), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(memcmp(&header, &before, sizeof header), 0);
    EXPECT_EQ(Send(videoIn, DVM_FRAME, 0), DV_ERR_PARAM1);
    header.dwBufferLength = 0;
    EXPECT_EQ(Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header)), DV_ERR_PARAM1);
    header.dwBufferLength = sizeof buffer;
    header.lpData = nullptr;
    EXPECT_EQ(Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header)), DV_ERR_PARAM1);
    // A buffer smaller than the picture: the grab fails and the header is
    // left as it was.
    header.lpData = buffer;
    EXPECT_EQ(Send(videoIn, DVM_FRAME, reinterpret_cast<LPARAM>(&header)), DV_ERR_SYNC);
    EXPECT_EQ(memcmp(&header, &before, sizeof header), 0);
}

TEST_F(Channel, FormatMessagesFollowTheirFlagWords) {
    BITMAPINFOHEADER format;
    memset(&format, 0x5A, sizeof format);
    DWORD answer = 0;
    VIDEOCONFIGPARMS parms = {&answer, &format, 39, nullptr, 0};
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x2010, &parms), DV_ERR_SIZEFIELD);
    EXPECT_EQ(reinterpret_cast<BYTE*>(&format)[0], 0x5A);  // nothing copied
    parms.dwSize1 = 40;
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x2010, &parms), DV_ERR_OK);
    EXPECT_EQ(memcmp(&format, &currentFormat, sizeof format), 0);
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x2001, &parms), DV_ERR_OK);
    EXPECT_EQ(answer, 50u);
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0xA000, &parms), DV_ERR_OK);
    for (DWORD flags : {0x1010u, 0x9000u, 0x2000u, 0u, 0x3000u})
        EXPECT_EQ(Config(videoIn, DVM_FORMAT, flags, &parms), DV_ERR_NOTSUPPORTED) << std::hex << flags;
    // The current format again: accepted without asking the device.
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1000, &parms), DV_ERR_OK);

    // A private message (a write of brightness 90, the marker's top bit set)
    // is always answered "not supported", and runs only when it comes whole
    // as a SET on VIDEO_IN; it is no format.
    BITMAPINFOHEADER marked = format;
    marked.biXPelsPerMeter = static_cast<LONG>(0xA3680040u);
    marked.biYPelsPerMeter = static_cast<LONG>(Bytes(90, 90, 90, 0));
    parms.lpData1 = &marked;
    parms.dwSize1 = 39;
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1000, &parms), DV_ERR_SIZEFIELD);
    parms.dwSize1 = 40;
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1010, &parms), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Config(external, DVM_FORMAT, 0x1000, &parms), DV_ERR_NOTSUPPORTED);
    EXPECT_NE(Camera().brightness, 90) << "none of them reached the camera";
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1000, &parms), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Camera().brightness, 90);
    EXPECT_EQ(memcmp(&format, &currentFormat, sizeof format), 0);
    // Missing requests are refused unread.
    parms.lpData1 = nullptr;
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1000, &parms), DV_ERR_PARAM1);
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x1000, nullptr), DV_ERR_PARAM2);
    EXPECT_EQ(Config(videoIn, DVM_FORMAT, 0x2001, nullptr), DV_ERR_PARAM2);
    // Only the VIDEO_IN channel negotiates.
    EXPECT_EQ(Config(external, DVM_FORMAT, 0x2010, &parms), DV_ERR_NOTSUPPORTED);
    EXPECT_EQ(Config(external, DVM_PALETTE, 0xA000, &parms), DV_ERR_NOTSUPPORTED);
}

TEST_F(Channel, PaletteMessagesFollowTheirFlagWords) {
    BYTE palette[4 + 256 * 4] = {0};  // a LOGPALETTE of 256 entries
    DWORD answer = 77;
    VIDEOCONFIGPARMS parms = {&answer, palette, sizeof palette, nullptr, 0};
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x0001, &parms), DV_ERR_OK);
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x2001, &parms), DV_ERR_OK);
    EXPECT_NE(answer, 77u);
    // SET with CURRENT is a SET here.
    for (DWORD flags : {0x1010u, 0x2000u, 0x9000u, 0xA000u})
        EXPECT_EQ(Config(videoIn, DVM_PALETTE, flags, &parms), DV_ERR_OK) << std::hex << flags;
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x2002, &parms), DV_ERR_NOTSUPPORTED);
    // A palette whose header claims more entries than its block holds is
    // refused before anything reads them.
    palette[1] = 0x03;  // version 0x300
    palette[3] = 0x01;  // 256 entries
    parms.dwSize1 = 4 + 255 * 4;
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x1000, &parms), DV_ERR_SIZEFIELD);
    parms.dwSize1 = 3;
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x1000, &parms), DV_ERR_SIZEFIELD);
    parms.lpData1 = nullptr;
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x1000, &parms), DV_ERR_PARAM1);
    EXPECT_EQ(Config(videoIn, DVM_PALETTE, 0x1000, nullptr), DV_ERR_PARAM1);
}

}  // namespace
