// Formats and pictures through winmm: every output format at the sizes
// the camera takes and at sizes it must refuse, read back with GET, and
// each accepted format's DVM_FRAME compared pixel by pixel with the scene.
#include "decoder_support.h"
#include "wine_host.h"

namespace {

// A picture's bytes as a host works them out: DIB rows padded to four
// bytes, planes of quarter (4:2:0) or sixteenth (YVU9) colour, or packed pairs.
DWORD ImageBytes(const OutputFormat& f, LONG width, LONG height) {
    DWORD pixels = (DWORD)(width * height);
    if (f.compression == 0) return (DWORD)((width * f.bitCount + 31) / 32 * 4 * height);
    if (f.compression == FOURCC_YUY2 || f.compression == FOURCC_UYVY) return pixels * 2;
    if (f.compression == FOURCC_YVU9) return pixels + pixels / 8;
    return pixels + pixels / 2;
}

class Frames : public VideoInHost {
protected:
    static BITMAPINFOHEADER FormatFor(const OutputFormat& f, LONG width, LONG height) {
        BITMAPINFOHEADER format = {};
        format.biSize = sizeof format;
        format.biWidth = width;
        format.biHeight = height;
        format.biPlanes = 1;
        format.biBitCount = f.bitCount;
        format.biCompression = f.compression;
        format.biSizeImage = ImageBytes(f, width, height);
        return format;
    }
    // The palette an 8-bit picture is read through.
    std::vector<BYTE> Palette() {
        DWORD size = 0;
        Configure(videoIn, DVM_PALETTE, VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_QUERYSIZE, nullptr, 0, &size);
        std::vector<BYTE> palette(size);
        EXPECT_EQ(Configure(videoIn, DVM_PALETTE, VIDEO_CONFIGURE_GET, palette.data(), size), DV_ERR_OK);
        return palette;
    }
    // The camera as it made the last picture: the frame the link driver
    // last wrote into the driver's upload buffer tells its number and light.
    static SimCamera LastCamera(uint32_t* number) {
        SimUploadRecord upload = {};
        SimGetUpload(SimUploadCount() - 1, &upload);
        const BYTE* header = reinterpret_cast<const BYTE*>(upload.bufferAddress);
        SimCamera camera;
        SimReadCamera(&camera);
        camera.registers[30] = header[FRAME_LIGHT_LEVEL];
        *number = FrameRead32(header + FRAME_NUMBER);
        return camera;
    }
};

// A picture at twice the camera's size shows each camera pixel four times.
int CompareDoubled(const BYTE* picture, const SimCamera& camera, uint32_t number, int width, int height) {
    int bad = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (!Near(DibPixel(picture, 24, width, height, x, y), ToRgb(Expected(camera, number, x / 2, y / 2)), 2))
                bad++;
    return bad;
}

TEST_F(Frames, EveryFormatSetReadBackAndPictured) {
    struct Size {
        LONG width, height;
        bool rgb24, others;  // whether the camera takes it
    };
    const Size sizes[] = {
        {176, 144, true, true},   {320, 240, true, true},   {64, 48, true, true},    {352, 288, true, true},
        {170, 142, false, false}, {168, 144, true, true},   {640, 480, true, false}, {700, 570, false, false},
        {704, 568, true, false},  {400, 300, false, false}, {0, 144, false, false},
    };
    for (const OutputFormat& f : AllOutputFormats()) {
        // The decoder has "YVU9" but the camera no YUV layout for it.
        bool usable = f.compression != FOURCC_YVU9;
        for (const Size& s : sizes) {
            SCOPED_TRACE(std::string(f.name) + " " + std::to_string(s.width) + "x" + std::to_string(s.height));
            bool taken = usable && (f.compression == 0 && f.bitCount == 24 ? s.rgb24 : s.others);
            BITMAPINFOHEADER before = Current(videoIn);
            BITMAPINFOHEADER format = FormatFor(f, s.width, s.height);
            ASSERT_EQ(SetFormat(videoIn, format), taken ? DV_ERR_OK : DV_ERR_NOTSUPPORTED);
            // "IYUV" is the "I420" layout under another name; GET names it so.
            BITMAPINFOHEADER want = taken ? format : before;
            if (taken && f.compression == FOURCC_IYUV) want.biCompression = FOURCC_I420;
            BITMAPINFOHEADER now = Current(videoIn);
            EXPECT_EQ(memcmp(&now, &want, sizeof now), 0) << "GET after SET";
            if (!taken) continue;
            std::vector<BYTE> picture = Frame(videoIn);
            uint32_t number = 0;
            SimCamera camera = LastCamera(&number);
            std::vector<BYTE> palette = f.bitCount == 8 ? Palette() : std::vector<BYTE>();
            std::string first;
            int bad = s.width > 352 ? CompareDoubled(picture.data(), camera, number, s.width, s.height)
                                    : ComparePicture(f, picture.data(), camera, number, s.width, s.height, 0,
                                                     palette.data(), &first);
            EXPECT_EQ(bad, 0) << first;
        }
    }
}

}  // namespace
