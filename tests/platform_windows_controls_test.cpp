// The standard controls as a dialog sees them: edits and their EN_CHANGE,
// auto radio groups, check boxes, scroll bars, list boxes, window words,
// painting records and the text picture.
#include "windows_support.h"

namespace testwin {
namespace {

class Controls : public OpenDialogTest {
protected:
    int Count(const std::string& entry) const {
        int n = 0;
        for (const std::string& e : Log()) n += e == entry;
        return n;
    }
};

const std::string kChange = Entry("command", 320, EN_CHANGE);

TEST_F(Controls, EveryTextWrittenIntoAnEditReachesTheParentAsAChange) {
    EXPECT_TRUE(SetDlgItemInt(dialog, 320, static_cast<UINT>(-5), TRUE));
    EXPECT_EQ(Count(kChange), 1);
    SetDlgItemInt(dialog, 320, static_cast<UINT>(-5), TRUE);
    EXPECT_EQ(Count(kChange), 2) << "the same text again still notifies";
    char text[16];
    GetDlgItemTextA(dialog, 320, text, sizeof text);
    EXPECT_STREQ(text, "-5");
    SetDlgItemInt(dialog, 320, 4000000000u, FALSE);
    GetDlgItemTextA(dialog, 320, text, sizeof text);
    EXPECT_STREQ(text, "4000000000");
}

// As Windows (and Wine) read the box: leading digits count and what
// follows them is ignored; a number too large for the result fails.
TEST_F(Controls, GetDlgItemIntReadsTheLeadingNumber) {
    struct Case {
        const char* text;
        BOOL isSigned;
        BOOL ok;
        UINT value;
    } cases[] = {
        {"  42 ", FALSE, TRUE, 42},
        {"12a", FALSE, TRUE, 12},
        {"0x10", FALSE, TRUE, 0},
        {"", FALSE, FALSE, 0},
        {"-5", TRUE, TRUE, static_cast<UINT>(-5)},
        {"-5", FALSE, TRUE, static_cast<UINT>(-5)},
        {"4294967295", FALSE, TRUE, 4294967295u},
        {"4294967296", FALSE, FALSE, 0},
        {"2147483648", TRUE, FALSE, 0},
        {"- 3", TRUE, FALSE, 0},
        {"x1", FALSE, FALSE, 0},
    };
    for (const Case& c : cases) {
        SetDlgItemTextA(dialog, 320, c.text);
        BOOL ok = 99;
        EXPECT_EQ(GetDlgItemInt(dialog, 320, &ok, c.isSigned), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    BOOL ok = 99;
    EXPECT_EQ(GetDlgItemInt(dialog, 4242, &ok, FALSE), 0u);
    EXPECT_FALSE(ok);
}

TEST_F(Controls, TypingChangesTheEditKeyByKeyUpToItsLimit) {
    SendDlgItemMessageA(dialog, 320, EM_LIMITTEXT, 3, 0);
    SetDlgItemTextA(dialog, 320, "12345");
    char text[16];
    GetDlgItemTextA(dialog, 320, text, sizeof text);
    EXPECT_STREQ(text, "12345") << "the limit governs typing only";
    Log().clear();
    EXPECT_EQ(PosixClearEdit(dialog, 320), 1);
    EXPECT_EQ(PosixType(dialog, 320, "1504"), 1);
    GetDlgItemTextA(dialog, 320, text, sizeof text);
    EXPECT_STREQ(text, "150");
    EXPECT_EQ(Count(kChange), 4) << "clear, then 1, 15, 150; the fourth key beeps";
    EXPECT_EQ(Count(Entry("command", 320, EN_MAXTEXT)), 1);
    PosixType(dialog, 320, "\b\b7");
    GetDlgItemTextA(dialog, 320, text, sizeof text);
    EXPECT_STREQ(text, "17");
    PosixReplaceText(dialog, 320, "9");
    GetDlgItemTextA(dialog, 320, text, sizeof text);
    EXPECT_STREQ(text, "9");
    EXPECT_EQ(PosixType(dialog, 310, "x"), 0) << "a check box is no edit";
}

TEST_F(Controls, AnAutoRadioClearsOnlyItsOwnGroupAndTellsTheParent) {
    CheckRadioButton(dialog, 300, 302, 300);
    CheckDlgButton(dialog, 303, BST_CHECKED);
    EXPECT_EQ(PosixClick(dialog, 302), 1);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 302), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 300), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 303), static_cast<UINT>(BST_CHECKED)) << "another group";
    EXPECT_EQ(Log().back(), Entry("command", 302, BN_CLICKED));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 302));
    PosixClick(dialog, 302);
    EXPECT_EQ(Count(Entry("command", 302, BN_CLICKED)), 2) << "a checked radio still reports its click";
    CheckRadioButton(dialog, 300, 302, 301);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 302), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 301), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(GetNextDlgGroupItem(dialog, GetDlgItem(dialog, 302), FALSE), GetDlgItem(dialog, -1));
}

TEST_F(Controls, ACheckBoxTogglesWhenClickedButADisabledOrHiddenOneIgnoresTheClick) {
    PosixClick(dialog, 310);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 310), static_cast<UINT>(BST_CHECKED));
    PosixClick(dialog, 310);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 310), static_cast<UINT>(BST_UNCHECKED));
    EnableWindow(GetDlgItem(dialog, 310), FALSE);
    Log().clear();
    EXPECT_EQ(PosixClick(dialog, 310), 0);
    EXPECT_EQ(IsDlgButtonChecked(dialog, 310), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_TRUE(Log().empty());
    EnableWindow(GetDlgItem(dialog, 310), TRUE);
    ShowWindow(GetDlgItem(dialog, 310), SW_HIDE);
    EXPECT_EQ(PosixClick(dialog, 310), 0);
    EnableWindow(dialog, FALSE);
    EXPECT_EQ(PosixClick(dialog, 300), 0) << "nothing in a disabled dialog can be clicked";
    EXPECT_EQ(PosixClick(dialog, -1), 0) << "a group box is no button";
}

TEST_F(Controls, AScrollBarReportsArrowsPagesAndThumbDragsToItsParent) {
    HWND bar = GetDlgItem(dialog, 330);
    EXPECT_EQ(GetWindowLongA(bar, GWL_ID), 330);
    EXPECT_TRUE(SetScrollRange(bar, SB_CTL, 1, 100, FALSE));
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 500, TRUE), 1) << "the position was clamped into the new range";
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 100);
    int low = 0, high = 0;
    GetScrollRange(bar, SB_CTL, &low, &high);
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 100);
    PosixScroll(dialog, 330, SB_LINEDOWN, 0);
    PosixScroll(dialog, 330, SB_PAGEUP, 0);
    PosixScroll(dialog, 330, SB_THUMBTRACK, 40);
    EXPECT_EQ(Log(),
              std::vector<std::string>({"hscroll 1 0 330", "hscroll 8 0 330", "hscroll 2 0 330", "hscroll 8 0 330",
                                        "hscroll 5 40 330", "hscroll 4 40 330", "hscroll 8 0 330"}));
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 100) << "the bar moves only when its owner says so";
    EXPECT_EQ(SendMessageA(bar, SBM_SETPOS, 0, TRUE), 100);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 1);
    // With the focus, its keys: arrows a line, Page Up and Down a page, Home
    // and End the ends; other keys nothing.
    SetFocus(bar);
    Log().clear();
    for (int key : {VK_RIGHT, VK_LEFT, VK_DOWN, VK_UP, VK_NEXT, VK_PRIOR, VK_HOME, VK_END, int('A')})
        PosixPressKey(key);
    PosixRunMessages();
    EXPECT_EQ(Log(),
              std::vector<std::string>({"hscroll 1 0 330", "hscroll 0 0 330", "hscroll 1 0 330", "hscroll 0 0 330",
                                        "hscroll 3 0 330", "hscroll 2 0 330", "hscroll 6 0 330", "hscroll 7 0 330"}));
}

TEST_F(Controls, AListBoxKeepsItsItemsSelectionAndTopLine) {
    HWND list = GetDlgItem(dialog, 340);
    for (int i = 0; i < 12; ++i) {
        char line[16];
        snprintf(line, sizeof line, "line %d", i);
        EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line)), i);
    }
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, 11, 0), 11);
    EXPECT_GT(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 0) << "the selection is scrolled into view";
    EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 0, 0), 11);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 10) << "the selection follows its item";
    char text[32];
    EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, 0, 0), 6);
    EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text)), 6);
    EXPECT_STREQ(text, "line 1");
    EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 11, reinterpret_cast<LPARAM>(text)), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_DELETESTRING, 99, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageA(list, LB_SETTOPINDEX, 0, 0), LB_OKAY);
    EXPECT_EQ(PosixChooseItem(dialog, 340, 3), 1);
    EXPECT_EQ(Log().back(), Entry("command", 340, LBN_SELCHANGE));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 3);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(PosixChooseItem(dialog, 340, 0), 0);
}

TEST_F(Controls, DialogWordsAndExtraWordsKeepWhatIsStoredAndRefuseOtherIndexes) {
    int value = 0;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&value));
    EXPECT_EQ(GetWindowLongPtrA(dialog, DWLP_USER), reinterpret_cast<LONG_PTR>(&value));
    EXPECT_NE(GetWindowLongPtrA(dialog, DWLP_DLGPROC), 0);
    HWND edit = GetDlgItem(dialog, 320);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrA(edit, 0), 0) << "an edit has no extra words";
    EXPECT_EQ(GetLastError(), 1413u);
    EXPECT_EQ(GetWindowLongA(edit, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL),
              static_cast<LONG>(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL));
    EXPECT_EQ(GetWindowLongA(GetDlgItem(dialog, 301), GWL_STYLE) & WS_TABSTOP, 0);
    EXPECT_EQ(GetParent(edit), dialog);
    EXPECT_EQ(GetDlgCtrlID(edit), 320);
}

TEST_F(Controls, DialogUnitsBecomePixelsWithTheFixedBaseUnits) {
    RECT r = {4, 8, 200, 150};
    EXPECT_TRUE(MapDialogRect(dialog, &r));
    EXPECT_EQ(r.left, 6);
    EXPECT_EQ(r.top, 13);
    EXPECT_EQ(r.right, 300);
    EXPECT_EQ(r.bottom, 244);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 244);
    RECT window;
    GetWindowRect(dialog, &window);
    EXPECT_EQ(window.right - window.left, 300 + 2 * 3);
    EXPECT_EQ(window.bottom - window.top, 244 + 2 * 3 + 18);
    RECT button;
    GetWindowRect(GetDlgItem(dialog, IDOK), &button);
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);
    EXPECT_EQ(button.left - origin.x, 15);
    EXPECT_EQ(button.top - origin.y, 195);
    EXPECT_TRUE(SetWindowPos(dialog, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    GetWindowRect(dialog, &window);
    EXPECT_EQ(window.left, 40);
    EXPECT_EQ(window.top, 50);
    EXPECT_EQ(window.right - window.left, 306);
}

LRESULT CALLBACK PaintingProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r = {1, 2, 30, 40};
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(window, &ps);
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

TEST_F(Controls, DrawingIsRecordedPerWindowAndBrushesAndDCsAreAccountedFor) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = PaintingProc;
    wc.lpszClassName = "painttest";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    ASSERT_NE(RegisterClassA(&wc), 0);
    EXPECT_EQ(RegisterClassA(&wc), 0) << "a class name is registered once";
    HWND child = CreateWindowExA(0, "painttest", "", WS_CHILD | WS_VISIBLE, 0, 0, 60, 60, dialog,
                                 reinterpret_cast<HMENU>(900), nullptr, nullptr);
    int objects = PosixLiveGdiObjects();
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    EXPECT_EQ(PosixLiveGdiObjects(), objects + 1);
    HDC dc = GetDC(child);
    RECT r = {5, 5, 10, 10};
    FillRect(dc, &r, red);
    ReleaseDC(child, dc);
    EXPECT_EQ(PosixLiveDCs(), 0);
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_EQ(PosixLiveGdiObjects(), objects);
    InvalidateRect(child, nullptr, TRUE);
    UpdateWindow(child);
    ASSERT_EQ(PosixDrawCount(child), 2) << "the erase covers the fill drawn before";
    PosixDrawCall call;
    PosixGetDrawCall(child, 0, &call);
    EXPECT_EQ(call.op, 'F');
    EXPECT_EQ(call.color, RGB(192, 192, 192));
    PosixGetDrawCall(child, 1, &call);
    EXPECT_EQ(call.op, 'R');
    EXPECT_EQ(call.rect.bottom, 40);
    EXPECT_EQ(call.color, RGB(0, 0, 0));
    EXPECT_NE(std::string(PosixDescribeWindow(dialog)).find("drawn: F(0,0,60,60 #C0C0C0) R(1,2,30,40 #000000)"),
              std::string::npos);
    DestroyWindow(child);
    EXPECT_TRUE(UnregisterClassA("painttest", nullptr));
}

TEST_F(Controls, AClassBelongsToTheModuleThatRegisteredItUnlessItIsGlobal) {
    HINSTANCE one = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E600000));
    HINSTANCE two = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E610000));
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "moduletest";
    wc.hInstance = one;
    ASSERT_NE(RegisterClassA(&wc), 0);
    EXPECT_EQ(RegisterClassA(&wc), 0);
    WNDCLASSA found;
    EXPECT_TRUE(GetClassInfoA(one, "MODULETEST", &found));
    EXPECT_FALSE(GetClassInfoA(two, "moduletest", &found));
    EXPECT_TRUE(GetClassInfoA(nullptr, "moduletest", &found)) << "no module given finds any module's class";
    EXPECT_TRUE(GetClassInfoA(two, "Button", &found)) << "system classes belong to every module";
    wc.hInstance = two;
    EXPECT_NE(RegisterClassA(&wc), 0) << "another module may use the same name";
    EXPECT_EQ(CreateWindowExA(0, "moduletest", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr,
                              reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E620000)), nullptr),
              nullptr);
    EXPECT_TRUE(UnregisterClassA("moduletest", one));
    EXPECT_TRUE(UnregisterClassA("moduletest", two));
    wc.style = CS_GLOBALCLASS;
    ASSERT_NE(RegisterClassA(&wc), 0);
    EXPECT_TRUE(GetClassInfoA(one, "moduletest", &found));
    EXPECT_TRUE(UnregisterClassA("moduletest", two));
}

TEST_F(Controls, TheTextPictureShowsEveryControlWithItsState) {
    CheckRadioButton(dialog, 300, 302, 301);
    EnableWindow(GetDlgItem(dialog, 310), FALSE);
    std::string text = PosixDescribeWindow(dialog);
    EXPECT_EQ(text.rfind("dialog \"Test Dialog\"", 0), 0u) << text;
    EXPECT_NE(text.find("radio 301 \"Medium\" at 15,44 60x16 [x]"), std::string::npos) << text;
    EXPECT_NE(text.find("radio 300 \"Small\" at 15,24 60x16 [ ]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("checkbox 310 \"Backlit\""), std::string::npos);
    EXPECT_NE(text.find("disabled"), std::string::npos);
    EXPECT_NE(text.find("static 350 \"Caf\xC3\xA9\""), std::string::npos) << "Windows-1252 shown as UTF-8";
    EXPECT_NE(text.find("scrollbar 330"), std::string::npos);
}

}  // namespace
}  // namespace testwin
