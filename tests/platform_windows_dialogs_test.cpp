// The dialog manager: keys, destruction order, sizes, drawing, combo boxes.
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
    EXPECT_EQ(Log(), Lines({"command 1 0", Entry("command", 320, EN_KILLFOCUS)}))
        << "OK ends the dialog, which hides it and takes the focus away";
    ShowWindow(dialog, SW_SHOW);
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    press(edit, VK_RETURN);
    EXPECT_TRUE(Log().empty());
    press(GetDlgItem(dialog, 360), VK_RETURN);
    EXPECT_EQ(Log(), Lines({"command 360 0", "init", "command 2 0", "second 2 0"}))
        << "a focused push button takes Enter itself";
    press(GetDlgItem(dialog, 310), VK_TAB);
    EXPECT_EQ(GetFocus(), edit);
}

Lines* destroyed = nullptr;

LRESULT CALLBACK WatchProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) destroyed->push_back("destroy " + std::to_string(GetDlgCtrlID(window)));
    if (msg == WM_NCDESTROY) destroyed->push_back("ncdestroy " + std::to_string(GetDlgCtrlID(window)));
    return DefWindowProcA(window, msg, wParam, lParam);
}

TEST_F(Dialogs, DestructionTellsTheParentBeforeItsChildrenAndTheChildrenAreGone) {
    Lines seen;
    destroyed = &seen;
    RegisterProc("watchtest", WatchProc);
    HWND parent = Child("watchtest", dialog, 1, 0, 0, 50, 50, WS_CHILD);
    HWND child = Child("watchtest", parent, 2, 0, 0, 5, 5, WS_CHILD);
    ASSERT_TRUE(IsChild(dialog, child));
    DestroyWindow(parent);
    EXPECT_EQ(seen, Lines({"destroy 1", "destroy 2", "ncdestroy 2", "ncdestroy 1"}));
    EXPECT_EQ((Results{IsWindow(child), DestroyWindow(child), DestroyWindow(GetDesktopWindow())}), (Results{0, 0, 0}));
    destroyed = nullptr;
}

LPARAM lastSize;

INT_PTR CALLBACK SizeProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) lastSize = lParam;
    return LoggingProc(window, msg, wParam, lParam);
}

TEST_F(Dialogs, ResizingSendsTheNewClientSizeAndCloseBecomesCancel) {
    HWND sized = CreateDialogParamA(kModule, MAKEINTRESOURCEA(201), nullptr, SizeProc, 0);
    lastSize = 0;
    SetWindowPos(sized, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(std::make_pair(LOWORD(lastSize), HIWORD(lastSize)), std::make_pair(WORD(200 - 6), WORD(100 - 6 - 18)));
    lastSize = 0;
    MoveWindow(sized, 10, 10, 200, 100, TRUE);
    Log().clear();
    SendMessageA(sized, WM_CLOSE, 0, 0);
    EXPECT_EQ((Results{lastSize /* none when the size stays */, IsWindow(sized)}), (Results{0, 1}));
    PosixRunMessages();
    EXPECT_EQ(Log(), Lines({"command 2 0"}));
    EXPECT_FALSE(IsWindowVisible(sized)) << "EndDialog hides a modeless dialog";
}

TEST_F(Dialogs, BrushesInUseCannotBeDeletedAndRectanglesUseTheSelectedBrush) {
    HWND edit = GetDlgItem(dialog, 320);
    HDC dc = GetDC(edit);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(dc, blue);
    RECT r = {0, 0, 1, 1};
    // Not while selected; stock objects may be deleted, to no effect; a deleted brush paints nothing.
    EXPECT_EQ((Results{old != nullptr, DeleteObject(blue), Rectangle(dc, 1, 2, 3, 4), SelectObject(dc, old) == blue,
                       DeleteObject(blue), DeleteObject(GetStockObject(BLACK_BRUSH)),
                       GetStockObject(BLACK_BRUSH) != nullptr, FillRect(dc, &r, blue)}),
              (Results{1, 0, 1, 1, 1, 1, 1, 0}));
    ReleaseDC(edit, dc);
    PosixDrawCall call;
    ASSERT_TRUE(PosixGetDrawCall(edit, PosixDrawCount(edit) - 1, &call));
    EXPECT_EQ(call.op, 'B');
    EXPECT_EQ(call.color, RGB(0, 0, 255));
}

TEST_F(Dialogs, AComboBoxChoiceShowsTheItemAndTellsTheParent) {
    HWND combo = Child("ComboBox", dialog, 370, 0, 0, 50, 80, WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("LPT1"));
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("LPT2"));
    EXPECT_EQ(PosixChooseItem(dialog, 370, 1), 1);
    EXPECT_EQ(Log().back(), Entry("command", 370, CBN_SELCHANGE));
    EXPECT_EQ(Text(combo), "LPT2");
    EXPECT_EQ((Results{SendMessageA(combo, CB_GETCURSEL, 0, 0), PosixChooseItem(dialog, 370, 2)}), (Results{1, 0}));
}

}  // namespace
}  // namespace testwin
