// The camera settings through a host's channel: loaded by the bring-up under
// their rules, changed while the channel is open, stored at the final close
// and applied to the camera at the next bring-up; the INI's flicker limits.
#include <sys/stat.h>

#include "driver_support.h"
#include "settings/camera_settings.h"

namespace {

const DWORD kUnset = 0xDEADBEEF;

class CameraSettings : public DriverHost {
protected:
    CameraDevice* device = nullptr;
    CameraState* state = nullptr;
    Viewport* viewport = nullptr;

    // Opens VIDEO_IN, whose bring-up loads the settings.
    void OpenAndLoad(const char* openString = "") {
        ASSERT_NO_FATAL_FAILURE(OpenVideoIn(openString));
        device = SelectedDevice();
        state = device->cameraState;
        viewport = device->viewport;
    }
    // The driver goes away and comes back, and the camera is powered up
    // afresh, so only the registry carries the settings over.
    void Reload() {
        Send(0, DRV_DISABLE);
        Send(0, DRV_FREE);
        SimReset();
        ASSERT_EQ(Send(0, DRV_LOAD), 1);
        ASSERT_EQ(Send(0, DRV_ENABLE), 1);
    }
    static DWORD Stored(const char* name) { return ReadRegDword(name, kUnset); }
};

TEST_F(CameraSettings, WithoutAKeyOrWithValuesOfAnotherTypeTheDefaultsAreApplied) {
    // A hive of its own, in a folder of the home.
    auto freshHive = [this](const char* name) {
        ASSERT_EQ(mkdir(HomeFile(name).c_str(), 0755), 0);
        PosixSetWindowsDirectory(HomeFile(name).c_str());
    };
    for (bool text : {false, true}) {
        SCOPED_TRACE(text ? "values stored as text" : "no key");
        if (text) {
            CloseVideoIn();
            ASSERT_NO_FATAL_FAILURE(freshHive("text"));
            WriteRegText("Compression", "2");
            WriteRegText("RedGain", "100");
            WriteRegText("MainsFreq", "0");
        }
        OpenAndLoad();
        EXPECT_EQ(CompressionNow(), (Compression{1, 0, 50, 50, 50}));
        EXPECT_EQ(state->red, 32);
        EXPECT_EQ(state->green, 6);
        EXPECT_EQ(state->blue, 92);
        EXPECT_EQ(state->colBalMode, 2u) << "the gains are stored, then the balance goes automatic";
        EXPECT_EQ(state->autoFrameRate, 1u);
        EXPECT_EQ(state->frameRate, 1u);
        EXPECT_EQ(state->mainsFrequency, 1u);
        EXPECT_EQ(viewport->decimation, 0);
        EXPECT_EQ(device->bandingFilter, 1u);
        EXPECT_EQ(GetBacklight(), 0u);
        EXPECT_EQ(state->flickMax, 250);
        EXPECT_EQ(state->flickExp, 146);
    }
    // A load never creates the key.
    ASSERT_NO_FATAL_FAILURE(freshHive("empty"));
    EXPECT_EQ(ReadTARNInit(device, "mbkzelt.ini"), 1);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(CameraSettings, ValuesOutsideTheirRuleAreReplacedAndTheCameraStillOpens) {
    // clang-format off
    const struct { const char* name; DWORD stored; } stored[] = {
        {"Compression", 3}, {"VideoConf", 2}, {"VideoConfVal", 0x80000000u}, {"VideoCapVal", 101}, {"RedGain", 0},
        {"GreenGain", 213}, {"BlueGain", 300}, {"MainsFreq", 2}, {"Banding", 5}, {"Sharpness", 5}, {"FrameRate", 4},
        {"AutoFrameRate", 0}, {"Brightness", 70}, {"ImageCols", 1000}, {"ImageRows", 3}};
    // clang-format on
    for (const auto& c : stored) WriteRegDword(c.name, c.stored);
    OpenAndLoad();
    EXPECT_EQ(device->compressionMode, 0);
    EXPECT_EQ(device->videoConf, 0);
    EXPECT_EQ(device->videoConfVal, 50) << "0x80000000 reads as negative";
    EXPECT_EQ(device->videoCapVal, 50);
    EXPECT_EQ(state->red, 32);
    EXPECT_EQ(state->green, 6);
    EXPECT_EQ(state->blue, 44) << "the low byte of 300 is in range";
    EXPECT_EQ(state->mainsFrequency, 0u);
    EXPECT_EQ(device->bandingFilter, 0u) << "the filter stays as the bring-up left it";
    EXPECT_EQ(viewport->decimation, 0);
    EXPECT_EQ(state->frameRate, 1u);
    EXPECT_EQ(state->autoFrameRate, 0u);
    // A size the camera cannot deliver: the default size instead; the other
    // settings are applied.
    BITMAPINFOHEADER format = CurrentFormat(videoIn);
    EXPECT_EQ(format.biWidth, 176);
    EXPECT_EQ(format.biHeight, 144);
    EXPECT_EQ(Camera().brightness, 70);
    EXPECT_EQ(Camera().flickerMode, 0);
    EXPECT_EQ(Camera().colBalMode, 2);
    ASSERT_EQ(Frame(videoIn), DV_ERR_OK);
    CloseVideoIn();
    EXPECT_EQ(Stored("Compression"), 0u) << "the mode in force";
    EXPECT_EQ(Stored("ImageCols"), 176u);
    WriteRegDword("BlueGain", 0);
    OpenAndLoad();
    EXPECT_EQ(state->blue, 92) << "blue's own default";
}

TEST_F(CameraSettings, ChangesReachTheRegistryAtTheFinalCloseAndTheCameraAtTheNextOpen) {
    OpenAndLoad();
    Write(0x40, Bytes(70, 30, 60, 0));
    Write(0x41, Bytes(0x12, 20, 80, 90));
    Write(0x50, Bytes(5, 0, 0, 0));
    Write(0x50, Bytes(5, 0, 0, 0));
    Write(0x51, Bytes(0, 1, 0, 0));
    BITMAPINFOHEADER format = HostFormat(320, 240, 24, 0, 320 * 240 * 3);
    ASSERT_EQ(SetFormat(videoIn, format), DV_ERR_OK);
    camSetColBal(state, 1, 100, 101, 102);
    camSetFlickerLimits(state, 200, 99);
    SetDecimationFlag(1);
    WriteRegDword("BackoffLevel", 0x40);
    EXPECT_EQ(Stored("Brightness"), kUnset) << "nothing is stored while the camera is in use";
    CloseVideoIn();
    // clang-format off
    const struct { const char* name; DWORD value; } stored[] = {
        {"Brightness", 70}, {"Contrast", 30}, {"Colour", 60}, {"Compression", 2}, {"VideoConf", 1},
        {"VideoConfVal", 20}, {"VideoCapVal", 80}, {"FrameRate", 5}, {"AutoFrameRate", 0}, {"Backlit", 1},
        {"Banding", 0}, {"MainsFreq", 0}, {"ImageCols", 320}, {"ImageRows", 240}, {"BackoffLevel", 0},
        {"RedGain", 100}, {"GreenGain", 101}, {"BlueGain", 102}, {"Sharpness", 0}, {"FlickMax", 200}, {"FlickExp", 99}};
    // clang-format on
    for (const auto& c : stored) EXPECT_EQ(Stored(c.name), c.value) << c.name;

    Reload();
    OpenAndLoad();
    SimCamera camera = Camera();
    EXPECT_EQ(camera.brightness, 70);
    EXPECT_EQ(camera.colour, 60);
    EXPECT_EQ(camera.divisorExponent, 2) << "7.5 frames/s";
    EXPECT_EQ(camera.flickerMode, 0);
    format = CurrentFormat(videoIn);
    EXPECT_EQ(format.biWidth, 320);
    EXPECT_EQ(format.biHeight, 240);
    // clang-format off
    const struct { DWORD number, value, mask; } answers[] = {
        {0x40, Bytes(70, 30, 60, 0), 0xFFFFFF}, {0x41, Bytes(0x12, 20, 80, 50), ~0u} /* the fixed quality is not stored */,
        {0x51, Bytes(2, 1, 0, 0), ~0u}, {0x50, Bytes(5, 0, 0, 0), 0xFFFF}};
    // clang-format on
    DWORD data = 0;
    for (const auto& a : answers) {
        ASSERT_TRUE(Read(a.number, &data)) << a.number;
        EXPECT_EQ(data & a.mask, a.value) << a.number;
    }
    ASSERT_EQ(Frame(videoIn), DV_ERR_OK);
}

}  // namespace
