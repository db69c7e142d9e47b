// The Camera Settings dialog as a user meets it: sliders and number boxes
// reach the camera at once, the compression mode keeps a level for each
// mode, Reset Defaults, and Cancel putting back what was there.
#include "ui_dialog_support.h"

class CameraSettingsDialog : public DialogUser {
protected:
    void SetUp() override {
        DialogUser::SetUp();
        channel = Open(VIDEO_EXTERNALIN);
        ASSERT_GT(channel, 1u);
    }
    DWORD_PTR channel = 0;
};

TEST_F(CameraSettingsDialog, SlidersAndNumbersApplyAtOnceAndCancelPutsTheOpeningBack) {
    ASSERT_EQ(SetColourParams(40, 60, 70), 0);
    Act({
        [](HWND d) {
            EXPECT_EQ(Number(d, IDC_BRIGHTNESS_EDIT), 40u);
            EXPECT_EQ(Position(d, IDC_CONTRAST_BAR), 60);
            EXPECT_EQ(Number(d, IDC_COLOUR_EDIT), 70u);
            PosixScroll(d, IDC_BRIGHTNESS_BAR, SB_PAGEDOWN, 0);
        },
        [](HWND d) {
            EXPECT_EQ(Number(d, IDC_BRIGHTNESS_EDIT), 50u);
            EXPECT_EQ(ColourNow().brightness, 50u);
            PosixScroll(d, IDC_CONTRAST_BAR, SB_LINEUP, 0);
            PosixScroll(d, IDC_COLOUR_BAR, SB_THUMBTRACK, 100);
        },
        [](HWND d) {
            Colour now = ColourNow();
            EXPECT_EQ(now.contrast, 59u);
            EXPECT_EQ(now.colour, 100u);
            // Page up past the minimum stops at it.
            for (int i = 0; i < 12; i++) PosixScroll(d, IDC_BRIGHTNESS_BAR, SB_PAGEUP, 0);
            EXPECT_EQ(ColourNow().brightness, 1u);
            EXPECT_EQ(Number(d, IDC_BRIGHTNESS_EDIT), 1u);
            PosixClick(d, IDCANCEL);
        },
    });
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    EXPECT_TRUE(AllStepsRan());
    Colour after = ColourNow();
    EXPECT_EQ(after.brightness, 40u);
    EXPECT_EQ(after.contrast, 60u);
    EXPECT_EQ(after.colour, 70u);
}

TEST_F(CameraSettingsDialog, EveryKeystrokeCountsAndOnlyNumbersInRangeReachTheSlider) {
    Act({
        [](HWND d) {
            PosixType(d, IDC_BRIGHTNESS_EDIT, "0");  // 500: out of range
            EXPECT_EQ(Text(d, IDC_BRIGHTNESS_EDIT), "500");
            EXPECT_EQ(Position(d, IDC_BRIGHTNESS_BAR), 50);
            EXPECT_EQ(ColourNow().brightness, 50u);
            PosixClearEdit(d, IDC_BRIGHTNESS_EDIT);
            PosixType(d, IDC_BRIGHTNESS_EDIT, "1");
            EXPECT_EQ(ColourNow().brightness, 1u);
            PosixType(d, IDC_BRIGHTNESS_EDIT, "5");
            EXPECT_EQ(ColourNow().brightness, 15u);
            PosixType(d, IDC_BRIGHTNESS_EDIT, "0");
            EXPECT_EQ(ColourNow().brightness, 15u);
            EXPECT_EQ(Position(d, IDC_BRIGHTNESS_BAR), 15);
            PosixReplaceText(d, IDC_CONTRAST_EDIT, "x");
            EXPECT_EQ(ColourNow().contrast, 50u);
            PosixClick(d, IDOK);
        },
    });
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    EXPECT_EQ(ColourNow().brightness, 15u);  // OK keeps what was applied
}

TEST_F(CameraSettingsDialog, EachModeKeepsItsLevelAndAMovedSliderAsksForFullQuality) {
    ASSERT_TRUE(SetCompressionSettings(1, 0, 30, 70, 40));
    Act({
        [](HWND d) {
            EXPECT_TRUE(Checked(d, IDC_OPTIMIZE_PREVIEW));
            EXPECT_EQ(Position(d, IDC_COMPRESSION_BAR), 70);
            PosixClick(d, IDC_OPTIMIZE_CONFERENCE);
        },
        [](HWND d) {
            EXPECT_EQ(Position(d, IDC_COMPRESSION_BAR), 30);
            Compression c = CompressionNow();
            EXPECT_EQ(c.videoConf, 1);
            EXPECT_EQ(c.quality, 40u);  // not moved yet
            PosixScroll(d, IDC_COMPRESSION_BAR, SB_LINEDOWN, 0);
        },
        [](HWND d) {
            Compression c = CompressionNow();
            EXPECT_EQ(c.conferenceLevel, 32u);  // line step 2
            EXPECT_EQ(c.previewLevel, 70u);
            PosixClick(d, IDC_OPTIMIZE_CONFERENCE);  // already checked: nothing
            PosixClick(d, IDC_OPTIMIZE_PREVIEW);
            EXPECT_EQ(Position(d, IDC_COMPRESSION_BAR), 70);
            c = CompressionNow();
            EXPECT_EQ(c.videoConf, 0);
            EXPECT_EQ(c.quality, 100u);
            PosixClick(d, IDCANCEL);
        },
    });
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    Compression c = CompressionNow();
    EXPECT_EQ(c.mode, 1);
    EXPECT_EQ(c.videoConf, 0);
    EXPECT_EQ(c.conferenceLevel, 30u);
    EXPECT_EQ(c.previewLevel, 70u);
    EXPECT_EQ(c.quality, 100u);  // Cancel passes the quality in force
}

TEST_F(CameraSettingsDialog, CancelLeavesTheCameraInAutomaticCompression) {
    ASSERT_TRUE(SetCompressionSettings(2, 1, 20, 80, 60));
    Act({[](HWND d) { PosixClick(d, IDCANCEL); }});
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    Compression c = CompressionNow();
    EXPECT_EQ(c.mode, 1);
    EXPECT_EQ(c.videoConf, 1);
    EXPECT_EQ(c.conferenceLevel, 20u);
    EXPECT_EQ(c.previewLevel, 80u);
}

TEST_F(CameraSettingsDialog, ResetDefaultsTakesEveryValueBackToFifty) {
    ASSERT_EQ(SetColourParams(10, 20, 30), 0);
    ASSERT_TRUE(SetCompressionSettings(1, 1, 90, 5, 50));
    Act({
        [](HWND d) { PosixClick(d, IDC_RESET_DEFAULTS); },
        [](HWND d) {
            Colour now = ColourNow();
            EXPECT_EQ(now.brightness, 50u);
            EXPECT_EQ(now.contrast, 50u);
            EXPECT_EQ(now.colour, 50u);
            Compression c = CompressionNow();
            EXPECT_EQ(c.videoConf, 0);
            EXPECT_EQ(c.conferenceLevel, 50u);
            EXPECT_EQ(c.previewLevel, 50u);
            EXPECT_TRUE(Checked(d, IDC_OPTIMIZE_PREVIEW));
            EXPECT_FALSE(Checked(d, IDC_OPTIMIZE_CONFERENCE));
            EXPECT_EQ(Position(d, IDC_COMPRESSION_BAR), 50);
            PosixClick(d, IDOK);
        },
    });
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    EXPECT_EQ(ColourNow().brightness, 50u);
}

TEST_F(CameraSettingsDialog, BritishEnglishSpellingOnlyOnTheEnglishTemplate) {
    WriteFileText(HomeFile("win.ini"), "[Intl]\nsLanguage=ENG\n");
    Act({[](HWND d) {
        EXPECT_EQ(Text(d, IDC_COLOUR_LABEL), "Colou&r");
        EXPECT_EQ(Text(d, IDC_OPTIMIZE_CONFERENCE), "Optimise for &Video Conference");
        EXPECT_EQ(Text(d, IDC_OPTIMIZE_PREVIEW), "Optimise for Video &Preview");
        PosixClick(d, IDOK);
    }});
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    EXPECT_TRUE(AllStepsRan());
}

TEST_F(CameraSettingsDialog, ABritishUserOfAnotherLanguageKeepsItsTexts) {
    WriteFileText(HomeFile("win.ini"), "[Intl]\nsLanguage=eng\n");
    Close(channel);
    WriteRegDword("Language", 1);
    channel = Open(VIDEO_EXTERNALIN);
    std::string colour;
    Act({[&colour](HWND d) {
        colour = Text(d, IDC_COLOUR_LABEL);
        PosixClick(d, IDOK);
    }});
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    EXPECT_EQ(colour, "Couleu&r");
}
