// The standard controls as a dialog sees them, window words, classes, painting records and the text picture.
#include "windows_support.h"

namespace testwin {
namespace {

class Controls : public OpenDialogTest {
protected:
    // The states of the radios 300 to 303 and the check box 310, one digit each.
    std::string Checked() const {
        std::string states;
        for (int id : {300, 301, 302, 303, 310}) states += std::to_string(IsDlgButtonChecked(dialog, id));
        return states;
    }
};

const std::string kChange = Entry("command", 320, EN_CHANGE);

TEST_F(Controls, EveryTextWrittenIntoAnEditReachesTheParentAsAChange) {
    // The same text again still notifies.
    EXPECT_EQ((Results{SetDlgItemInt(dialog, 320, static_cast<UINT>(-5), TRUE), Count(kChange),
                       SetDlgItemInt(dialog, 320, static_cast<UINT>(-5), TRUE), Count(kChange)}),
              (Results{1, 1, 1, 2}));
    EXPECT_EQ(ItemText(dialog, 320), "-5");
    SetDlgItemInt(dialog, 320, 4000000000u, FALSE);
    EXPECT_EQ(ItemText(dialog, 320), "4000000000");
}

// As Windows reads the box: leading digits count, what follows is ignored;
// a number too large for the result fails.
TEST_F(Controls, GetDlgItemIntReadsTheLeadingNumber) {
    // clang-format off
    const struct { const char* text; BOOL isSigned, ok; UINT value; } cases[] = {
        {"  42 ", FALSE, TRUE, 42}, {"12a", FALSE, TRUE, 12}, {"0x10", FALSE, TRUE, 0}, {"", FALSE, FALSE, 0},
        {"-5", TRUE, TRUE, static_cast<UINT>(-5)}, {"-5", FALSE, TRUE, static_cast<UINT>(-5)},
        {"4294967295", FALSE, TRUE, 4294967295u}, {"4294967296", FALSE, FALSE, 0}, {"2147483648", TRUE, FALSE, 0},
        {"- 3", TRUE, FALSE, 0}, {"x1", FALSE, FALSE, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SetDlgItemTextA(dialog, 320, c.text);
        BOOL ok = 99;
        EXPECT_EQ((Results{GetDlgItemInt(dialog, 320, &ok, c.isSigned), ok}), (Results{c.value, c.ok})) << c.text;
    }
    BOOL ok = 99;
    EXPECT_EQ((Results{GetDlgItemInt(dialog, 4242, &ok, FALSE), ok}), (Results{0, 0}));
}

TEST_F(Controls, TypingChangesTheEditKeyByKeyUpToItsLimit) {
    SendDlgItemMessageA(dialog, 320, EM_LIMITTEXT, 3, 0);
    SetDlgItemTextA(dialog, 320, "12345");
    EXPECT_EQ(ItemText(dialog, 320), "12345") << "the limit governs typing only";
    Log().clear();
    // Changes: clear, then 1, 15, 150; the fourth key beeps.
    EXPECT_EQ((Results{PosixClearEdit(dialog, 320), PosixType(dialog, 320, "1504"), Count(kChange),
                       Count(Entry("command", 320, EN_MAXTEXT))}),
              (Results{1, 1, 4, 1}));
    EXPECT_EQ(ItemText(dialog, 320), "150");
    PosixType(dialog, 320, "\b\b7");
    std::string typed = ItemText(dialog, 320);
    PosixReplaceText(dialog, 320, "9");
    EXPECT_EQ(typed + " " + ItemText(dialog, 320), "17 9");
    EXPECT_EQ(PosixType(dialog, 310, "x"), 0) << "a check box is no edit";
}

TEST_F(Controls, AnAutoRadioClearsOnlyItsOwnGroupAndACheckBoxTogglesUnlessDisabledOrHidden) {
    CheckRadioButton(dialog, 300, 302, 300);
    CheckDlgButton(dialog, 303, BST_CHECKED);
    EXPECT_EQ(PosixClick(dialog, 302), 1);
    EXPECT_EQ(Checked(), "00110") << "303 is of another group";
    EXPECT_EQ(Log().back(), Entry("command", 302, BN_CLICKED));
    // A checked radio still reports its click.
    EXPECT_EQ((Results{GetFocus() == GetDlgItem(dialog, 302), PosixClick(dialog, 302),
                       Count(Entry("command", 302, BN_CLICKED))}),
              (Results{1, 1, 2}));
    CheckRadioButton(dialog, 300, 302, 301);
    EXPECT_EQ(Checked(), "01010");
    EXPECT_EQ(GetNextDlgGroupItem(dialog, GetDlgItem(dialog, 302), FALSE), GetDlgItem(dialog, -1));
    PosixClick(dialog, 310);
    std::string once = Checked();
    PosixClick(dialog, 310);
    EXPECT_EQ(once + " " + Checked(), "01011 01010");
    EnableWindow(GetDlgItem(dialog, 310), FALSE);
    Log().clear();
    EXPECT_EQ(PosixClick(dialog, 310), 0);
    EXPECT_EQ(Checked() + " " + std::to_string(Log().size()), "01010 0");
    EnableWindow(GetDlgItem(dialog, 310), TRUE);
    ShowWindow(GetDlgItem(dialog, 310), SW_HIDE);
    // Nor a hidden one, nothing in a disabled dialog, nor a group box.
    EXPECT_EQ((Results{PosixClick(dialog, 310), EnableWindow(dialog, FALSE), PosixClick(dialog, 300),
                       PosixClick(dialog, -1)}),
              (Results{0, 0, 0, 0}));
}

TEST_F(Controls, AScrollBarReportsArrowsPagesAndThumbDragsToItsParent) {
    HWND bar = GetDlgItem(dialog, 330);
    int low = 0, high = 0;
    // The old position (clamped into the new range) is answered, the new one clamped too.
    EXPECT_EQ((Results{GetWindowLongA(bar, GWL_ID), SetScrollRange(bar, SB_CTL, 1, 100, FALSE),
                       SetScrollPos(bar, SB_CTL, 500, TRUE), GetScrollPos(bar, SB_CTL),
                       GetScrollRange(bar, SB_CTL, &low, &high), low, high}),
              (Results{330, 1, 1, 100, 1, 1, 100}));
    PosixScroll(dialog, 330, SB_LINEDOWN, 0);
    PosixScroll(dialog, 330, SB_PAGEUP, 0);
    PosixScroll(dialog, 330, SB_THUMBTRACK, 40);
    EXPECT_EQ(Log(), Lines({"hscroll 1 0 330", "hscroll 8 0 330", "hscroll 2 0 330", "hscroll 8 0 330",
                            "hscroll 5 40 330", "hscroll 4 40 330", "hscroll 8 0 330"}));
    // The bar moves only when its owner says so.
    EXPECT_EQ((Results{GetScrollPos(bar, SB_CTL), SendMessageA(bar, SBM_SETPOS, 0, TRUE), GetScrollPos(bar, SB_CTL)}),
              (Results{100, 100, 1}));
    // With the focus: arrows a line, Page Up and Down a page, Home and End the ends; other keys nothing.
    SetFocus(bar);
    Log().clear();
    for (int key : {VK_RIGHT, VK_LEFT, VK_DOWN, VK_UP, VK_NEXT, VK_PRIOR, VK_HOME, VK_END, int('A')})
        PosixPressKey(key);
    PosixRunMessages();
    EXPECT_EQ(Log(), Lines({"hscroll 1 0 330", "hscroll 0 0 330", "hscroll 1 0 330", "hscroll 0 0 330",
                            "hscroll 3 0 330", "hscroll 2 0 330", "hscroll 6 0 330", "hscroll 7 0 330"}));
}

TEST_F(Controls, AListBoxKeepsItsItemsSelectionAndTopLine) {
    HWND list = GetDlgItem(dialog, 340);
    for (int i = 0; i < 12; ++i) {
        std::string line = "line " + std::to_string(i);
        EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str())), i);
    }
    // The selection is scrolled into view.
    EXPECT_EQ((Results{SendMessageA(list, LB_GETCURSEL, 0, 0), SendMessageA(list, LB_SETCURSEL, 11, 0),
                       SendMessageA(list, LB_GETTOPINDEX, 0, 0) > 0}),
              (Results{LB_ERR, 11, 1}));
    char text[32];
    // clang-format off
    const struct { UINT msg; WPARAM w; LPARAM l; LRESULT result; } steps[] = {
        {LB_DELETESTRING, 0, 0, 11}, {LB_GETCURSEL, 0, 0, 10} /* the selection follows its item */,
        {LB_GETTEXTLEN, 0, 0, 6}, {LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text), 6},
        {LB_GETTEXT, 11, reinterpret_cast<LPARAM>(text), LB_ERR}, {LB_DELETESTRING, 99, 0, LB_ERR},
        {LB_SETCURSEL, static_cast<WPARAM>(-1), 0, LB_ERR}, {LB_GETCURSEL, 0, 0, LB_ERR}, {LB_SETTOPINDEX, 0, 0, LB_OKAY},
    };
    // clang-format on
    for (const auto& s : steps) EXPECT_EQ(SendMessageA(list, s.msg, s.w, s.l), s.result) << "message " << s.msg;
    EXPECT_STREQ(text, "line 1");
    EXPECT_EQ(PosixChooseItem(dialog, 340, 3), 1);
    EXPECT_EQ(Log().back(), Entry("command", 340, LBN_SELCHANGE));
    EXPECT_EQ((Results{SendMessageA(list, LB_GETCURSEL, 0, 0), (SendMessageA(list, LB_RESETCONTENT, 0, 0), 0),
                       SendMessageA(list, LB_GETCOUNT, 0, 0), PosixChooseItem(dialog, 340, 0)}),
              (Results{3, 0, 0, 0}));
}

TEST_F(Controls, WindowWordsKeepWhatIsStoredRefuseOtherIndexesAndUnitsBecomePixels) {
    int value = 0;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&value));
    HWND edit = GetDlgItem(dialog, 320);
    const LONG style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    SetLastError(0);
    // An edit has no extra words (error 1413).
    EXPECT_EQ((Results{GetWindowLongPtrA(dialog, DWLP_USER) == reinterpret_cast<LONG_PTR>(&value),
                       GetWindowLongPtrA(dialog, DWLP_DLGPROC) != 0, GetWindowLongPtrA(edit, 0), GetLastError(),
                       GetWindowLongA(edit, GWL_STYLE) & style,
                       GetWindowLongA(GetDlgItem(dialog, 301), GWL_STYLE) & WS_TABSTOP, GetParent(edit) == dialog,
                       GetDlgCtrlID(edit)}),
              (Results{1, 1, 0, 1413, style, 0, 1, 320}));
    // Dialog units become pixels with the fixed base units; the frame is 3 pixels, the caption 18.
    RECT r = {4, 8, 200, 150}, client, window, button;
    POINT origin = {0, 0};
    EXPECT_TRUE(MapDialogRect(dialog, &r));
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &window);
    GetWindowRect(GetDlgItem(dialog, IDOK), &button);
    ClientToScreen(dialog, &origin);
    EXPECT_EQ(Show(r) + " " + Show(client), "6,13,300,244 0,0,300,244");
    EXPECT_EQ((Results{window.right - window.left, window.bottom - window.top, button.left - origin.x,
                       button.top - origin.y}),
              (Results{300 + 2 * 3, 244 + 2 * 3 + 18, 15, 195}));
    EXPECT_TRUE(SetWindowPos(dialog, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    GetWindowRect(dialog, &window);
    EXPECT_EQ(Show(window), "40,50,346,318");
}

LRESULT CALLBACK PaintingProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_PAINT) return DefWindowProcA(window, msg, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r = {1, 2, 30, 40};
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(window, &ps);
    return 0;
}

TEST_F(Controls, DrawingIsRecordedPerWindowAndBrushesAndDCsAreAccountedFor) {
    ASSERT_NE(RegisterProc("painttest", PaintingProc, nullptr, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)), 0);
    EXPECT_EQ(RegisterProc("painttest", PaintingProc), 0) << "a class name is registered once";
    HWND child = Child("painttest", dialog, 900, 0, 0, 60, 60);
    int objects = PosixLiveGdiObjects();
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HDC dc = GetDC(child);
    RECT r = {5, 5, 10, 10};
    FillRect(dc, &r, red);
    ReleaseDC(child, dc);
    EXPECT_EQ(
        (Results{PosixLiveGdiObjects() - objects, PosixLiveDCs(), DeleteObject(red), PosixLiveGdiObjects() - objects}),
        (Results{1, 0, 1, 0}));
    InvalidateRect(child, nullptr, TRUE);
    UpdateWindow(child);
    EXPECT_EQ(PosixDrawCount(child), 2) << "the erase covers the fill drawn before";
    EXPECT_NE(std::string(PosixDescribeWindow(dialog)).find("drawn: F(0,0,60,60 #C0C0C0) R(1,2,30,40 #000000)"),
              std::string::npos);
    DestroyWindow(child);
    EXPECT_TRUE(UnregisterClassA("painttest", nullptr));
}

TEST_F(Controls, AClassBelongsToTheModuleThatRegisteredItUnlessItIsGlobal) {
    HINSTANCE one = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E600000));
    HINSTANCE two = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E610000));
    ASSERT_NE(RegisterProc("moduletest", DefWindowProcA, one), 0);
    EXPECT_EQ(RegisterProc("moduletest", DefWindowProcA, one), 0);
    WNDCLASSA found;
    HINSTANCE three = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x7E620000));
    // No module given finds any module's class; system classes belong to every module; another module may
    // use the same name; a third one finds neither.
    EXPECT_EQ((Results{GetClassInfoA(one, "MODULETEST", &found), GetClassInfoA(two, "moduletest", &found),
                       GetClassInfoA(nullptr, "moduletest", &found), GetClassInfoA(two, "Button", &found),
                       RegisterProc("moduletest", DefWindowProcA, two) != 0,
                       CreateWindowExA(0, "moduletest", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, three, nullptr) ==
                           nullptr,
                       UnregisterClassA("moduletest", one), UnregisterClassA("moduletest", two)}),
              (Results{1, 0, 1, 1, 1, 1, 1, 1}));
    ASSERT_NE(RegisterProc("moduletest", DefWindowProcA, two, CS_GLOBALCLASS), 0);
    EXPECT_EQ((Results{GetClassInfoA(one, "moduletest", &found), UnregisterClassA("moduletest", two)}),
              (Results{1, 1}));
}

TEST_F(Controls, TheTextPictureShowsEveryControlWithItsState) {
    CheckRadioButton(dialog, 300, 302, 301);
    EnableWindow(GetDlgItem(dialog, 310), FALSE);
    std::string text = PosixDescribeWindow(dialog);
    EXPECT_EQ(text.rfind("dialog \"Test Dialog\"", 0), 0u) << text;
    for (const char* part : {"radio 301 \"Medium\" at 15,44 60x16 [x]", "radio 300 \"Small\" at 15,24 60x16 [ ]\n",
                             "checkbox 310 \"Backlit\"", "disabled", "static 350 \"Caf\xC3\xA9\"", "scrollbar 330"})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in\n" << text;  // Windows-1252 shown as UTF-8
}

}  // namespace
}  // namespace testwin
