// Parameter blocks a host gets wrong: a refused format leaves the device as
// it was, the byte count of a frame is the driver's own (a request's 0 or
// wrong number never stands for it), and no frame claims more bytes than
// its buffer holds.
#include "reliability_support.h"

namespace {

class BadParameters : public FaultHost {
protected:
    void SetUp() override {
        FaultHost::SetUp();
        OpenVideoIn();
    }
    // Commands of the video group in the log: the format, window and grab
    // commands the camera got.
    static int VideoCommands(BYTE number) {
        int count = 0;
        SimCommandRecord record;
        for (int i = 0; SimGetCommand(i, &record); i++)
            if (record.module == 0xC0 && record.command == number) count++;
        return count;
    }
};

TEST_F(BadParameters, ARefusedFormatLeavesTheDeviceAsItWas) {
    ASSERT_EQ(SetFormat(videoIn, HostFormat(320, 240, 24, 0, 320 * 240 * 3)), DV_ERR_OK);
    BITMAPINFOHEADER good = CurrentFormat(videoIn);
    ASSERT_EQ(Frame(videoIn), DV_ERR_OK);
    SimCamera camera = Camera();
    const BITMAPINFOHEADER refused[] = {
        HostFormat(176, 144, 24, mmioFOURCC('M', 'J', 'P', 'G'), 1000),
        HostFormat(352, 288, 9, mmioFOURCC('Y', 'V', 'U', '9'), 352 * 288 * 9 / 8),
        HostFormat(176, 144, 16, mmioFOURCC('P', 'Y', 'U', 'V'), 176 * 144 * 2),
        HostFormat(1000, 1000, 24, 0, 3000000),
        HostFormat(176, 144, 32, 0, 176 * 144 * 4),
    };
    for (const BITMAPINFOHEADER& request : refused) {
        SCOPED_TRACE(&request - refused);
        EXPECT_EQ(SetFormat(videoIn, request), DV_ERR_NOTSUPPORTED);
        // The byte count of the next frame is the device's, not the request's.
        EXPECT_EQ(currentFormat.biSizeImage, good.biSizeImage);
        BITMAPINFOHEADER now = CurrentFormat(videoIn);
        EXPECT_EQ(memcmp(&now, &good, sizeof now), 0);
        // The next frame comes through the window it came through before.
        VIDEOHDR header;
        EXPECT_EQ(Frame(videoIn, nullptr, &header), DV_ERR_OK);
        EXPECT_EQ(header.dwBytesUsed, good.biSizeImage);
        EXPECT_EQ(Camera().videoSize, camera.videoSize);
        EXPECT_EQ(Camera().colStart8, camera.colStart8);
        EXPECT_EQ(Camera().rowEnd4, camera.rowEnd4);
    }
}

TEST_F(BadParameters, TheByteCountOfAFrameIsTheDriversOwn) {
    // RGB may leave the size 0; a wrong number is not taken either.
    for (DWORD claimed : {0u, 100u, 0x7FFFFFFFu}) {
        ASSERT_EQ(SetFormat(videoIn, HostFormat(160, 120, 24, 0, claimed)), DV_ERR_OK) << claimed;
        EXPECT_EQ(currentFormat.biSizeImage, 160u * 120 * 3);
        EXPECT_EQ(CurrentFormat(videoIn).biSizeImage, 160u * 120 * 3);
    }
    ASSERT_EQ(SetFormat(videoIn, HostFormat(176, 144, 12, mmioFOURCC('I', 'Y', 'U', 'V'), 0)), DV_ERR_OK);
    EXPECT_EQ(CurrentFormat(videoIn).biSizeImage, 176u * 144 * 3 / 2);
    std::vector<BYTE> picture(176 * 144 * 3 / 2);
    VIDEOHDR header;
    EXPECT_EQ(Frame(videoIn, &picture, &header), DV_ERR_OK);
    EXPECT_EQ(header.dwBytesUsed, picture.size());
    // A copy of the format that is out of date (the device was changed by
    // other means) never makes a frame claim more than its buffer.
    currentFormat.biSizeImage = 0x10000000;
    EXPECT_EQ(Frame(videoIn, &picture, &header), DV_ERR_OK);
    EXPECT_EQ(header.dwBytesUsed, picture.size());
}

// A host may leave the byte count 0 or call I420 "IYUV". The same format
// sent again is current all the same: the device is not called, so nothing
// is staged for the camera and no frame is dropped for a resync.
TEST_F(BadParameters, TheSameFormatAgainIsCurrentHoweverTheHostFilledIt) {
    const struct {
        const char* name;
        BITMAPINFOHEADER format;
    } rows[] = {
        {"RGB without a size", HostFormat(160, 120, 24, 0, 0)},
        {"IYUV without a size", HostFormat(176, 144, 12, mmioFOURCC('I', 'Y', 'U', 'V'), 0)},
        {"IYUV with its size", HostFormat(320, 240, 12, mmioFOURCC('I', 'Y', 'U', 'V'), 320 * 240 * 3 / 2)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(SetFormat(videoIn, row.format), DV_ERR_OK);
        ASSERT_EQ(Frame(videoIn), DV_ERR_OK);
        SimClearLog();
        EXPECT_EQ(SetFormat(videoIn, row.format), DV_ERR_OK);
        EXPECT_EQ(Frame(videoIn), DV_ERR_OK);
        EXPECT_EQ(VideoCommands(8) + VideoCommands(9), 0) << "format or window sent again";
        EXPECT_EQ(VideoCommands(1), 1) << "a frame dropped";
    }
}

// The driver's copy of the format outlives a session; the camera of the
// next one starts in its stored size as 24-bit RGB, and the same request
// as before, sent before any GET, must reach it.
TEST_F(BadParameters, AFormatOfAnEarlierSessionIsNotTakenAsCurrent) {
    const BITMAPINFOHEADER i420 = HostFormat(176, 144, 12, mmioFOURCC('I', '4', '2', '0'), 176 * 144 * 3 / 2);
    ASSERT_EQ(SetFormat(videoIn, i420), DV_ERR_OK);
    CloseVideoIn();
    DriverHost::OpenVideoIn();
    ASSERT_EQ(SetFormat(videoIn, i420), DV_ERR_OK);
    EXPECT_EQ(CurrentFormat(videoIn).biCompression, i420.biCompression);
    std::vector<BYTE> picture(i420.biSizeImage);
    EXPECT_EQ(Frame(videoIn, &picture), DV_ERR_OK);
}

}  // namespace
