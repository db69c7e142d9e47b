// The dialog manager: keys, destruction order, sizes, drawing, combo
// boxes.
#include "windows_support.h"

namespace testwin {
namespace {

class Dialogs : public OpenDialogTest {};

TEST_F(Dialogs, EnterPressesTheDefaultButtonUnlessItIsDisabledAndTabMovesToTheNextTabStop) {
    auto press = [&](HWND focus, int key) {
        SetFocus(focus);
        Log().clear();
        PosixPressKey(key);
        PosixRunMessages();
    };
    HWND edit = GetDlgItem(dialog, 320);
    press(edit, VK_RETURN);
    EXPECT_EQ(Log(), std::vector<std::string>({"command 1 0", Entry("command", 320, EN_KILLFOCUS)}))
        << "OK ends the dialog, which hides it and takes the focus away";
    ShowWindow(dialog, SW_SHOW);
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    press(edit, VK_RETURN);
    EXPECT_TRUE(Log().empty());
    press(GetDlgItem(dialog, 360), VK_RETURN);
    EXPECT_EQ(Log(), std::vector<std::string>({"command 360 0", "init", "command 2 0", "second 2 0"}))
        << "a focused push button takes Enter itself";
    press(GetDlgItem(dialog, 310), VK_TAB);
    EXPECT_EQ(GetFocus(), edit);
}

TEST_F(Dialogs, DestructionTellsTheParentBeforeItsChildrenAndTheChildrenAreGone) {
    static std::vector<std::string>* order;
    std::vector<std::string> seen;
    order = &seen;
    struct Watch {
        static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == WM_DESTROY) order->push_back("destroy " + std::to_string(GetDlgCtrlID(window)));
            if (msg == WM_NCDESTROY) order->push_back("ncdestroy " + std::to_string(GetDlgCtrlID(window)));
            return DefWindowProcA(window, msg, wParam, lParam);
        }
    };
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = Watch::Proc;
    wc.lpszClassName = "watchtest";
    RegisterClassA(&wc);
    HWND parent = CreateWindowExA(0, "watchtest", "", WS_CHILD, 0, 0, 50, 50, dialog, reinterpret_cast<HMENU>(1),
                                  nullptr, nullptr);
    HWND child =
        CreateWindowExA(0, "watchtest", "", WS_CHILD, 0, 0, 5, 5, parent, reinterpret_cast<HMENU>(2), nullptr, nullptr);
    ASSERT_TRUE(IsChild(dialog, child));
    DestroyWindow(parent);
    EXPECT_EQ(seen, std::vector<std::string>({"destroy 1", "destroy 2", "ncdestroy 2", "ncdestroy 1"}));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(DestroyWindow(child));
    EXPECT_FALSE(DestroyWindow(GetDesktopWindow()));
    order = nullptr;
}

TEST_F(Dialogs, ResizingSendsTheNewClientSizeAndCloseBecomesCancel) {
    static LPARAM lastSize;
    struct Sizes {
        static INT_PTR CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
            if (msg == WM_SIZE) lastSize = lParam;
            return LoggingProc(window, msg, wParam, lParam);
        }
    };
    HWND sized = CreateDialogParamA(kModule, MAKEINTRESOURCEA(201), nullptr, Sizes::Proc, 0);
    lastSize = 0;
    SetWindowPos(sized, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(LOWORD(lastSize), 200 - 6);
    EXPECT_EQ(HIWORD(lastSize), 100 - 6 - 18);
    lastSize = 0;
    MoveWindow(sized, 10, 10, 200, 100, TRUE);
    EXPECT_EQ(lastSize, 0) << "no size message when the size stays";
    Log().clear();
    SendMessageA(sized, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(sized));
    PosixRunMessages();
    EXPECT_EQ(Log(), std::vector<std::string>({"command 2 0"}));
    EXPECT_FALSE(IsWindowVisible(sized)) << "EndDialog hides a modeless dialog";
}

TEST_F(Dialogs, WindowAndMultimediaTimersFireInOneVirtualTimeline) {
    struct Tick {
        static void CALLBACK Proc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
            PostMessageA(reinterpret_cast<HWND>(user), WM_USER + 14, PosixClockNow(), 0);
        }
    };
    uint32_t start = PosixClockNow();
    SetTimer(dialog, 1, 100, nullptr);
    timeSetEvent(150, 1, Tick::Proc, reinterpret_cast<DWORD_PTR>(dialog), TIME_ONESHOT);
    PosixRunFor(250);
    KillTimer(dialog, 1);
    EXPECT_EQ(Log(), std::vector<std::string>({Entry("timer", 1, static_cast<long>(start + 100)),
                                               Entry("user", 14, static_cast<long>(start + 150)),
                                               Entry("timer", 1, static_cast<long>(start + 200))}));
    EXPECT_EQ(PosixClockNow() - start, 250u);
}

TEST_F(Dialogs, BrushesInUseCannotBeDeletedAndRectanglesUseTheSelectedBrush) {
    HWND edit = GetDlgItem(dialog, 320);
    HDC dc = GetDC(edit);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(dc, blue);
    EXPECT_NE(old, nullptr);
    EXPECT_FALSE(DeleteObject(blue)) << "still selected";
    EXPECT_TRUE(Rectangle(dc, 1, 2, 3, 4));
    SelectObject(dc, old);
    EXPECT_TRUE(DeleteObject(blue));
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH))) << "stock objects may be deleted, to no effect";
    EXPECT_NE(GetStockObject(BLACK_BRUSH), nullptr);
    RECT r = {0, 0, 1, 1};
    EXPECT_EQ(FillRect(dc, &r, blue), 0) << "a deleted brush paints nothing";
    ReleaseDC(edit, dc);
    PosixDrawCall call;
    ASSERT_TRUE(PosixGetDrawCall(edit, PosixDrawCount(edit) - 1, &call));
    EXPECT_EQ(call.op, 'B');
    EXPECT_EQ(call.color, RGB(0, 0, 255));
}

TEST_F(Dialogs, AComboBoxChoiceShowsTheItemAndTellsTheParent) {
    HWND combo = CreateWindowExA(0, "ComboBox", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, 0, 50, 80, dialog,
                                 reinterpret_cast<HMENU>(370), nullptr, nullptr);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("LPT1"));
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("LPT2"));
    EXPECT_EQ(PosixChooseItem(dialog, 370, 1), 1);
    EXPECT_EQ(Log().back(), Entry("command", 370, CBN_SELCHANGE));
    EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), 1);
    char text[16];
    GetWindowTextA(combo, text, sizeof text);
    EXPECT_STREQ(text, "LPT2");
    EXPECT_EQ(PosixChooseItem(dialog, 370, 2), 0);
}

}  // namespace
}  // namespace testwin
