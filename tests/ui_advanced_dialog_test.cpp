// The Advanced Camera Settings dialog, reached as a user reaches it: from
// Camera Settings' "Advanced..." button. Lighting, banding, mains, backlight,
// and the pan rectangle dragged with the mouse.
#include "ui/czoom.h"
#include "ui_dialog_support.h"

class AdvancedDialog : public DialogUser {
protected:
    void OpenCamera(const char* scenario = nullptr) {
        if (scenario) {
            ASSERT_EQ(SimSetScenario(scenario), 1) << PosixLastProblem();
        }
        OpenChannel(VIDEO_EXTERNALIN);
    }
    // Opens Advanced from Camera Settings, runs the steps in it, and closes
    // Camera Settings with OK afterwards.
    void InAdvanced(std::vector<Step> inner) {
        inner.insert(inner.begin(), [](HWND d) { PosixClick(d, IDC_ADVANCED); });
        inner.push_back([](HWND d) { PosixClick(d, IDOK); });
        Show(channel, inner);
    }
    // The point of the pan control at the given offset from the centre of
    // the rectangle's starting place.
    static void Mouse(HWND d, void (*press)(HWND, int, int), int dx, int dy) {
        HWND zoom = GetDlgItem(d, IDC_PAN_TILT);
        RECT client;
        GetClientRect(zoom, &client);
        press(zoom, (client.right - ZOOM_FRAME_WIDTH) / 2 + dx, (client.bottom - ZOOM_FRAME_HEIGHT) / 2 + dy);
    }
    typedef std::vector<DWORD> Rate;  // step, automatic
};

TEST_F(AdvancedDialog, AutomaticAloneStaysOnCancelButALightingChoiceIsUndone) {
    OpenCamera();
    ASSERT_TRUE(SetFrameRate(3, 1));
    InAdvanced({
        [](HWND d) {
            EXPECT_EQ(Text(d), "Advanced Camera Settings");
            // Opening moves no focus, so no radio is pressed by it; the
            // procedure paints its own background.
            EXPECT_NE(GetFocus(), GetNextDlgTabItem(d, nullptr, FALSE));
            HDC dc = GetDC(d);
            EXPECT_EQ(SendMessageA(d, WM_ERASEBKGND, (WPARAM)dc, 0), 0);
            ReleaseDC(d, dc);
            EXPECT_TRUE(Checked(d, IDC_LIGHTING_MEDIUM));
            EXPECT_FALSE(Enabled(d, IDC_LIGHTING_NORMAL));
            PosixClick(d, IDC_LIGHTING_AUTOMATIC);
            EXPECT_TRUE(Enabled(d, IDC_LIGHTING_NORMAL));
            EXPECT_EQ(FrameRateNow(), (Rate{3, 0}));
            PosixClick(d, IDCANCEL);
        },
    });
    EXPECT_EQ(FrameRateNow(), (Rate{3, 0}));  // the automatic switch is not a lighting change
    InAdvanced({
        [](HWND d) {
            PosixClick(d, IDC_LIGHTING_NORMAL);
            EXPECT_EQ(FrameRateNow(), (Rate{1, 0}));
            EXPECT_TRUE(Enabled(d, IDC_LIGHTING_LOW));
            EXPECT_EQ(GetFocus(), GetDlgItem(d, IDC_LIGHTING_NORMAL));
            EXPECT_STRNE(PosixCursorName(), "wait");
            PosixClick(d, IDCANCEL);
        },
    });
    EXPECT_EQ(FrameRateNow(), (Rate{3, 0}));
}

// Old firmware turns the banding filter off for Low and back after it
// (Cancel brings back the step and, with it, the filter); new firmware
// keeps it.
TEST_F(AdvancedDialog, OnlyOldFirmwareGivesUpTheBandingFilterForLow) {
    OpenCamera("firmware 1.6\n");
    ASSERT_TRUE(SetFrameRate(1, 0));
    ASSERT_TRUE(SetBanding(1));
    InAdvanced({
        [](HWND d) {
            PosixClick(d, IDC_LIGHTING_LOW);
            EXPECT_EQ(GetBanding(), 0u);
            EXPECT_FALSE(Enabled(d, IDC_BANDING_ENABLED));
            EXPECT_FALSE(Enabled(d, IDC_FILTER_50HZ));
            PosixClick(d, IDC_LIGHTING_NORMAL);
            EXPECT_EQ(GetBanding(), 1u);
            EXPECT_TRUE(Enabled(d, IDC_BANDING_ENABLED));
            EXPECT_TRUE(Enabled(d, IDC_FILTER_60HZ));
            PosixClick(d, IDC_LIGHTING_LOW);
            PosixClick(d, IDCANCEL);
        },
    });
    EXPECT_EQ(FrameRateNow(), (Rate{1, 0}));
    EXPECT_EQ(GetBanding(), 1u);

    Close(channel);
    OpenCamera("firmware 2.0\n");
    InAdvanced({
        [](HWND d) {
            PosixClick(d, IDC_LIGHTING_LOW);
            EXPECT_EQ(GetBanding(), 1u);
            EXPECT_TRUE(Enabled(d, IDC_BANDING_ENABLED));
            PosixClick(d, IDOK);
        },
    });
    EXPECT_EQ(FrameRateNow(), (Rate{5, 0}));
}

TEST_F(AdvancedDialog, MainsBacklightAndBandingAreUndoneOnlyWhenChanged) {
    OpenCamera();
    ASSERT_TRUE(SetBanding(0));
    ASSERT_TRUE(SetMainsFrequency(0));
    auto settings = [] {
        DWORD mains = 9;
        GetMainsFrequency(&mains);
        return std::vector<DWORD>{mains, GetBanding(), GetBacklight()};
    };
    InAdvanced({
        [&settings](HWND d) {
            EXPECT_FALSE(Enabled(d, IDC_FILTER_60HZ));  // only with the filter on
            EXPECT_EQ(PosixClick(d, IDC_FILTER_60HZ), 0);
            PosixClick(d, IDC_BANDING_ENABLED);
            EXPECT_EQ(GetBanding(), 1u);
            PosixClick(d, IDC_FILTER_60HZ);
            PosixClick(d, IDC_BACKLIT);
            PosixClick(d, IDC_BACKLIT);  // twice: no change
            EXPECT_EQ(settings(), (std::vector<DWORD>{1, 1, 0}));
            PosixClick(d, IDCANCEL);
        },
    });
    EXPECT_EQ(settings(), (std::vector<DWORD>{0, 0, 0}));
}

TEST_F(AdvancedDialog, ADragPansTheWindowUncompressedAndCancelPutsItBack) {
    OpenCamera();
    ASSERT_TRUE(SetCompressionSettings(1, 0, 40, 60, 50));
    RECT opening, window;
    DWORD zoom = 9;
    ASSERT_TRUE(GetImageWindow(&opening, &zoom));
    ASSERT_EQ(zoom, 0u);
    InAdvanced({
        [&](HWND d) {
            EXPECT_FALSE(Enabled(d, IDC_PAN_TILT));
            PosixClick(d, IDC_ZOOM);
            EXPECT_TRUE(Enabled(d, IDC_PAN_TILT));
            GetImageWindow(&window, &zoom);
            EXPECT_EQ(zoom, 1u);
            EXPECT_EQ(window.left, 88);  // centred in the 352 x 288 sensor
            EXPECT_EQ(window.top, 72);
            Mouse(d, PosixMouseDown, 60, 50);
        },
        [](HWND d) {
            EXPECT_EQ(CompressionNow().mode, 0);  // uncompressed while dragging
            Mouse(d, PosixMouseMove, 50, 55);
        },
        [&](HWND d) {
            // 10 control pixels are 20 sensor pixels; the camera's window
            // keeps to units of 8 columns and 4 rows.
            LRESULT position = SendDlgItemMessageA(d, IDC_PAN_TILT, ZM_GETPOSITION, 0, 0);
            EXPECT_EQ(LOWORD(position), 68);
            EXPECT_EQ(HIWORD(position), 82);
            GetImageWindow(&window, nullptr);
            EXPECT_EQ(window.left, 64);
            EXPECT_EQ(window.top, 80);
            EXPECT_EQ(window.right - window.left, 176);
            PosixMouseUp(GetDlgItem(d, IDC_PAN_TILT), 0, 0);
        },
        [](HWND d) {
            EXPECT_EQ(CompressionNow(), (Compression{1, 0, 40, 60, 50}));
            PosixClick(d, IDCANCEL);
        },
    });
    GetImageWindow(&window, &zoom);
    EXPECT_EQ(zoom, 0u);
    EXPECT_TRUE(EqualRect(&window, &opening));
}

TEST_F(AdvancedDialog, ADragCutShortByTheDialogsEndStillGivesTheCompressionBack) {
    OpenCamera();
    ASSERT_TRUE(SetCompressionSettings(1, 1, 40, 60, 50));
    InAdvanced({
        [](HWND d) {
            PosixClick(d, IDC_ZOOM);
            Mouse(d, PosixMouseDown, ZOOM_FRAME_WIDTH / 2, ZOOM_FRAME_HEIGHT / 2);
        },
        [](HWND d) {
            EXPECT_EQ(CompressionNow().mode, 0);
            PosixPressKey(VK_RETURN);
        },
    });
    EXPECT_EQ(CompressionNow(), (Compression{1, 1, 40, 60, 50}));
}

// Above QCIF the pan window lies on the full sensor; switching the zoom off
// again, or cancelling it, must give the capture its own window back and
// keep the frames coming.
TEST_F(AdvancedDialog, LeavingPanAndTiltAboveQcifKeepsTheFramesComing) {
    OpenCamera();
    DWORD_PTR videoIn = Open(VIDEO_IN);
    ASSERT_GT(videoIn, 1u);
    BITMAPINFOHEADER format = HostFormat(320, 240, 24, 0, 0);
    ASSERT_EQ(Configure(videoIn, VIDEO_CONFIGURE_SET, &format), DV_ERR_OK);
    ASSERT_EQ(Frame(videoIn), DV_ERR_OK);
    struct Case {
        const char* name;
        std::vector<int> clicks;
    } cases[] = {
        {"on, off and OK", {IDC_ZOOM, IDC_ZOOM, IDOK}},
        {"on and Cancel", {IDC_ZOOM, IDCANCEL}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InAdvanced({[&](HWND d) {
            for (int id : c.clicks) PosixClick(d, id);
        }});
        EXPECT_EQ(Frame(videoIn), DV_ERR_OK);
        SimCamera camera;
        SimReadCamera(&camera);
        EXPECT_EQ(camera.videoSize, 1);
        EXPECT_EQ(std::vector<int>({camera.colStart8, camera.colEnd8, camera.rowStart4, camera.rowEnd4}),
                  std::vector<int>({2, 42, 6, 66}));
    }
}

// A window the camera refused holds only until the next format: the first
// window of this camera is refused (and sent again by the frames after).
TEST_F(AdvancedDialog, ANewFormatBringsThePictureBackAfterARefusedWindow) {
    OpenCamera("fault error 0xC0 9 cmd 0x04 1\n");
    DWORD_PTR videoIn = Open(VIDEO_IN);
    ASSERT_GT(videoIn, 1u);
    Frame(videoIn);
    BITMAPINFOHEADER format = HostFormat(320, 240, 24, 0, 0);
    ASSERT_EQ(Configure(videoIn, VIDEO_CONFIGURE_SET, &format), DV_ERR_OK);
    EXPECT_EQ(Frame(videoIn), DV_ERR_OK);
}
