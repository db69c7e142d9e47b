// The driver's dialogs drawn and run by Wine's user32, used as a person
// uses them (clicks, scrolls, typed text, keys), their effects read back
// through DVM_FORMAT and the private control messages.
#include "ui/resources/resource.h"
#include "wine_host.h"

namespace {

class Dialogs : public VideoInHost {
protected:
    // DVM_DIALOG on a channel, owned by nothing, as a host without a
    // window of its own asks for it.
    DWORD ChannelDialog(HDRVR channel) { return static_cast<DWORD>(Send(channel, DVM_DIALOG, 0, 0)); }
    DWORD Colours() { return ReadPrivate(videoIn, 0x40) & 0xFFFFFF; }
    DWORD Compression() { return ReadPrivate(videoIn, 0x41); }
    Step ExpectPrivate(DWORD number, DWORD mask, DWORD want, const char* what) {
        return Expect([=](HWND) { EXPECT_EQ(ReadPrivate(videoIn, number) & mask, want) << what; });
    }
};

TEST_F(Dialogs, DriverSettingsShowTheDriverAndTheCamera) {
    struct Row {
        const char* name;
        bool channelOpen;   // the camera is up: details at once
        DWORD language;     // "Language" as a number
        const char* shown;  // its name in the dialog
    };
    const Row rows[] = {
        {"a channel has the camera", true, 0, "U.S. English"},
        {"the dialog brings the camera up", false, 3, "German"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteDriverValue("Language", row.language);
        if (!row.channelOpen) Close(videoIn);
        HDRVR configuration = OpenDriver(L"mbktarn2u.drv", nullptr, 0);
        ASSERT_TRUE(configuration);
        Play({WaitFor("Driver Settings"), WaitShown(IDC_FIRMWARE), Expect([&](HWND d) {
                  EXPECT_EQ(ItemText(d, IDC_VERSION), "1.0.3.0");
                  EXPECT_EQ(ItemText(d, IDC_BUILD_DATE), "Jan  7 1999");
                  EXPECT_EQ(ItemText(d, IDC_PORT), "LPT1 - Fast DMA");
                  EXPECT_EQ(ItemText(d, IDC_SENSOR), "T2C");
                  EXPECT_EQ(ItemText(d, IDC_FIRMWARE), "1-03");
                  EXPECT_EQ(ItemText(d, IDC_LANGUAGE), row.shown);
                  EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_RETRIEVING)));
              }),
              Click(IDOK)});
        EXPECT_EQ(SendDriverMessage(configuration, DRV_CONFIGURE, 0, 0), 1);
        EXPECT_TRUE(StepsDone());
        CloseDriver(configuration, 0, 0);
        EXPECT_EQ(OpenLinkHandles(), row.channelOpen ? 1 : 0) << "a camera the dialog brought up is released";
    }
}

TEST_F(Dialogs, VideoFormatAppliesOnOkAmendsSizesAndCancelKeepsTheFormat) {
    BITMAPINFOHEADER vga = Current(videoIn);
    vga.biWidth = 640;
    vga.biHeight = 480;
    vga.biSizeImage = 640 * 480 * 3;
    ASSERT_EQ(SetFormat(videoIn, vga), DV_ERR_OK);
    // A smaller depth takes the largest size it has, and Cancel applies nothing.
    Play({Expect([](HWND d) {
              EXPECT_TRUE(Checked(d, IDC_SIZE_640X480));
              EXPECT_TRUE(Checked(d, IDC_DEPTH_RGB24));
          }),
          Click(IDC_DEPTH_RGB16), Expect([](HWND d) {
              EXPECT_TRUE(Checked(d, IDC_SIZE_352X288));
              EXPECT_EQ(ItemText(d, IDC_CUSTOM_WIDTH), "352");
              EXPECT_EQ(ItemText(d, IDC_CUSTOM_HEIGHT), "288");
              EXPECT_FALSE(Enabled(d, IDC_SIZE_640X480));
              EXPECT_FALSE(Enabled(d, IDC_SIZE_704X576));
          }),
          Click(IDCANCEL)});
    EXPECT_EQ(ChannelDialog(videoIn), DV_ERR_OK);
    BITMAPINFOHEADER now = Current(videoIn);
    EXPECT_EQ(memcmp(&now, &vga, sizeof now), 0) << "Cancel keeps 24-bit 640 x 480";

    // A size the camera cannot take is amended for a second OK.
    Play({SetText(IDC_CUSTOM_WIDTH, "350"), SetText(IDC_CUSTOM_HEIGHT, "250"), Click(IDOK), WaitFor("mbkzelt"),
          Key(IDOK, VK_RETURN), WaitFor("Video Format"), Expect([](HWND d) {
              EXPECT_EQ(ItemText(d, IDC_CUSTOM_WIDTH), "352");
              EXPECT_EQ(ItemText(d, IDC_CUSTOM_HEIGHT), "252");
          }),
          Click(IDOK)});
    EXPECT_EQ(ChannelDialog(videoIn), DV_ERR_OK);
    now = Current(videoIn);
    EXPECT_EQ(now.biWidth, 352);
    EXPECT_EQ(now.biHeight, 252);
    EXPECT_EQ(now.biBitCount, 24);
    EXPECT_EQ(now.biSizeImage, 352u * 252 * 3);
}

TEST_F(Dialogs, CameraSettingsApplyAtOnceAndCancelRestores) {
    HDRVR external = Open(VIDEO_EXTERNALIN);
    ASSERT_TRUE(external);
    DWORD colours = Colours(), compression = Compression();
    ASSERT_EQ(colours, Bytes(50, 50, 50, 0));
    Play({Scroll(IDC_BRIGHTNESS_BAR, SB_LINEDOWN, 3), ExpectPrivate(0x40, 0xFF, 53, "brightness scrolled"),
          Expect([](HWND d) { EXPECT_EQ(ItemText(d, IDC_BRIGHTNESS_EDIT), "53"); }),
          // Each keystroke counts: 1 is applied, then 15.
          SetText(IDC_CONTRAST_EDIT, ""), Type(IDC_CONTRAST_EDIT, "1"),
          ExpectPrivate(0x40, 0xFF00, 1 << 8, "contrast 1"), Type(IDC_CONTRAST_EDIT, "5"),
          ExpectPrivate(0x40, 0xFF00, 15 << 8, "contrast 15"),
          // The arrow keys move the focused compression bar by its line step.
          Key(IDC_COMPRESSION_BAR, VK_RIGHT), ExpectPrivate(0x41, 0xFF0000, 52 << 16, "preview level 52"),
          Click(IDC_OPTIMIZE_CONFERENCE), ExpectPrivate(0x41, 0xF0, 0x10, "conference mode"),
          // Escape is Cancel: the opening values come back.
          Key(IDC_BRIGHTNESS_EDIT, VK_ESCAPE)});
    EXPECT_EQ(ChannelDialog(external), DV_ERR_OK);
    EXPECT_TRUE(StepsDone());
    EXPECT_EQ(Colours(), colours);
    EXPECT_EQ(Compression() & 0xFFFFFF, compression & 0xFFFFFF) << "mode, levels";
}

TEST_F(Dialogs, AdvancedSettingsApplyAtOnceAndCancelRestoresWhatChanged) {
    HDRVR external = Open(VIDEO_EXTERNALIN);
    ASSERT_TRUE(external);
    DWORD rate = ReadPrivate(videoIn, 0x50) & 0xFFFF, lighting = ReadPrivate(videoIn, 0x51);
    ASSERT_EQ(rate, Bytes(1, 1, 0, 0)) << "step 1, automatic";
    Play({Click(IDC_ADVANCED), WaitFor("Advanced Camera Settings"), Expect([](HWND d) {
              EXPECT_FALSE(Enabled(d, IDC_LIGHTING_LOW)) << "automatic lighting";
              EXPECT_TRUE(Enabled(d, IDC_ZOOM)) << "176 x 144 can pan";
          }),
          Click(IDC_LIGHTING_AUTOMATIC), Click(IDC_LIGHTING_LOW), ExpectPrivate(0x50, 0xFFFF, Bytes(5, 0, 0, 0), "low"),
          Click(IDC_BACKLIT), ExpectPrivate(0x51, 0xFF00, 1 << 8, "backlit"),
          // Zoom on: the window stays in the middle of the sensor, at
          // 88, 72; a drag of (12, 10) on the control, at half scale, pans
          // it (24, 20), and the camera sends uncompressed frames while the
          // button is down.
          Click(IDC_ZOOM), ExpectPrivate(0x52, 0xFF00FF, Bytes(72 / 4 * 2 + 1, 0, 88 / 4, 0), "pan/tilt mode"),
          Mouse(IDC_PAN_TILT, WM_LBUTTONDOWN, 0, 0), ExpectPrivate(0x41, 0x0F, 0, "no compression in a drag"),
          Mouse(IDC_PAN_TILT, WM_MOUSEMOVE, 12, 10), Mouse(IDC_PAN_TILT, WM_LBUTTONUP, 12, 10),
          ExpectPrivate(0x52, 0xFF00FF, Bytes(92 / 4 * 2 + 1, 0, 112 / 4, 0), "panned"),
          ExpectPrivate(0x41, 0x0F, 1, "compression back"), Click(IDCANCEL), WaitFor("Camera Settings"), Click(IDOK)});
    EXPECT_EQ(ChannelDialog(external), DV_ERR_OK);
    EXPECT_TRUE(StepsDone());
    EXPECT_EQ(ReadPrivate(videoIn, 0x50) & 0xFFFF, rate);
    EXPECT_EQ(ReadPrivate(videoIn, 0x51), lighting);
    EXPECT_EQ(ReadPrivate(videoIn, 0x52) & 0x100, 0u);
}

}  // namespace
