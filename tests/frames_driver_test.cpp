// Pictures of the simulated scene through DriverProc as a host takes them:
// DVM_FORMAT to set the format, DVM_FRAME for one picture, checked against
// the scene for every format, several sizes, the doubled size, and
// compressed frames.
#include <algorithm>

#include "decoder_support.h"
#include "driver_support.h"

namespace {

class FramesThroughDriver : public DriverHost {
protected:
    std::vector<BYTE> palette;
    // The machine the channel opens on: the default one.
    virtual void Machine() {}
    void SetUp() override {
        DriverHost::SetUp();
        ASSERT_NO_FATAL_FAILURE(Machine());
        OpenVideoIn();
    }
    static BITMAPINFOHEADER FormatFor(const OutputFormat& f, LONG width, LONG height) {
        // As a host fills it in: "IYUV" has the size of "I420".
        DWORD size =
            (DWORD)ImageSizeFor(f.compression == FOURCC_IYUV ? FOURCC_I420 : f.compression, f.bitCount, width, height);
        return HostFormat(width, height, f.bitCount, f.compression, size);
    }
    // Sets the format and reads back what the driver made of it, and the
    // palette of 8-bit RGB.
    BITMAPINFOHEADER Choose(const OutputFormat& f, LONG width, LONG height) {
        EXPECT_EQ(SetFormat(videoIn, FormatFor(f, width, height)), DV_ERR_OK) << f.name;
        if (f.compression == 0 && f.bitCount == 8) {
            DWORD size = 0;
            VIDEOCONFIGPARMS parms = {&size, nullptr, 0, nullptr, 0};
            Send(videoIn, DVM_PALETTE, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE,
                 reinterpret_cast<LPARAM>(&parms));
            palette.assign(size, 0);
            parms = {nullptr, palette.data(), size, nullptr, 0};
            EXPECT_EQ(Send(videoIn, DVM_PALETTE, VIDEO_CONFIGURE_GET, reinterpret_cast<LPARAM>(&parms)), DV_ERR_OK);
        }
        return CurrentFormat(videoIn);
    }
    // One DVM_FRAME into a buffer of the format's size, filled whole.
    std::vector<BYTE> Picture(const BITMAPINFOHEADER& format) {
        std::vector<BYTE> buffer(format.biSizeImage, 0xEE);
        VIDEOHDR header;
        EXPECT_EQ(Frame(videoIn, &buffer, &header), DV_ERR_OK);
        EXPECT_EQ(header.dwBytesUsed, format.biSizeImage);
        EXPECT_TRUE(header.dwFlags & VHDR_DONE);
        return buffer;
    }
    // The frame the last picture came from, as the grabber checked it.
    static const BYTE* LastHeader() { return SelectedDevice()->frameGrabber->frameHeader; }
    static uint32_t LastNumber() { return FrameRead32(LastHeader() + FRAME_NUMBER); }
    // The camera as it made the last picture: its light level is the
    // one the frame header reports.
    static SimCamera Camera() {
        SimCamera camera = DriverHost::Camera();
        camera.registers[30] = LastHeader()[FRAME_LIGHT_LEVEL];
        return camera;
    }
    // The last picture against the scene, within the threshold.
    void ExpectScene(const OutputFormat& f, const std::vector<BYTE>& picture, LONG width, LONG height,
                     int threshold = 0) {
        std::string first;
        EXPECT_EQ(
            ComparePicture(f, picture.data(), Camera(), LastNumber(), width, height, threshold, palette.data(), &first),
            0)
            << f.name << " " << first;
    }
};

TEST_F(FramesThroughDriver, EveryFormatAtSeveralSizesShowsTheScene) {
    // Uncompressed, so that each picture is exact; "iyuv" after "i420" is
    // no change and takes the next frame as it comes.
    ASSERT_TRUE(SetCompressionSettings(0, 0, 50, 50, 50));
    const LONG sizes[][2] = {{176, 144}, {320, 240}, {160, 120}, {352, 288}, {64, 48}};
    for (const auto& size : sizes)
        for (const OutputFormat& f : AllOutputFormats()) {
            SCOPED_TRACE(std::string(f.name) + " " + std::to_string(size[0]) + "x" + std::to_string(size[1]));
            if (f.compression == FOURCC_YVU9) {
                // The library decodes it, but the camera has no YUV layout
                // for it: the driver refuses the format.
                EXPECT_EQ(SetFormat(videoIn, FormatFor(f, size[0], size[1])), DV_ERR_NOTSUPPORTED);
                continue;
            }
            BITMAPINFOHEADER format = Choose(f, size[0], size[1]);
            ASSERT_EQ(format.biWidth, size[0]);
            // The first picture after a change already shows the new
            // window: a frame from before it would not match the scene.
            ExpectScene(f, Picture(format), size[0], size[1]);
        }
}

// A session that ends in YUY2 leaves its size, in 24-bit RGB, for the next
// open; a host that takes a frame before asking the format must still be
// told every byte it got.
TEST_F(FramesThroughDriver, AReopenedChannelCountsItsFramesInTheFormatItOpensWith) {
    ASSERT_EQ(SetFormat(videoIn, HostFormat(352, 288, 16, FOURCC_YUY2, 352 * 288 * 2)), DV_ERR_OK);
    CloseVideoIn();
    OpenVideoIn();
    std::vector<BYTE> buffer(352 * 288 * 3, 0xEE);
    VIDEOHDR header;
    ASSERT_EQ(Frame(videoIn, &buffer, &header), DV_ERR_OK);
    EXPECT_EQ(header.dwBytesUsed, 352u * 288 * 3);
}

// On a fast port each DVM_FRAME leaves the next frame's upload running, and
// the next call takes that frame; a host that waited over a second, or
// changed the format, gets no frame made for settings it no longer has.
class PipelinedFrames : public FramesThroughDriver {
protected:
    void Machine() override { ASSERT_EQ(SimSetScenario("port 1 type 0x7F camera"), 1) << PosixLastProblem(); }
    static SimUploadRecord LastUpload() {
        SimUploadRecord record;
        memset(&record, 0, sizeof record);
        SimGetUpload(SimUploadCount() - 1, &record);
        return record;
    }
};

TEST_F(PipelinedFrames, AFormatChangeBetweenCallsGivesAPictureOfTheNewFormat) {
    BITMAPINFOHEADER small = Choose(AllOutputFormats()[0], 176, 144);
    Picture(small);
    Picture(small);
    ASSERT_EQ(LastUpload().pipelined, 1u);
    BITMAPINFOHEADER large = Choose(AllOutputFormats()[0], 320, 240);
    ExpectScene(AllOutputFormats()[0], Picture(large), 320, 240);
    Picture(large);
    std::vector<BYTE> picture = Picture(Choose(AllOutputFormats()[0], 176, 144));
    EXPECT_EQ(ReadCounter(picture.data(), 176, 144), LastNumber());
}

}  // namespace
