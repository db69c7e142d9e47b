// The camera settings across driver loads: changed while a channel is open,
// stored at the final close, applied to the camera at the next bring-up.
#include "camera_host.h"
#include "settings/registry.h"

namespace {

const DWORD kUnset = 0xDEADBEEF;

class SettingsAcrossLoads : public CameraHost {
protected:
    // The driver goes away and comes back, and the camera is powered up
    // afresh, so only the registry carries the settings over.
    void Reload() {
        Send(0, DRV_DISABLE);
        Send(0, DRV_FREE);
        SimReset();
        ASSERT_EQ(Send(0, DRV_LOAD), 1);
        ASSERT_EQ(Send(0, DRV_ENABLE), 1);
    }
    void SetSize(LONG width, LONG height) {
        BITMAPINFOHEADER format = CurrentFormat();
        format.biWidth = width;
        format.biHeight = height;
        format.biSizeImage = static_cast<DWORD>(width * height * 3);
        ASSERT_EQ(Configure(VIDEO_CONFIGURE_SET, &format), 0u);
    }
};

TEST_F(SettingsAcrossLoads, ChangesReachTheRegistryAtTheFinalCloseAndTheCameraAtTheNextOpen) {
    OpenCamera();
    Write(0x40, Bytes(70, 30, 60, 0));
    Write(0x41, Bytes(0x12, 20, 80, 90));
    Write(0x50, Bytes(5, 0, 0, 0));
    Write(0x50, Bytes(5, 0, 0, 0));
    Write(0x51, Bytes(0, 1, 0, 0));
    SetSize(320, 240);
    EXPECT_EQ(ReadRegDword("Brightness", kUnset), kUnset) << "nothing is stored while the camera is in use";
    CloseCamera();

    struct Case {
        const char* name;
        DWORD value;
    } stored[] = {{"Brightness", 70},   {"Contrast", 30},     {"Colour", 60},      {"Compression", 2},
                  {"VideoConf", 1},     {"VideoConfVal", 20}, {"VideoCapVal", 80}, {"FrameRate", 5},
                  {"AutoFrameRate", 0}, {"Backlit", 1},       {"Banding", 0},      {"MainsFreq", 0},
                  {"ImageCols", 320},   {"ImageRows", 240},   {"BackoffLevel", 0}, {"FlickMax", 250},
                  {"FlickExp", 146}};
    for (const Case& c : stored) EXPECT_EQ(ReadRegDword(c.name, kUnset), c.value) << c.name;

    Reload();
    OpenCamera();
    SimCamera camera = Camera();
    EXPECT_EQ(camera.brightness, 70);
    EXPECT_EQ(camera.colour, 60);
    EXPECT_EQ(camera.divisorExponent, 2) << "7.5 frames/s";
    EXPECT_EQ(camera.flickerMode, 0);
    BITMAPINFOHEADER format = CurrentFormat();
    EXPECT_EQ(format.biWidth, 320);
    EXPECT_EQ(format.biHeight, 240);
    DWORD data = 0;
    ASSERT_TRUE(Read(0x40, &data));
    EXPECT_EQ(data & 0xFFFFFF, Bytes(70, 30, 60, 0));
    ASSERT_TRUE(Read(0x41, &data));
    EXPECT_EQ(data, Bytes(0x12, 20, 80, 50)) << "the fixed quality is not stored: 50 after a load";
    ASSERT_TRUE(Read(0x51, &data));
    EXPECT_EQ(data, Bytes(2, 1, 0, 0));
    ASSERT_TRUE(Read(0x50, &data));
    EXPECT_EQ(data & 0xFFFF, Bytes(5, 0, 0, 0));
    ASSERT_EQ(Frame(), DV_ERR_OK);
}

TEST_F(SettingsAcrossLoads, StoredValuesOutsideTheirRulesStillOpenTheCamera) {
    WriteRegDword("Compression", 9);
    WriteRegDword("Banding", 5);
    WriteRegDword("MainsFreq", 2);
    WriteRegDword("RedGain", 0);
    WriteRegDword("Brightness", 70);
    // A size the camera cannot deliver: the default size instead.
    WriteRegDword("ImageCols", 1000);
    WriteRegDword("ImageRows", 3);
    OpenCamera();
    BITMAPINFOHEADER format = CurrentFormat();
    EXPECT_EQ(format.biWidth, 176);
    EXPECT_EQ(format.biHeight, 144);
    EXPECT_EQ(Camera().brightness, 70) << "the other settings are applied";
    EXPECT_EQ(Camera().flickerMode, 0);
    EXPECT_EQ(Camera().colBalMode, 2);
    DWORD data = 0;
    ASSERT_TRUE(Read(0x51, &data));
    EXPECT_EQ(data >> 16, Bytes(0, 0, 0, 0)) << "banding off, 50 Hz";
    ASSERT_EQ(Frame(), DV_ERR_OK);
    CloseCamera();
    EXPECT_EQ(ReadRegDword("Compression", kUnset), 0u) << "the mode in force";
    EXPECT_EQ(ReadRegDword("ImageCols", kUnset), 176u);
}

TEST_F(SettingsAcrossLoads, TheFlickerLimitsComeFromTheIniFileTheOpenStringNames) {
    WriteFileText(HomeFile("mine.ini"), "[TARN]\nFlickMax=150\nFlickExp=146\n");
    OpenCamera("LPT1 mine.ini");
    // Banding on by default: the allowance sent is that of brightness 50
    // under these limits, 150 - 50 - 59.
    EXPECT_EQ(Camera().flickerMode, 1);
    EXPECT_EQ(Camera().flickerAllow, 41);
    CloseCamera();
    EXPECT_EQ(ReadRegDword("FlickMax", kUnset), 150u);
    EXPECT_EQ(ReadFileText(HomeFile("mine.ini")), "[TARN]\nFlickMax=150\nFlickExp=146\n");

    Reload();
    OpenCamera();
    EXPECT_EQ(Camera().flickerAllow, 141) << "the registry's copy is not loaded; the default INI has none";
}

}  // namespace
