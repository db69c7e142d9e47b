// Load and save of the camera settings. Each value has its own reader that
// applies its load rule, so a stored value out of range falls back to a
// sound one and never fails the load.
#include "camera_settings.h"

#include "../device/camera_device.h"
#include "../device/device.h"
#include "../trace/trace.h"
#include "registry.h"

static const char kIniSection[] = "TARN";

static DWORD InRange(const char* name, DWORD defaultValue, LONG low, LONG high, DWORD otherwise) {
    LONG value = (LONG)ReadRegDword(name, defaultValue);
    return value >= low && value <= high ? (DWORD)value : otherwise;
}

static DWORD ReadCompression(const char* ini) {
    return InRange("Compression", 1, 0, 2, 0);
}
static DWORD ReadVideoConf(const char* ini) {
    return InRange("VideoConf", 0, 0, 1, 0);
}
static DWORD ReadVideoConfVal(const char* ini) {
    return InRange("VideoConfVal", 50, 0, 100, 50);
}
static DWORD ReadVideoCapVal(const char* ini) {
    return InRange("VideoCapVal", 50, 0, 100, 50);
}
// A flag that the camera keeps as 0 or 1: any other stored number means on.
static DWORD ReadFlag(const char* name, DWORD defaultValue) {
    return ReadRegDword(name, defaultValue) != 0 ? 1 : 0;
}
static DWORD ReadAutoFrameRate(const char* ini) {
    return ReadFlag("AutoFrameRate", 1);
}
static DWORD ReadFrameRate(const char* ini) {
    DWORD step = ReadRegDword("FrameRate", 1);
    return step == 1 || step == 3 || step == 5 ? step : 1;
}
// Gains are held as a byte, so only the low byte of the stored number counts.
static BYTE ReadGain(const char* name, BYTE defaultValue, const char* ini) {
    return (BYTE)ReadRegDword(name, defaultValue);
}
static BYTE GainInRange(BYTE gain, BYTE defaultValue) {
    return gain >= 1 && gain <= 212 ? gain : defaultValue;
}
static DWORD ReadMainsFreq(const char* ini) {
    return InRange("MainsFreq", 1, 0, 1, 0);
}
static DWORD ReadSharpness(const char* ini) {
    return InRange("Sharpness", 1, 0, 1, 1);
}
static DWORD ReadBanding(const char* ini) {
    return InRange("Banding", 1, 0, 1, 0);
}
static DWORD ReadBacklit(const char* ini) {
    return ReadFlag("Backlit", 0);
}
static LONG ReadImageCols(const char* ini) {
    return (LONG)ReadRegDword("ImageCols", 176);
}
static LONG ReadImageRows(const char* ini) {
    return (LONG)ReadRegDword("ImageRows", 144);
}
// The flicker limits come from the INI file, not the registry; the camera
// keeps their low bytes.
static BYTE ReadIniLimit(const char* key, int defaultValue, const char* ini) {
    return (BYTE)GetPrivateProfileIntA(kIniSection, key, defaultValue, ini);
}
static BYTE ReadFlickMax(const char* ini) {
    return ReadIniLimit("FlickMax", 250, ini);
}
static BYTE ReadFlickExp(const char* ini) {
    return ReadIniLimit("FlickExp", 146, ini);
}

// Brightness, contrast and colour go to the camera as stored.
static DWORD ReadColourParam(const char* name, const char* ini) {
    return ReadRegDword(name, 50);
}

int ReadTARNInit(CameraDevice* device, const char* iniPath) {
    if (!device || !iniPath) return 0;
    // The settings are applied through the device operations, which act on
    // the selected device only.
    if (device != SelectedDevice()) return 0;
    DWORD compression = ReadCompression(iniPath);
    DWORD videoConf = ReadVideoConf(iniPath);
    DWORD videoConfVal = ReadVideoConfVal(iniPath);
    DWORD videoCapVal = ReadVideoCapVal(iniPath);
    DWORD autoFrameRate = ReadAutoFrameRate(iniPath);
    DWORD frameRate = ReadFrameRate(iniPath);
    BYTE red = ReadGain("RedGain", 32, iniPath);
    BYTE green = ReadGain("GreenGain", 6, iniPath);
    BYTE blue = ReadGain("BlueGain", 92, iniPath);
    red = GainInRange(red, 32);
    green = GainInRange(green, 6);
    blue = GainInRange(blue, 92);
    DWORD mains = ReadMainsFreq(iniPath);
    DWORD sharpness = ReadSharpness(iniPath);
    DWORD banding = ReadBanding(iniPath);
    DWORD backlit = ReadBacklit(iniPath);
    LONG cols = ReadImageCols(iniPath);
    LONG rows = ReadImageRows(iniPath);
    BYTE flickMax = ReadFlickMax(iniPath);
    BYTE flickExp = ReadFlickExp(iniPath);

    int success = 1;
    BITMAPINFOHEADER format;
    InitBitmapHeader(&format);
    SetBitmapFormat(&format, 24, 0);
    SetBitmapSize(&format, cols, rows);
    if (!SetImageFormat(&format)) {
        // A stored size the camera cannot deliver must not keep the camera
        // from ever opening again: the default size stays in force.
        trace(TRACE_MESSAGE, "ReadTARNInit: image size %ld x %ld refused, 176 x 144 kept", (long)cols, (long)rows);
        SetBitmapSize(&format, 176, 144);
        if (!SetImageFormat(&format)) success = 0;
    }
    CameraState* state = device->cameraState;
    if (camSetColBal(state, 1, red, green, blue) != 0) success = 0;
    if (camSetColBal(state, 2, 0, 0, 0) != 0) success = 0;
    if (camSetFlickerLimits(state, flickMax, flickExp) != 0) success = 0;
    if (!SetFrameRate(frameRate, autoFrameRate)) success = 0;
    if (!SetMainsFrequency(mains)) success = 0;
    if (sharpness == 0) SetDecimationFlag(1);
    if (!SetCompressionSettings((LONG)compression, (LONG)videoConf, (WORD)videoConfVal, (WORD)videoCapVal, 50))
        success = 0;
    if (banding) SetBanding(1);
    DWORD brightness = ReadColourParam("Brightness", iniPath);
    DWORD contrast = ReadColourParam("Contrast", iniPath);
    DWORD colour = ReadColourParam("Colour", iniPath);
    SetColourParams(brightness, contrast, colour);
    if (!SetBacklight(backlit)) success = 0;
    return success;
}

int WriteTARNInit(CameraDevice* device, const char* iniPath) {
    if (!device || !iniPath) return 0;
    // The live state is read through the device operations, which see only
    // the selected device; another device's save would store their empty
    // answers over the user's settings, so it stores nothing.
    if (device != SelectedDevice()) return 0;
    BITMAPINFOHEADER format;
    InitBitmapHeader(&format);
    GetImageFormat(&format);
    LONG mode = 0, videoConf = 0;
    WORD videoConfVal = 0, videoCapVal = 0, quality = 0;
    GetCompressionSettings(&mode, &videoConf, &videoConfVal, &videoCapVal, &quality);
    BYTE red = 0, green = 0, blue = 0;
    camGetColBal(device->cameraState, &red, &green, &blue);
    DWORD step = 1, automatic = 0;
    camGetFrameRate(device->cameraState, &step, &automatic);
    BYTE flickMax = 0, flickExp = 0;
    camGetFlickerLimits(device->cameraState, &flickMax, &flickExp);
    DWORD mains = 0;
    GetMainsFrequency(&mains);
    DWORD decimation = GetDecimationFlag();
    DWORD banding = GetBanding();
    DWORD backlit = GetBacklight();

    WriteRegDword("Compression", (DWORD)mode);
    WriteRegDword("VideoConf", (DWORD)videoConf);
    WriteRegDword("VideoConfVal", videoConfVal);
    WriteRegDword("Compression", (DWORD)mode);
    WriteRegDword("VideoCapVal", videoCapVal);
    WriteRegDword("RedGain", red);
    WriteRegDword("GreenGain", green);
    WriteRegDword("BlueGain", blue);
    WriteRegDword("AutoFrameRate", automatic);
    WriteRegDword("FrameRate", step);
    WriteRegDword("Banding", banding);
    WriteRegDword("MainsFreq", mains);
    WriteRegDword("Sharpness", decimation ? 0 : 1);
    WriteRegDword("Backlit", backlit);
    WriteRegDword("ImageCols", (DWORD)format.biWidth);
    WriteRegDword("ImageRows", (DWORD)format.biHeight);
    WriteRegDword("FlickMax", flickMax);
    WriteRegDword("FlickExp", flickExp);
    WriteRegDword("BackoffLevel", 0);
    DWORD brightness = 0, contrast = 0, colour = 0;
    GetColourParams(&brightness, &contrast, &colour);
    WriteRegDword("Brightness", brightness);
    WriteRegDword("Contrast", contrast);
    WriteRegDword("Colour", colour);
    return 1;
}
