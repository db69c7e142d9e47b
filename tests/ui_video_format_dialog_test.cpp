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

TEST_F(VideoFormatDialog, ASizeTheCameraCannotDeliverIsAmendedForASecondOk) {
    Show(channel, {
                      [](HWND d) {
                          EXPECT_TRUE(Checked(d, IDC_SIZE_176X144));
                          PosixReplaceText(d, IDC_CUSTOM_WIDTH, "350");
                          PosixReplaceText(d, IDC_CUSTOM_HEIGHT, "250");
                          PosixClick(d, IDOK);
                      },
                      [](HWND d) {
                          ASSERT_EQ(PosixMessageBoxCount(), 1);
                          EXPECT_STREQ(PosixMessageBoxText(0),
                                       "Invalid image size\nSize will be amended to nearest valid size");
                          EXPECT_STREQ(PosixMessageBoxCaption(0), "mbkzelt");
                          EXPECT_EQ(PosixMessageBoxType(0) & MB_ICONEXCLAMATION, (UINT)MB_ICONEXCLAMATION);
                          EXPECT_EQ(Number(d, IDC_CUSTOM_WIDTH), 352u);
                          EXPECT_EQ(Number(d, IDC_CUSTOM_HEIGHT), 252u);
                          EXPECT_EQ(FormatNow().biWidth, 176);  // not applied yet
                          PosixClick(d, IDOK);
                      },
                  });
    EXPECT_EQ(Shape(FormatNow()), (std::vector<DWORD>{BI_RGB, 24, 352, 252}));
    EXPECT_EQ(FormatNow().biSizeImage, 352u * 252u * 3u);
}

TEST_F(VideoFormatDialog, AnEmptyWidthIsAmendedNotApplied) {
    Show(channel, {
                      [](HWND d) {
                          PosixClearEdit(d, IDC_CUSTOM_WIDTH);
                          PosixClick(d, IDOK);
                      },
                      [](HWND d) {
                          EXPECT_EQ(Number(d, IDC_CUSTOM_WIDTH), 8u);
                          PosixClick(d, IDCANCEL);
                      },
                  });
    EXPECT_EQ(FormatNow().biWidth, 176);
}

TEST_F(VideoFormatDialog, AQueryShowsNothingAndTheSecondOpeningIsWhereCancelLeftIt) {
    EXPECT_EQ(Send(channel, DVM_DIALOG, 0, VIDEO_DLG_QUERY), (LRESULT)DV_ERR_OK);
    RECT first = {0, 0, 0, 0}, second = {0, 0, 0, 0};
    Show(channel, {[&first](HWND d) {
             SetWindowPos(d, NULL, 300, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
             GetWindowRect(d, &first);
             PosixClick(d, IDCANCEL);
         }});
    Show(channel, {[&second](HWND d) {
             GetWindowRect(d, &second);
             PosixClick(d, IDOK);
         }});
    EXPECT_TRUE(EqualRect(&first, &second));
}
