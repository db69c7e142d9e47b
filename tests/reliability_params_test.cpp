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
