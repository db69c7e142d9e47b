// The Video Format dialog: depth and size choices, the amended size shown for
// a second OK, and nothing applied before OK.
#include "ui_dialog_support.h"

class VideoFormatDialog : public DialogUser {
protected:
    void SetUp() override {
        DialogUser::SetUp();
        channel = Open(VIDEO_IN);
        ASSERT_GT(channel, 1u);
    }
    DWORD_PTR channel = 0;
};

TEST_F(VideoFormatDialog, ASmallerDepthGivesUpTheLargeSizesAndCancelAppliesNothing) {
    UseFormat(24, BI_RGB, 640, 480);
    Act({
        [](HWND d) {
            EXPECT_TRUE(Checked(d, IDC_DEPTH_RGB24));
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
        },
    });
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    BITMAPINFOHEADER after = FormatNow();
    EXPECT_EQ(after.biBitCount, 24);
    EXPECT_EQ(after.biWidth, 640);
    EXPECT_EQ(after.biHeight, 480);
}

TEST_F(VideoFormatDialog, ASizeTheCameraCannotDeliverIsAmendedForASecondOk) {
    Act({
        [](HWND d) {
            EXPECT_TRUE(Checked(d, IDC_SIZE_176X144));
            PosixReplaceText(d, IDC_CUSTOM_WIDTH, "350");
            PosixReplaceText(d, IDC_CUSTOM_HEIGHT, "250");
            PosixClick(d, IDOK);
        },
        [](HWND d) {
            ASSERT_EQ(PosixMessageBoxCount(), 1);
            EXPECT_STREQ(PosixMessageBoxText(0), "Invalid image size\nSize will be amended to nearest valid size");
            EXPECT_STREQ(PosixMessageBoxCaption(0), "mbkzelt");
            EXPECT_EQ(PosixMessageBoxType(0) & MB_ICONEXCLAMATION, (UINT)MB_ICONEXCLAMATION);
            EXPECT_EQ(Number(d, IDC_CUSTOM_WIDTH), 352u);
            EXPECT_EQ(Number(d, IDC_CUSTOM_HEIGHT), 252u);
            EXPECT_EQ(FormatNow().biWidth, 176);  // not applied yet
            PosixClick(d, IDOK);
        },
    });
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    EXPECT_TRUE(AllStepsRan());
    BITMAPINFOHEADER after = FormatNow();
    EXPECT_EQ(after.biWidth, 352);
    EXPECT_EQ(after.biHeight, 252);
    EXPECT_EQ(after.biSizeImage, 352u * 252u * 3u);
}

TEST_F(VideoFormatDialog, AnEmptyWidthIsAmendedNotApplied) {
    Act({
        [](HWND d) {
            PosixClearEdit(d, IDC_CUSTOM_WIDTH);
            PosixClick(d, IDOK);
        },
        [](HWND d) {
            EXPECT_EQ(Number(d, IDC_CUSTOM_WIDTH), 8u);
            PosixClick(d, IDCANCEL);
        },
    });
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    EXPECT_EQ(FormatNow().biWidth, 176);
}

TEST_F(VideoFormatDialog, AnUnknownCompressionKeepsItsCodeAndTheSmallSizes) {
    UseFormat(16, FOURCC_YUY2, 176, 144);
    Act({
        [](HWND d) {
            EXPECT_FALSE(Checked(d, IDC_DEPTH_RGB24));
            EXPECT_FALSE(Checked(d, IDC_DEPTH_RGB16));
            EXPECT_FALSE(Checked(d, IDC_DEPTH_RGB8));
            EXPECT_FALSE(Enabled(d, IDC_SIZE_704X576));
            PosixClick(d, IDC_SIZE_320X240);
            PosixClick(d, IDOK);
        },
    });
    EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
    BITMAPINFOHEADER after = FormatNow();
    EXPECT_EQ(after.biCompression, (DWORD)FOURCC_YUY2);
    EXPECT_EQ(after.biWidth, 320);
    EXPECT_EQ(after.biHeight, 240);
}

TEST_F(VideoFormatDialog, AQueryShowsNothingAndTheSecondOpeningIsWhereCancelLeftIt) {
    EXPECT_EQ(Send(channel, DVM_DIALOG, 0, VIDEO_DLG_QUERY), (LRESULT)DV_ERR_OK);
    RECT first = {0, 0, 0, 0};
    Act({[&first](HWND d) {
        SetWindowPos(d, NULL, 300, 120, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        GetWindowRect(d, &first);
        PosixClick(d, IDCANCEL);
    }});
    ShowDialog(channel);
    RECT second = {0, 0, 0, 0};
    Act({[&second](HWND d) {
        GetWindowRect(d, &second);
        PosixClick(d, IDOK);
    }});
    ShowDialog(channel);
    EXPECT_EQ(second.left, first.left);
    EXPECT_EQ(second.top, first.top);
}
