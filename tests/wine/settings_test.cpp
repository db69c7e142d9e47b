// Settings a host changes through the private control messages reach
// Wine's registry at the final close and are in force again at the next
// load of the module.
#include "wine_host.h"

namespace {

class Settings : public WineHost {};

TEST_F(Settings, SavedAtTheFinalCloseAndAppliedAtTheNextLoad) {
    struct Row {
        const char* name;
        DWORD number;    // private message
        DWORD written;   // d0..d3 as written
        DWORD readBack;  // as read at the next load
        const char* value;
        DWORD stored;
    };
    const Row rows[] = {
        {"brightness, contrast, colour", 0x40, Bytes(30, 60, 70, 0), Bytes(30, 60, 70, 0), "Contrast", 60},
        {"compression: manual, conference 40, preview 70", 0x41, Bytes(0x12, 40, 70, 50), Bytes(0x12, 40, 70, 50),
         "VideoConfVal", 40},
        {"frame rate: step 3, fixed", 0x50, Bytes(3, 0, 0, 0), Bytes(3, 0, 0, 0), "FrameRate", 3},
        {"backlight on, banding on, 50 Hz", 0x51, Bytes(0, 1, 1, 0), Bytes(2, 1, 1, 0), "MainsFreq", 0},
    };
    BITMAPINFOHEADER format = {};
    format.biSize = sizeof format;
    format.biWidth = 320;
    format.biHeight = 240;
    format.biPlanes = 1;
    format.biBitCount = 24;
    format.biSizeImage = 320 * 240 * 3;

    HDRVR videoIn = Open(VIDEO_IN);
    ASSERT_TRUE(videoIn);
    ASSERT_EQ(SetFormat(videoIn, format), DV_ERR_OK);
    // Sent twice, as a host does: from automatic to a fixed frame rate
    // takes one write for the switch and one for the step.
    for (int twice = 0; twice < 2; twice++)
        for (const Row& row : rows) WritePrivate(videoIn, row.number, row.written);
    Close(videoIn);
    EXPECT_EQ(ReadDriverValue("ImageCols", 0), 320u);
    EXPECT_EQ(ReadDriverValue("ImageRows", 0), 240u);
    for (const Row& row : rows) EXPECT_EQ(ReadDriverValue(row.value, 0xDEAD), row.stored) << row.name;

    UnloadDriverModule();
    ASSERT_TRUE(LoadDriverModule());
    SimReset();
    videoIn = Open(VIDEO_IN);
    ASSERT_TRUE(videoIn);
    BITMAPINFOHEADER now = Current(videoIn);
    EXPECT_EQ(now.biWidth, 320);
    EXPECT_EQ(now.biHeight, 240);
    EXPECT_EQ(now.biBitCount, 24);
    for (const Row& row : rows) {
        // The quality is not kept: a load applies 50.
        EXPECT_EQ(ReadPrivate(videoIn, row.number), row.readBack) << row.name;
    }
    SimCamera camera;
    SimReadCamera(&camera);
    EXPECT_EQ(camera.brightness, 30) << "the camera itself runs with them";
    EXPECT_EQ(camera.colour, 70);
    EXPECT_EQ(camera.divisorExponent, 1) << "15 frames/s";
}

// The two flicker limits come from the INI file, read as Windows reads
// numbers there, and reach the registry when the camera is released.
TEST_F(Settings, FlickerLimitsFromTheIniFile) {
    struct Row {
        const char* flickMax;
        const char* flickExp;
        DWORD storedMax, storedExp;
    };
    const Row rows[] = {
        {"200", "100", 200, 100},
        {"", "0x40", 250, 64},         // an empty value is no value: the default
        {"-5", " 99 lines", 251, 99},  // the camera keeps the low byte
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.flickMax) + " " + row.flickExp);
        WritePrivateProfileStringA("TARN", "FlickMax", row.flickMax, "mbkzelt.ini");
        WritePrivateProfileStringA("TARN", "FlickExp", row.flickExp, "mbkzelt.ini");
        HDRVR videoIn = Open(VIDEO_IN);
        ASSERT_TRUE(videoIn);
        Close(videoIn);
        EXPECT_EQ(ReadDriverValue("FlickMax", 0), row.storedMax);
        EXPECT_EQ(ReadDriverValue("FlickExp", 0), row.storedExp);
    }
    WritePrivateProfileStringA("TARN", nullptr, nullptr, "mbkzelt.ini");
}

}  // namespace
