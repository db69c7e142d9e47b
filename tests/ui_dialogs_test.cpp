// The driver's dialogs as a user meets them, opened through DriverProc.
// Camera Settings: sliders and number boxes reach the camera at once, the
// compression mode keeps a level for each mode, Cancel puts back what was
// there. Video Format: depth and size choices, nothing applied before OK.
// Driver Settings through DRV_CONFIGURE, and each language's dialogs as the
// registry selects them.
#include "ui_dialog_support.h"

namespace {

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

class VideoFormatDialog : public DialogUser {
protected:
    void SetUp() override {
        DialogUser::SetUp();
        OpenChannel(VIDEO_IN);
    }
    // Compression, depth, width and height.
    static std::vector<DWORD> Shape(const BITMAPINFOHEADER& f) {
        return {f.biCompression, f.biBitCount, (DWORD)f.biWidth, (DWORD)f.biHeight};
    }
};

TEST_F(VideoFormatDialog, ASmallerDepthGivesUpTheLargeSizesAndCancelAppliesNothing) {
    UseFormat(24, BI_RGB, 640, 480);
    Show(channel, {[](HWND d) {
             EXPECT_TRUE(Checked(d, IDC_SIZE_640X480));
             EXPECT_TRUE(Enabled(d, IDC_SIZE_704X576));
             PosixClick(d, IDC_DEPTH_RGB16);
             EXPECT_TRUE(Checked(d, IDC_SIZE_352X288));
             EXPECT_FALSE(Checked(d, IDC_SIZE_640X480));
             EXPECT_EQ(Number(d, IDC_CUSTOM_WIDTH), 352u);
             EXPECT_EQ(Number(d, IDC_CUSTOM_HEIGHT), 288u);
             EXPECT_FALSE(Enabled(d, IDC_SIZE_640X480));
             EXPECT_FALSE(Enabled(d, IDC_VGA_LABEL));
             EXPECT_FALSE(Enabled(d, IDC_4CIF_LABEL));
             EXPECT_TRUE(Enabled(d, IDC_SIZE_160X120));
             PosixClick(d, IDCANCEL);
         }});
    EXPECT_EQ(Shape(FormatNow()), (std::vector<DWORD>{BI_RGB, 24, 640, 480}));
}

// The depth shown is the format's; a compression of no depth choice shows
// none, keeps its code and offers only the small sizes.
TEST_F(VideoFormatDialog, TheFormatsDepthIsCheckedAndAnUnknownCompressionKeepsItsCode) {
    struct Row {
        WORD bits;
        DWORD compression;
        std::vector<bool> checked;  // 24, 16, 8 bit RGB
    };
    const Row rows[] = {{24, BI_RGB, {true, false, false}},
                        {16, BI_RGB, {false, true, false}},
                        {8, BI_RGB, {false, false, true}},
                        {16, FOURCC_YUY2, {false, false, false}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bits);
        UseFormat(row.bits, row.compression, 176, 144);
        Show(channel, {[&row](HWND d) {
                 EXPECT_EQ(std::vector<bool>(
                               {Checked(d, IDC_DEPTH_RGB24), Checked(d, IDC_DEPTH_RGB16), Checked(d, IDC_DEPTH_RGB8)}),
                           row.checked);
                 EXPECT_EQ(Enabled(d, IDC_SIZE_704X576), row.compression == BI_RGB && row.bits == 24);
                 PosixClick(d, IDC_SIZE_320X240);
                 PosixClick(d, IDOK);
             }});
        EXPECT_EQ(Shape(FormatNow()), (std::vector<DWORD>{row.compression, row.bits, 320, 240}));
    }
}

class DriverSettingsDialog : public DialogUser {
protected:
    struct Shown {
        std::vector<std::string> texts;  // caption, version, build date, port, firmware, language
        std::string sensor;
        bool detailsVisible, waitVisible;
    };
    // DRV_CONFIGURE from a configuration-only open, as a control panel sends
    // it: reads the box once its details are in, then presses OK.
    Shown ReadBox() {
        Shown shown;
        Act({[&shown](HWND d) {
            shown = {{Text(d), Text(d, IDC_VERSION), Text(d, IDC_BUILD_DATE), Text(d, IDC_PORT), Text(d, IDC_FIRMWARE),
                      Text(d, IDC_LANGUAGE)},
                     Text(d, IDC_SENSOR),
                     IsWindowVisible(GetDlgItem(d, IDC_FIRMWARE_LABEL)) != FALSE,
                     IsWindowVisible(GetDlgItem(d, IDC_RETRIEVING)) != FALSE};
            PosixClick(d, IDOK);
        }});
        EXPECT_EQ(Send(0, DRV_OPEN, 0, 0), 1);
        EXPECT_EQ(Send(1, DRV_CONFIGURE, 0, 0), 1);
        Send(1, DRV_CLOSE);
        EXPECT_TRUE(AllStepsRan());
        return shown;
    }
};

// The camera dialog (caption and Cancel), Advanced opened from it and Video
// Format, in the language the registry's number selects.
TEST_F(DriverSettingsDialog, EveryDialogOpensInTheRegistrysLanguage) {
    struct Row {
        DWORD number;
        std::vector<std::string> shown;
    };
    // clang-format off
    const Row rows[] = {
        {0, {"Camera Settings", "&Cancel", "Advanced Camera Settings", "Video Format"}},
        {1, {"Param\xE8tres cam\xE9ra", "&Annuler", "Param\xE8tres avanc\xE9s cam\xE9ra", "Format vid\xE9o"}},
        {2, {"Settaggi della camera", "&Cancellare", "Settaggi camera avanzati", "Formato video"}},
        {3, {"Kameraeinstellungen", "&L\xF6schen", "Erweiterte Kameraeinstellungen", "Videoformat"}},
        {4, {"Ajustes de la c\xE1mara", "&Cancelar", "Ajustes avanzados de la c\xE1mara", "Formato de v\xED" "deo"}},
        {5, {"Configura\xE7\xF5" "es da C\xE2mera", "&Cancelar", "Configura\xE7\xF5" "es Avan\xE7" "adas da C\xE2mera", "Formato de v\xED" "deo"}},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.number);
        WriteRegDword("Language", row.number);
        DWORD_PTR externalIn = Open(VIDEO_EXTERNALIN), videoIn = Open(VIDEO_IN);
        ASSERT_GT(externalIn, 1u);
        ASSERT_GT(videoIn, 1u);
        std::vector<std::string> shown;
        Show(externalIn, {[&](HWND d) {
                              shown = {Text(d), Text(d, IDCANCEL)};
                              PosixClick(d, IDC_ADVANCED);
                          },
                          [&](HWND d) {
                              shown.push_back(Text(d));
                              PosixClick(d, IDOK);
                          },
                          [](HWND d) { PosixClick(d, IDOK); }});
        Show(videoIn, {[&](HWND d) {
                 shown.push_back(Text(d));
                 PosixClick(d, IDOK);
             }});
        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(Close(externalIn), 1);
        EXPECT_EQ(Close(videoIn), 1);
    }
}

}  // namespace
