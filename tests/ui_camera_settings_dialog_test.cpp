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

TEST_F(CameraSettingsDialog, EveryKeystrokeCountsAndOnlyNumbersInRangeReachTheSlider) {
    Show(channel, {[](HWND d) {
             PosixType(d, IDC_BRIGHTNESS_EDIT, "0");  // 500: out of range
             EXPECT_EQ(Text(d, IDC_BRIGHTNESS_EDIT), "500");
             EXPECT_EQ(Position(d, IDC_BRIGHTNESS_BAR), 50);
             EXPECT_EQ(ColourNow().brightness, 50u);
             PosixClearEdit(d, IDC_BRIGHTNESS_EDIT);
             // Each keystroke that leaves a number in range applies it.
             for (auto typed : {std::make_pair("1", 1u), std::make_pair("5", 15u), std::make_pair("0", 15u)}) {
                 PosixType(d, IDC_BRIGHTNESS_EDIT, typed.first);
                 EXPECT_EQ(ColourNow().brightness, typed.second) << typed.first;
             }
             EXPECT_EQ(Position(d, IDC_BRIGHTNESS_BAR), 15);
             PosixReplaceText(d, IDC_CONTRAST_EDIT, "x");
             EXPECT_EQ(ColourNow().contrast, 50u);
             PosixClick(d, IDOK);
         }});
    EXPECT_EQ(ColourNow().brightness, 15u);  // OK keeps what was applied
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

TEST_F(CameraSettingsDialog, CancelLeavesTheCameraInAutomaticCompression) {
    ASSERT_TRUE(SetCompressionSettings(2, 1, 20, 80, 60));
    Show(channel, {[](HWND d) { PosixClick(d, IDCANCEL); }});
    EXPECT_EQ(CompressionNow(), (Compression{1, 1, 20, 80, 60}));
}

TEST_F(CameraSettingsDialog, ResetDefaultsTakesEveryValueBackToFifty) {
    ASSERT_EQ(SetColourParams(10, 20, 30), 0);
    ASSERT_TRUE(SetCompressionSettings(1, 1, 90, 5, 50));
    Show(channel, {
                      [](HWND d) { PosixClick(d, IDC_RESET_DEFAULTS); },
                      [](HWND d) {
                          EXPECT_EQ(ColourNow(), (Colour{50, 50, 50}));
                          EXPECT_EQ(CompressionNow(), (Compression{1, 0, 50, 50, 50}));
                          EXPECT_TRUE(Checked(d, IDC_OPTIMIZE_PREVIEW));
                          EXPECT_FALSE(Checked(d, IDC_OPTIMIZE_CONFERENCE));
                          EXPECT_EQ(Position(d, IDC_COMPRESSION_BAR), 50);
                          PosixClick(d, IDOK);
                      },
                  });
    EXPECT_EQ(ColourNow().brightness, 50u);
}

// A British user (in either spelling of its code) sees British spelling on
// the English template only.
TEST_F(CameraSettingsDialog, BritishSpellingOnlyOnTheEnglishTemplate) {
    struct Row {
        const char* code;
        DWORD language;
        std::vector<std::string> texts;  // colour label, conference, preview
    };
    // clang-format off
    const Row rows[] = {
        {"ENG", 0, {"Colou&r", "Optimise for &Video Conference", "Optimise for Video &Preview"}},
        {"eng", 1, {"Couleu&r", "Optimiser pour visio &conf\xE9rence", "Optimiser pour &vue vid\xE9o"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        WriteFileText(HomeFile("win.ini"), std::string("[Intl]\nsLanguage=") + row.code + "\n");
        Close(channel);
        WriteRegDword("Language", row.language);
        channel = Open(VIDEO_EXTERNALIN);
        std::vector<std::string> texts;
        Show(channel, {[&texts](HWND d) {
                 texts = {Text(d, IDC_COLOUR_LABEL), Text(d, IDC_OPTIMIZE_CONFERENCE), Text(d, IDC_OPTIMIZE_PREVIEW)};
                 PosixClick(d, IDOK);
             }});
        EXPECT_EQ(texts, row.texts);
    }
}
