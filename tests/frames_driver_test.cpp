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

// In real time the grab's waits sleep between their reads of the camera
// and the link: a wait that spins reads them thousands of times a
// millisecond, starving the stream timer and the rest of the machine.
TEST_F(FramesThroughDriver, ARealTimeGrabReadsTheLinkAboutOnceAMillisecond) {
    BITMAPINFOHEADER format = Choose(AllOutputFormats()[0], 352, 288);
    PosixClockSetVirtual(0);
    uint64_t before = SimLinkRequests();
    DWORD start = timeGetTime();
    for (int i = 0; i < 3; i++) Picture(format);
    DWORD elapsed = timeGetTime() - start;
    PosixClockSetVirtual(1);
    EXPECT_LT(SimLinkRequests() - before, 2u * elapsed + 100u) << "in " << elapsed << " ms";
}

TEST_F(FramesThroughDriver, AFrameFromBeforeAChangeIsDroppedForTheNextAndTheSceneMoves) {
    BITMAPINFOHEADER format = Choose(AllOutputFormats()[0], 176, 144);
    Picture(format);
    uint32_t previous = 0;
    for (int n = 0; n < 3; n++) {
        int before = SimUploadCount();
        std::vector<BYTE> picture = Picture(format);
        EXPECT_EQ(SimUploadCount() - before, 1);  // nothing changed: one frame, used
        // The counter goes up, and the square is where the scene has it
        // for that frame (half size).
        uint32_t counter = ReadCounter(picture.data(), 176, 144);
        EXPECT_EQ(counter, LastNumber());
        EXPECT_GT(counter, previous);
        previous = counter;
        int left = (int)SceneObjectLeft(counter) / 2 + 12;
        Colour got = DibPixel(picture.data(), 24, 176, 144, left, (SCENE_OBJECT_TOP + 24) / 2);
        SimCamera camera = Camera();
        SceneColour orange = {AtLevel(kSceneObject.y, 16, camera.registers[30], 16, 235),
                              AtLevel(kSceneObject.u, 128, camera.registers[30], 16, 240),
                              AtLevel(kSceneObject.v, 128, camera.registers[30], 16, 240)};
        EXPECT_TRUE(Near(got, ToRgb(orange), 3)) << Show(got);
    }
    format = Choose(AllOutputFormats()[0], 320, 240);
    int before = SimUploadCount();
    std::vector<BYTE> picture = Picture(format);
    // The first frame after the change says it differs from the one before
    // (status byte 1) and is dropped; the next one is delivered.
    EXPECT_EQ(SimUploadCount() - before, 2);
    EXPECT_EQ(LastHeader()[FRAME_STATUS], 0);
    ExpectScene(AllOutputFormats()[0], picture, 320, 240);
}

TEST_F(FramesThroughDriver, TwiceTheCameraSizeIsDoubled) {
    for (LONG width : {704L, 640L}) {
        LONG height = width == 704 ? 576 : 480;
        BITMAPINFOHEADER format = Choose(AllOutputFormats()[0], width, height);
        ASSERT_EQ(format.biSizeImage, (DWORD)(width * height * 3));
        std::vector<BYTE> picture = Picture(format);
        SimCamera camera = Camera();
        uint32_t number = LastNumber();
        int bad = 0;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                Colour want = ToRgb(Expected(camera, number, x / 2, y / 2));
                Colour got = DibPixel(picture.data(), 24, width, height, x, y);
                if (!Near(got, want, 2) && bad++ == 0) ADD_FAILURE() << x << ", " << y << ": " << Show(got);
            }
        EXPECT_EQ(bad, 0) << width;
    }
}

TEST_F(FramesThroughDriver, CompressedFramesDecodeThroughTheDecodeBuffer) {
    // Manual compression at quality 100: thresholds 0, lossless.
    ASSERT_TRUE(SetCompressionSettings(2, 0, 50, 50, 100));
    for (const OutputFormat& f : {AllOutputFormats()[0], AllOutputFormats()[3], AllOutputFormats()[7]}) {
        SCOPED_TRACE(f.name);
        BITMAPINFOHEADER format = Choose(f, 320, 240);
        // After a format change the grabber takes one frame with
        // compression off to be sure of it; the next is compressed.
        Picture(format);
        EXPECT_EQ(LastHeader()[FRAME_ENCODING], FRAME_RAW);
        std::vector<BYTE> picture = Picture(format);
        EXPECT_EQ(LastHeader()[FRAME_ENCODING], FRAME_COMPRESSED);
        ExpectScene(f, picture, 320, 240);
    }
    // Automatic at the coarsest capture level, on a window taller than 144
    // lines: decimated, thresholds from the target; the picture stays
    // within the thresholds the camera reports having used.
    ASSERT_TRUE(SetCompressionSettings(1, 0, 50, 1, 50));
    BITMAPINFOHEADER format = Choose(AllOutputFormats()[0], 352, 288);
    Picture(format);  // the first after the change is raw
    std::vector<BYTE> picture = Picture(format);
    const BYTE* header = LastHeader();
    EXPECT_EQ(header[FRAME_ENCODING], FRAME_COMPRESSED);
    EXPECT_EQ(header[FRAME_FLAGS] & FRAME_FLAG_DECIMATED, FRAME_FLAG_DECIMATED);
    int threshold = std::max(header[FRAME_Y_THRESHOLD], header[FRAME_UV_THRESHOLD]);
    EXPECT_GT(threshold, 0);
    ExpectScene(AllOutputFormats()[0], picture, 352, 288, threshold);
    // Back to raw frames.
    ASSERT_TRUE(SetCompressionSettings(0, 0, 50, 50, 50));
    Picture(format);
    EXPECT_EQ(LastHeader()[FRAME_ENCODING], FRAME_RAW);
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

TEST_F(FramesThroughDriver, ABufferSmallerThanThePictureGetsNothingAndNoPictureAllocates) {
    BITMAPINFOHEADER format = Choose(AllOutputFormats()[0], 352, 288);
    for (DWORD compressed : {0u, 1u}) {
        GF_SetCompressed(SelectedDevice()->frameGrabber, compressed);
        std::vector<BYTE> buffer(format.biSizeImage - 1, 0xEE);
        VIDEOHDR header;
        EXPECT_EQ(Frame(videoIn, &buffer, &header), DV_ERR_SYNC) << compressed;
        EXPECT_EQ(header.dwBytesUsed, 0u);
        EXPECT_EQ(buffer, std::vector<BYTE>(format.biSizeImage - 1, 0xEE));
    }
    GF_SetCompressed(SelectedDevice()->frameGrabber, 0);
    Picture(format);
    long local = PosixLiveLocalBlocks(), global = PosixLiveGlobalBlocks();
    for (int n = 0; n < 4; n++) {
        SimUploadRecord last;
        ASSERT_TRUE(SimGetUpload(SimUploadCount() - 1, &last));
        Picture(format);
        SimUploadRecord next;
        ASSERT_TRUE(SimGetUpload(SimUploadCount() - 1, &next));
        // Each upload's bursts: a twelfth of the last frame, at least 2048 bytes.
        EXPECT_EQ(next.chunkSize, std::max<DWORD>(last.bytesUploaded / 12, 2048)) << n;
    }
    EXPECT_EQ(PosixLiveLocalBlocks(), local);
    EXPECT_EQ(PosixLiveGlobalBlocks(), global);
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

TEST_F(PipelinedFrames, EachCallTakesTheFrameUploadedAheadAndStartsTheNext) {
    BITMAPINFOHEADER format = Choose(AllOutputFormats()[0], 176, 144);
    Picture(format);
    Picture(format);
    EXPECT_EQ(LastUpload().pipelined, 1u);
    for (int n = 0; n < 3; n++) {
        int uploads = SimUploadCount();
        uint32_t shown = LastNumber();
        PosixClockAdvance(100);
        std::vector<BYTE> picture = Picture(format);
        EXPECT_EQ(SimUploadCount() - uploads, 1) << "one upload ahead, none waited for";
        EXPECT_EQ(LastNumber(), shown + 1);
        EXPECT_EQ(ReadCounter(picture.data(), 176, 144), LastNumber());
        EXPECT_EQ(LastUpload().pipelined, 1u);
    }
    // After more than a second the frame uploaded ahead is still delivered
    // when nothing changed, but nothing more is started ahead ...
    PosixClockAdvance(1500);
    int uploads = SimUploadCount();
    uint32_t shown = LastNumber();
    Picture(format);
    EXPECT_EQ(LastNumber(), shown + 1);
    EXPECT_EQ(SimUploadCount(), uploads);
    // ... so the next call grabs afresh.
    Picture(format);
    EXPECT_GT(SimUploadCount(), uploads);
}

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
