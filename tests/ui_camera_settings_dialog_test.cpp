// The Camera Settings dialog as a user meets it: sliders and number boxes
// reach the camera at once, the compression mode keeps a level for each
// mode, Reset Defaults, and Cancel putting back what was there.
#include "ui_dialog_support.h"

class CameraSettingsDialog : public DialogUser {
protected:
    void SetUp() override {
        DialogUser::SetUp();
        OpenChannel(VIDEO_EXTERNALIN);
    }
};

TEST_F(CameraSettingsDialog, SlidersAndNumbersApplyAtOnceAndCancelPutsTheOpeningBack) {
    ASSERT_EQ(SetColourParams(40, 60, 70), 0);
    Show(channel, {
                      [](HWND d) {
                          EXPECT_EQ(Number(d, IDC_BRIGHTNESS_EDIT), 40u);
                          EXPECT_EQ(Position(d, IDC_CONTRAST_BAR), 60);
                          EXPECT_EQ(Number(d, IDC_COLOUR_EDIT), 70u);
                          PosixScroll(d, IDC_BRIGHTNESS_BAR, SB_PAGEDOWN, 0);
                      },
                      [](HWND d) {
                          EXPECT_EQ(Number(d, IDC_BRIGHTNESS_EDIT), 50u);
                          EXPECT_EQ(ColourNow(), (Colour{50, 60, 70}));
                          PosixScroll(d, IDC_CONTRAST_BAR, SB_LINEUP, 0);
                          PosixScroll(d, IDC_COLOUR_BAR, SB_THUMBTRACK, 100);
                      },
                      [](HWND d) {
                          EXPECT_EQ(ColourNow(), (Colour{50, 59, 100}));
                          // A step past either end stops at it.
                          PosixScroll(d, IDC_COLOUR_BAR, SB_LINEDOWN, 0);
                          EXPECT_EQ(ColourNow().colour, 100u);
                          for (int i = 0; i < 12; i++) PosixScroll(d, IDC_BRIGHTNESS_BAR, SB_PAGEUP, 0);
                          EXPECT_EQ(ColourNow().brightness, 1u);
                          EXPECT_EQ(Number(d, IDC_BRIGHTNESS_EDIT), 1u);
                          PosixClick(d, IDCANCEL);
                      },
                  });
    EXPECT_EQ(ColourNow(), (Colour{40, 60, 70}));
}

TEST_F(CameraSettingsDialog, EachModeKeepsItsLevelAndAMovedSliderAsksForFullQuality) {
    ASSERT_TRUE(SetCompressionSettings(1, 0, 30, 70, 40));
    Show(channel, {
                      [](HWND d) {
                          EXPECT_TRUE(Checked(d, IDC_OPTIMIZE_PREVIEW));
                          EXPECT_EQ(Position(d, IDC_COMPRESSION_BAR), 70);
                          PosixClick(d, IDC_OPTIMIZE_CONFERENCE);
                      },
                      [](HWND d) {
                          EXPECT_EQ(Position(d, IDC_COMPRESSION_BAR), 30);
                          EXPECT_EQ(CompressionNow(), (Compression{1, 1, 30, 70, 40}));  // quality: not moved yet
                          PosixScroll(d, IDC_COMPRESSION_BAR, SB_LINEDOWN, 0);
                      },
                      [](HWND d) {
                          Compression c = CompressionNow();
                          EXPECT_EQ(c.conferenceLevel, 32u);  // line step 2
                          EXPECT_EQ(c.previewLevel, 70u);
                          PosixClick(d, IDC_OPTIMIZE_CONFERENCE);  // already checked: nothing
                          PosixClick(d, IDC_OPTIMIZE_PREVIEW);
                          EXPECT_EQ(Position(d, IDC_COMPRESSION_BAR), 70);
                          EXPECT_EQ(CompressionNow(), (Compression{1, 0, 32, 70, 100}));
                          PosixClick(d, IDCANCEL);
                      },
                  });
    EXPECT_EQ(CompressionNow(), (Compression{1, 0, 30, 70, 100}));  // Cancel passes the quality in force
}
