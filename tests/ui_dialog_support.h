// Scaffolding for tests that sit in front of the driver's dialogs as a user:
// a host with a camera on the simulated link, and a list of steps that run
// one by one inside whichever modal dialog is innermost.
#ifndef TARN2_TESTS_UI_DIALOG_SUPPORT_H
#define TARN2_TESTS_UI_DIALOG_SUPPORT_H

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "device/device.h"
#include "device/grabber.h"
#include "driver_support.h"
#include "platform/posix/posix_windows.h"
#include "sim/sim.h"
#include "ui/resources/resource.h"

class DialogUser : public DriverHost {
protected:
    typedef std::function<void(HWND)> Step;

    void SetUp() override {
        DriverHost::SetUp();
        PosixClearMessageBoxes();
    }
    void TearDown() override {
        PosixSetDialogHook(nullptr, nullptr);
        DriverHost::TearDown();
        PosixResetWindows();
    }

    // Steps run in order, one each time the innermost modal loop is idle.
    // A test ends its dialog itself (OK or Cancel); when the steps run out
    // the window system presses Escape.
    void Act(std::vector<Step> list) {
        steps = std::move(list);
        next = 0;
        PosixSetDialogHook(&DialogUser::RunStep, this);
    }
    static int RunStep(HWND dialog, void* context) {
        DialogUser* user = static_cast<DialogUser*>(context);
        if (user->next >= user->steps.size()) return 0;
        user->steps[user->next++](dialog);
        return 1;
    }
    bool AllStepsRan() const { return next == steps.size(); }

    void OpenChannel(DWORD kind) {
        channel = Open(kind);
        ASSERT_GT(channel, 1u);
    }
    // DVM_DIALOG on a channel, as the host sends it.
    LRESULT ShowDialog(DWORD_PTR channel) { return Send(channel, DVM_DIALOG, 0, 0); }
    // The dialog of the channel with the steps acting in it: it answers
    // DV_ERR_OK once every step ran.
    void Show(DWORD_PTR channel, std::vector<Step> list) {
        Act(std::move(list));
        EXPECT_EQ(ShowDialog(channel), (LRESULT)DV_ERR_OK);
        EXPECT_TRUE(AllStepsRan());
    }

    static std::string Text(HWND window) {
        char text[256] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
    static std::string Text(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }
    static bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
    static UINT Number(HWND dialog, int id) { return GetDlgItemInt(dialog, id, nullptr, FALSE); }
    static int Position(HWND dialog, int id) { return GetScrollPos(GetDlgItem(dialog, id), SB_CTL); }

    // The device's settings, each read whole so that one check compares all.
    struct Colour {
        DWORD brightness = 0, contrast = 0, colour = 0;
        bool operator==(const Colour& o) const {
            return brightness == o.brightness && contrast == o.contrast && colour == o.colour;
        }
        friend std::ostream& operator<<(std::ostream& out, const Colour& c) {
            return out << c.brightness << "/" << c.contrast << "/" << c.colour;
        }
    };
    static Colour ColourNow() {
        Colour c;
        GetColourParams(&c.brightness, &c.contrast, &c.colour);
        return c;
    }
    // The frame-rate step and whether it is automatic.
    static std::vector<DWORD> FrameRateNow() {
        DWORD step = 0, automatic = 0;
        GetFrameRate(&step, &automatic, nullptr);
        return {step, automatic};
    }
    static void UseFormat(WORD bitCount, DWORD compression, LONG width, LONG height) {
        BITMAPINFOHEADER format;
        InitBitmapHeader(&format);
        SetBitmapFormat(&format, bitCount, compression);
        SetBitmapSize(&format, width, height);
        ASSERT_TRUE(SetImageFormat(&format));
    }
    static BITMAPINFOHEADER FormatNow() {
        BITMAPINFOHEADER format;
        memset(&format, 0, sizeof format);
        GetImageFormat(&format);
        return format;
    }

    std::vector<Step> steps;
    size_t next = 0;
    DWORD_PTR channel = 0;
};

#endif
