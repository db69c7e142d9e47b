// The Video Format dialog: depth and size choices, the amended size shown for
// a second OK, and nothing applied before OK.
#include "ui_dialog_support.h"

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
