// The camera settings load and save on a device put together on the
// simulated camera: the load rules, the defaults, the INI's flicker limits,
// and what the save stores.
#include "device_support.h"
#include "settings/camera_settings.h"
#include "settings/registry.h"

namespace {

class CameraSettings : public SelectedCamera {
protected:
    void SetUp() override {
        SelectedCamera::SetUp();
        // The bring-up clears the banding flag before the load.
        device->bandingFilter = 0;
    }
    void Load() { ReadTARNInit(device, "mbkzelt.ini"); }
    void StoreString(const char* name, const char* text) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE, nullptr, &key, &disposition),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), (DWORD)strlen(text) + 1);
        RegCloseKey(key);
    }
    static bool KeyExists() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, TARN2_REGISTRY_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    static constexpr DWORD kUnset = 0xDEADBEEF;
    static DWORD Stored(const char* name) { return ReadRegDword(name, kUnset); }
};

TEST_F(CameraSettings, WithoutAKeyTheDefaultsAreApplied) {
    BYTE decimation = viewport->decimation;
    Load();
    EXPECT_EQ(device->compressionMode, 1);
    EXPECT_EQ(device->videoConf, 0);
    EXPECT_EQ(device->videoConfVal, 50);
    EXPECT_EQ(device->videoCapVal, 50);
    EXPECT_EQ(device->compressionQuality, 50);
    EXPECT_EQ(state->red, 32);
    EXPECT_EQ(state->green, 6);
    EXPECT_EQ(state->blue, 92);
    EXPECT_EQ(state->colBalMode, 2u) << "the gains are stored, then the balance goes automatic";
    EXPECT_EQ(state->autoFrameRate, 1u);
    EXPECT_EQ(state->frameRate, 1u);
    EXPECT_EQ(state->mainsFrequency, 1u);
    EXPECT_EQ(viewport->decimation, decimation);
    EXPECT_EQ(device->bandingFilter, 1u);
    EXPECT_EQ(GetBacklight(), 0u);
    EXPECT_EQ(state->flickMax, 250);
    EXPECT_EQ(state->flickExp, 146);
    EXPECT_FALSE(KeyExists()) << "a load never creates the key";
}

TEST_F(CameraSettings, ValuesOutsideTheirRuleAreReplaced) {
    struct Case {
        const char* name;
        DWORD stored;
    };
    const Case stored[] = {{"Compression", 3},   {"VideoConf", 2}, {"VideoConfVal", 0x80000000u},
                           {"VideoCapVal", 101}, {"RedGain", 0},   {"GreenGain", 213},
                           {"BlueGain", 300},    {"MainsFreq", 2}, {"Banding", 5},
                           {"Sharpness", 5},     {"FrameRate", 4}, {"AutoFrameRate", 0}};
    for (const Case& c : stored) WriteRegDword(c.name, c.stored);
    BYTE decimation = viewport->decimation;
    Load();
    EXPECT_EQ(device->compressionMode, 0);
    EXPECT_EQ(device->videoConf, 0);
    EXPECT_EQ(device->videoConfVal, 50) << "0x80000000 reads as negative";
    EXPECT_EQ(device->videoCapVal, 50);
    EXPECT_EQ(state->red, 32);
    EXPECT_EQ(state->green, 6);
    EXPECT_EQ(state->blue, 44) << "the low byte of 300 is in range";
    EXPECT_EQ(state->mainsFrequency, 0u);
    EXPECT_EQ(device->bandingFilter, 0u) << "the filter stays as the bring-up left it";
    EXPECT_EQ(viewport->decimation, decimation);
    EXPECT_EQ(state->frameRate, 1u);
    EXPECT_EQ(state->autoFrameRate, 0u);
}

TEST_F(CameraSettings, ValuesInsideTheirRuleAreApplied) {
    WriteRegDword("Compression", 2);
    WriteRegDword("VideoConf", 1);
    WriteRegDword("VideoConfVal", 0);
    WriteRegDword("VideoCapVal", 100);
    WriteRegDword("FrameRate", 5);
    WriteRegDword("AutoFrameRate", 0);
    WriteRegDword("RedGain", 212);
    WriteRegDword("Sharpness", 0);
    WriteRegDword("Banding", 0);
    WriteRegDword("MainsFreq", 0);
    WriteRegDword("Backlit", 9);
    Load();
    EXPECT_EQ(device->compressionMode, 2);
    EXPECT_EQ(device->videoConf, 1);
    EXPECT_EQ(device->videoConfVal, 0);
    EXPECT_EQ(device->videoCapVal, 100);
    EXPECT_EQ(device->compressionQuality, 50) << "the fixed quality is not stored";
    EXPECT_EQ(viewport->yThreshold, 16);
    EXPECT_EQ(state->frameRate, 5u);
    EXPECT_EQ(state->red, 212);
    EXPECT_EQ(viewport->decimation, 1) << "sharpness off turns decimation on";
    EXPECT_EQ(device->bandingFilter, 0u);
    EXPECT_EQ(state->mainsFrequency, 0u);
    EXPECT_EQ(GetBacklight(), 1u) << "any number but 0 is on";
}

TEST_F(CameraSettings, ValuesOfAnotherTypeReadAsTheirDefault) {
    StoreString("Compression", "2");
    StoreString("RedGain", "100");
    StoreString("MainsFreq", "0");
    Load();
    EXPECT_EQ(device->compressionMode, 1);
    EXPECT_EQ(state->red, 32);
    EXPECT_EQ(state->mainsFrequency, 1u);
}

TEST_F(CameraSettings, TheFlickerLimitsComeFromTheIniFileAsBytes) {
    WriteRegDword("FlickMax", 10);
    WriteFileText(HomeFile("mbkzelt.ini"), "[TARN]\nFlickMax=300\nFlickExp=120\n");
    Load();
    EXPECT_EQ(state->flickMax, 44);
    EXPECT_EQ(state->flickExp, 120);

    WriteFileText(HomeFile("other.ini"), "[TARN]\nFlickMax=abc\n[ELSE]\nFlickExp=7\n");
    ReadTARNInit(device, "other.ini");
    EXPECT_EQ(state->flickMax, 0) << "no digits read as 0";
    EXPECT_EQ(state->flickExp, 146) << "a key in another section does not count";
}

TEST_F(CameraSettings, NothingIsLoadedOrSavedWithoutBothArguments) {
    WriteRegDword("Compression", 2);
    EXPECT_EQ(ReadTARNInit(nullptr, "mbkzelt.ini"), 0);
    EXPECT_EQ(ReadTARNInit(device, nullptr), 0);
    EXPECT_EQ(device->compressionMode, 0);
    EXPECT_EQ(WriteTARNInit(nullptr, "mbkzelt.ini"), 0);
    EXPECT_EQ(WriteTARNInit(device, nullptr), 0);
    EXPECT_EQ(Stored("ImageCols"), kUnset);
}

TEST_F(CameraSettings, ADeviceThatIsNotSelectedKeepsTheStoredSettings) {
    WriteRegDword("Compression", 2);
    EnableTARNDevices();
    EXPECT_EQ(WriteTARNInit(device, "mbkzelt.ini"), 0);
    EXPECT_EQ(Stored("Compression"), 2u);
    EXPECT_EQ(Stored("ImageCols"), kUnset);
    EXPECT_EQ(ReadTARNInit(device, "mbkzelt.ini"), 0);
    EXPECT_EQ(device->compressionMode, 0);
}

TEST_F(CameraSettings, TheSaveStoresTheLiveState) {
    InitBitmapHeader(&device->outputFormat);
    SetBitmapFormat(&device->outputFormat, 16, 0);
    SetBitmapSize(&device->outputFormat, 320, 240);
    SetCompressionSettings(2, 1, 70, 30, 80);
    camSetColBal(state, 1, 100, 101, 102);
    state->frameRate = 3;
    state->autoFrameRate = 0;
    camSetFlickerLimits(state, 200, 99);
    SetMainsFrequency(0);
    SetDecimationFlag(1);
    SetBanding(1);
    SetBacklight(1);
    WriteRegDword("BackoffLevel", 0x40);
    ASSERT_EQ(WriteTARNInit(device, "mbkzelt.ini"), 1);
    struct Case {
        const char* name;
        DWORD value;
    } expected[] = {{"Compression", 2}, {"VideoConf", 1},   {"VideoConfVal", 70}, {"VideoCapVal", 30},
                    {"RedGain", 100},   {"GreenGain", 101}, {"BlueGain", 102},    {"AutoFrameRate", 0},
                    {"FrameRate", 3},   {"Banding", 1},     {"MainsFreq", 0},     {"Sharpness", 0},
                    {"Backlit", 1},     {"ImageCols", 320}, {"ImageRows", 240},   {"FlickMax", 200},
                    {"FlickExp", 99},   {"BackoffLevel", 0}};
    for (const Case& c : expected) EXPECT_EQ(Stored(c.name), c.value) << c.name;
    EXPECT_NE(Stored("Brightness"), kUnset);
    EXPECT_EQ(ReadFileText(HomeFile("mbkzelt.ini")), "") << "the INI file is only read";
}

}  // namespace
