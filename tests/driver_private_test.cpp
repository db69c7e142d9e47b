// Private control messages tunnelled through DVM_FORMAT SET, with the
// read-back fetched by the next GET of the current format.
#include "camera_host.h"
#include "device_support.h"
#include "driver/driver.h"
#include "trace/trace.h"

namespace {

const LONG kWrite = 0x23680000;
const LONG kRead = 0x68320000;
const LONG kAnswer = 0x57750000;

class PrivateMessages : public SelectedCamera {
protected:
    void SetUp() override {
        SelectedCamera::SetUp();
        privateReadPending = FALSE;
        memset(&currentFormat, 0, sizeof currentFormat);
    }
    void TearDown() override {
        privateReadPending = FALSE;
        DriverOptions = 0;
        SelectedCamera::TearDown();
    }
    static DWORD Configure(DWORD flags, BITMAPINFOHEADER* header, DWORD size = sizeof(BITMAPINFOHEADER)) {
        VIDEOCONFIGPARMS parms;
        memset(&parms, 0, sizeof parms);
        parms.lpData1 = header;
        parms.dwSize1 = size;
        return FormatMessageHandler(nullptr, DVM_FORMAT, flags, reinterpret_cast<LPARAM>(&parms));
    }
    static DWORD Set(LONG xPels, DWORD data) {
        BITMAPINFOHEADER header;
        memset(&header, 0, sizeof header);
        header.biSize = sizeof header;
        header.biXPelsPerMeter = xPels;
        header.biYPelsPerMeter = static_cast<LONG>(data);
        return Configure(VIDEO_CONFIGURE_SET, &header);
    }
    static void Write(DWORD number, DWORD data) { EXPECT_EQ(Set(kWrite | static_cast<LONG>(number), data), 17u); }
    // The next GET of the current format; true when it carries an answer.
    static bool Fetch(DWORD* data) {
        BITMAPINFOHEADER header;
        memset(&header, 0, sizeof header);
        EXPECT_EQ(Configure(VIDEO_CONFIGURE_GET | VIDEO_CONFIGURE_CURRENT, &header), 0u);
        if (header.biXPelsPerMeter != kAnswer) return false;
        *data = static_cast<DWORD>(header.biYPelsPerMeter);
        return true;
    }
    // Sends a read and fetches its answer; false when the read failed.
    static bool Read(DWORD number, DWORD* data, DWORD in = 0) {
        EXPECT_EQ(Set(kRead | static_cast<LONG>(number), in), 17u);
        return Fetch(data);
    }
    static DWORD Bytes(DWORD d0, DWORD d1, DWORD d2, DWORD d3) { return d0 | d1 << 8 | d2 << 16 | d3 << 24; }
};

TEST_F(PrivateMessages, ReadsAnswerOnceThroughTheNextGet) {
    DWORD data = 0;
    ASSERT_TRUE(Read(0x21, &data, 0xAABB0000));
    EXPECT_EQ(data, Bytes(1, 3, 0xBB, 0xAA)) << "firmware 1.3; the other two bytes as sent";
    EXPECT_FALSE(Fetch(&data)) << "the GET after that has the device's own values";

    DriverOptions = OPT_TRACE_ON | OPT_NO_IRQ;
    ASSERT_TRUE(Read(0x24, &data));
    EXPECT_EQ(data, Bytes(1, 0x57, 0xA0, 0x00));

    // A later read overwrites an answer that was not fetched.
    EXPECT_EQ(Set(kRead | 0x21, 0), 17u);
    EXPECT_EQ(Set(kRead | 0x24, 0), 17u);
    ASSERT_TRUE(Fetch(&data));
    EXPECT_EQ(data & 0xFFFF, 0x5701u);

    // The marker's top bit is not part of it.
    EXPECT_EQ(Set(static_cast<LONG>(0x80000000u | kRead | 0x21), 0), 17u);
    ASSERT_TRUE(Fetch(&data));
    EXPECT_EQ(data & 0xFFFF, 0x0301u);
}

TEST_F(PrivateMessages, UnknownNumbersAndWrongDirectionsFailWithoutAnAnswer) {
    BITMAPINFOHEADER before = currentFormat;
    DWORD data = 0;
    for (DWORD number : {0u, 32u, 34u, 0x30u, 113u, 200u, 0xFFFFu}) {
        EXPECT_FALSE(Read(number, &data)) << number;
        Write(number, 0x01010101);
    }
    EXPECT_FALSE(Read(0x25, &data)) << "pausing is write only";
    Write(0x21, 0x0505);
    Write(0x24, 0x0505);
    EXPECT_FALSE(Fetch(&data));
    EXPECT_EQ(memcmp(&before, &currentFormat, sizeof before), 0) << "a private message is no format";
}

TEST_F(PrivateMessages, CompressionSettingsRoundTripAndNonsenseIsRefused) {
    Write(0x41, Bytes(0x11, 70, 30, 60));
    EXPECT_EQ(device->compressionMode, 1);
    EXPECT_EQ(device->videoConf, 1);
    EXPECT_EQ(device->videoConfVal, 70);
    EXPECT_EQ(device->videoCapVal, 30);
    DWORD data = 0;
    ASSERT_TRUE(Read(0x41, &data));
    EXPECT_EQ(data, Bytes(0x11, 70, 30, 60));

    Write(0x41, Bytes(0x02, 50, 50, 200));
    ASSERT_TRUE(Read(0x41, &data));
    EXPECT_EQ(data, Bytes(0x02, 50, 50, 100)) << "the fixed quality is clamped";

    for (DWORD bad :
         {Bytes(0x03, 50, 50, 50), Bytes(0x21, 50, 50, 50), Bytes(0x01, 101, 50, 50), Bytes(0x01, 50, 255, 50)}) {
        Write(0x41, bad);
        EXPECT_FALSE(Fetch(&data));
        EXPECT_EQ(device->compressionMode, 2) << std::hex << bad;
        EXPECT_EQ(device->videoConfVal, 50) << std::hex << bad;
    }
}

TEST_F(PrivateMessages, FrameRateStepsOutsideTheFiveAreRefused) {
    Write(0x50, Bytes(3, 0, 0, 0));
    DWORD data = 0;
    ASSERT_TRUE(Read(0x50, &data, 0xCCDD0000));
    EXPECT_EQ(data, Bytes(3, 0, 0xDD, 0xCC));
    for (DWORD bad : {Bytes(0, 0, 0, 0), Bytes(6, 0, 0, 0), Bytes(255, 0, 0, 0), Bytes(1, 2, 0, 0)}) Write(0x50, bad);
    EXPECT_EQ(state->frameRate, 3u);
    EXPECT_EQ(state->autoFrameRate, 0u);
}

TEST_F(PrivateMessages, LightingWritesBacklightBandingAndMains) {
    Write(0x51, Bytes(0x99, 1, 1, 0));
    EXPECT_EQ(GetBacklight(), 1u);
    EXPECT_EQ(GetBanding(), 1u);
    EXPECT_EQ(state->mainsFrequency, 0u);
    DWORD data = 0;
    ASSERT_TRUE(Read(0x51, &data));
    EXPECT_EQ(data, Bytes(2, 1, 1, 0));

    Write(0x51, Bytes(0, 0, 0, 2));
    EXPECT_FALSE(Fetch(&data));
    EXPECT_EQ(GetBanding(), 1u) << "a refused write changes nothing";
    EXPECT_EQ(GetBacklight(), 1u);
}

TEST_F(PrivateMessages, TheWindowGoesInQuarterPixelsWithThePanTiltBit) {
    Write(0x52, Bytes(0x10, 0x91, 0x04, 0x30));
    RECT window;
    DWORD panTilt = 0;
    GetImageWindow(&window, &panTilt);
    EXPECT_EQ(window.left, 16);
    EXPECT_EQ(window.top, 32);
    EXPECT_EQ(window.right, 192);
    EXPECT_EQ(window.bottom, 288);
    EXPECT_EQ(panTilt, 1u);
    DWORD data = 0;
    ASSERT_TRUE(Read(0x52, &data));
    EXPECT_EQ(data, Bytes(0x11, 0x91, 0x04, 0x30)) << "bit 0 of d0: smaller than the sensor";

    // Empty, turned round, or off the sensor: refused.
    for (DWORD bad : {Bytes(0x10, 0x91, 0x30, 0x04), Bytes(0x10, 0x11, 0x04, 0x30), Bytes(0x10, 0xA1, 0x04, 0x30),
                      Bytes(0x10, 0x91, 0x04, 0x60), Bytes(0x10, 0x91, 0x04, 0x04)})
        Write(0x52, bad);
    GetImageWindow(&window, &panTilt);
    EXPECT_EQ(window.right, 192);
    EXPECT_EQ(window.bottom, 288);
}

TEST_F(PrivateMessages, PausingStopsAndResumesPipelinedUploads) {
    grabber->fastPort = 1;
    grabber->pipelining = 1;
    Write(0x25, 0);
    EXPECT_EQ(grabber->pipelining, 0u);
    Write(0x25, 0x2A);
    EXPECT_EQ(grabber->pipelining, 1u);
}

TEST_F(PrivateMessages, WithoutADeviceEveryMessageFails) {
    EnableTARNDevices();
    DWORD data = 0;
    for (DWORD number : {0x21u, 0x24u, 0x40u, 0x41u, 0x50u, 0x51u, 0x52u, 0x70u}) EXPECT_FALSE(Read(number, &data));
    Write(0x70, 1);
    EXPECT_EQ(state->portWatch, 0u);
}

// The same messages through DriverProc on an opened channel, acting on the
// simulated camera.
class PrivateMessagesOnTheCamera : public CameraHost {
protected:
    void SetUp() override {
        CameraHost::SetUp();
        OpenCamera();
    }
    // The parameter bytes of the SetFlicker commands sent since `from`.
    static std::vector<int> FlickerCommands(int from) {
        std::vector<int> sent;
        SimCommandRecord record;
        for (int i = from; SimGetCommand(i, &record); i++)
            if (record.module == ZELT_GROUP_PROCESSOR && record.command == 10)
                sent.push_back(record.parameters[0] << 8 | record.parameters[1]);
        return sent;
    }
};

TEST_F(PrivateMessagesOnTheCamera, LightingSwitchesBandingOffWhileTheMainsFrequencyChanges) {
    EXPECT_EQ(Camera().flickerPeriod, 76) << "the load: 60 Hz, banding on";
    int from = SimCommandCount();
    Write(0x51, Bytes(0, 0, 1, 0));
    // Off with the old period, then on with the period for 50 Hz.
    EXPECT_EQ(FlickerCommands(from), (std::vector<int>{0x004C, 0x015C}));
    EXPECT_EQ(Camera().flickerMode, 1);
    EXPECT_EQ(Camera().flickerPeriod, 92);
    DWORD data = 0;
    ASSERT_TRUE(Read(0x51, &data));
    EXPECT_EQ(data, Bytes(2, 0, 1, 0));
}

TEST_F(PrivateMessagesOnTheCamera, ColourAndFrameRateReachTheCamera) {
    Write(0x40, Bytes(80, 20, 30, 0));
    EXPECT_EQ(Camera().brightness, 80);
    EXPECT_EQ(Camera().colour, 30);
    DWORD data = 0;
    ASSERT_TRUE(Read(0x40, &data));
    EXPECT_EQ(data & 0xFFFFFF, Bytes(80, 20, 30, 0));

    Write(0x50, Bytes(3, 0, 0, 0));
    Write(0x50, Bytes(3, 0, 0, 0));
    EXPECT_EQ(Camera().divisorExponent, 1);
    ASSERT_TRUE(Read(0x50, &data));
    EXPECT_EQ(data & 0xFFFF, Bytes(3, 0, 0, 0));
    Write(0x50, Bytes(9, 0, 0, 0));
    EXPECT_FALSE(Read(0x25, &data));
    EXPECT_EQ(Camera().divisorExponent, 1);
}

TEST_F(PrivateMessagesOnTheCamera, AWindowOfTheSameSizeMovesThePictureOnTheSensor) {
    ASSERT_EQ(Frame(), DV_ERR_OK);
    // 176 x 144 at (16, 32) on the full sensor, pan/tilt on.
    Write(0x52, Bytes(0x10, 0x59, 0x04, 0x30));
    ASSERT_EQ(Frame(), DV_ERR_OK);
    SimCamera camera = Camera();
    EXPECT_EQ(camera.videoSize, 1);
    EXPECT_EQ(camera.colStart8, 2);
    EXPECT_EQ(camera.colEnd8, 24);
    EXPECT_EQ(camera.rowStart4, 8);
    EXPECT_EQ(camera.rowEnd4, 44);
    DWORD data = 0;
    ASSERT_TRUE(Read(0x52, &data));
    EXPECT_EQ(data, Bytes(0x11, 0x59, 0x04, 0x30));
}

TEST_F(PrivateMessagesOnTheCamera, AButtonPressIsReportedOnceWhileWatched) {
    Write(0x70, Bytes(1, 0, 0, 0));
    ASSERT_EQ(Frame(), DV_ERR_OK);
    SimPressButton();
    ASSERT_EQ(Frame(), DV_ERR_OK);
    DWORD data = 0;
    ASSERT_TRUE(Read(0x70, &data));
    EXPECT_EQ(data & 0xFFFF, 0x0101u);
    ASSERT_TRUE(Read(0x70, &data));
    EXPECT_EQ(data & 0xFFFF, 0x0001u);
}

TEST_F(PrivateMessagesOnTheCamera, PortDetailsCarryTheDriverOptions) {
    CloseCamera();
    WriteRegDword("DisableIRQ", 1);
    WriteRegDword("DebugLevel", 0x04);
    OpenCamera();
    DWORD data = 0;
    ASSERT_TRUE(Read(0x24, &data));
    EXPECT_EQ(data, Bytes(1, 0x57, 0x84, 0x00));
    ASSERT_TRUE(Read(0x21, &data));
    EXPECT_EQ(data & 0xFFFF, 0x0301u);
}

TEST_F(PrivateMessagesOnTheCamera, MalformedRequestsAreRefusedAndOnlyVideoInCarriesThem) {
    BITMAPINFOHEADER header;
    memset(&header, 0, sizeof header);
    header.biXPelsPerMeter = 0x23680040;
    header.biYPelsPerMeter = static_cast<LONG>(Bytes(90, 90, 90, 0));
    EXPECT_EQ(Configure(VIDEO_CONFIGURE_SET, &header, 39), static_cast<DWORD>(DV_ERR_SIZEFIELD));
    EXPECT_EQ(Configure(VIDEO_CONFIGURE_SET | VIDEO_CONFIGURE_CURRENT, &header), 17u);
    EXPECT_EQ(Configure(VIDEO_CONFIGURE_SET, nullptr), static_cast<DWORD>(DV_ERR_PARAM1));
    EXPECT_EQ(Send(videoIn, DVM_FORMAT, VIDEO_CONFIGURE_SET, 0), DV_ERR_PARAM2);
    DWORD_PTR external = Open(VIDEO_EXTERNALIN);
    ASSERT_GT(external, 1u);
    VIDEOCONFIGPARMS parms;
    memset(&parms, 0, sizeof parms);
    parms.lpData1 = &header;
    parms.dwSize1 = sizeof header;
    EXPECT_EQ(Send(external, DVM_FORMAT, VIDEO_CONFIGURE_SET, reinterpret_cast<LPARAM>(&parms)), DV_ERR_NOTSUPPORTED);
    EXPECT_NE(Camera().brightness, 90) << "none of them reached the camera";
    Write(0x40, Bytes(90, 90, 90, 0));
    EXPECT_EQ(Camera().brightness, 90);
}

}  // namespace
