// The window system's messages: sent versus posted, the modal loop, window
// timers in virtual time, capture and clipping, focus, message boxes.
#include <thread>

#include "windows_support.h"

namespace testwin {
namespace {

class Messages : public WindowsTest {};

TEST_F(Messages, SentMessagesRunAtOnceAndPostedOnesInOrderWhenTheQueueRuns) {
    HWND dialog = Modeless();
    ASSERT_TRUE(IsWindow(dialog));
    PosixRunMessages();
    Log().clear();
    EXPECT_TRUE(PostMessageA(dialog, WM_USER + 11, 1, 0));
    EXPECT_TRUE(PostMessageA(dialog, WM_USER + 11, 2, 0));
    SendMessageA(dialog, WM_USER + 12, 3, 0);
    EXPECT_EQ(Log(), std::vector<std::string>({"user 12 3"}));
    EXPECT_EQ(PosixRunMessages(), 2);
    EXPECT_EQ(Log(), std::vector<std::string>({"user 12 3", "user 11 1", "user 11 2"}));
}

TEST_F(Messages, AQueueNobodyReadsRefusesPostsBeyondItsLimitAndADestroyedWindowTakesNone) {
    HWND dialog = Modeless();
    int accepted = 0;
    while (accepted < 20000 && PostMessageA(dialog, WM_USER + 11, 0, 0)) ++accepted;
    EXPECT_EQ(accepted, 10000);
    PosixRunMessages();
    EXPECT_TRUE(PostMessageA(dialog, WM_USER + 11, 0, 0));
    DestroyWindow(dialog);
    EXPECT_FALSE(PostMessageA(dialog, WM_USER + 11, 0, 0));
    EXPECT_EQ(PosixRunMessages(), 0);
}

TEST_F(Messages, AHandleCutTo16BitsStillFindsItsWindowButAStaleHandleFindsNothing) {
    HWND dialog = Modeless();
    HWND cut = reinterpret_cast<HWND>(static_cast<uintptr_t>(LOWORD(reinterpret_cast<uintptr_t>(dialog))));
    EXPECT_TRUE(IsWindow(cut));
    char caption[32];
    GetWindowTextA(cut, caption, sizeof caption);
    EXPECT_STREQ(caption, "Test Dialog");
    DestroyWindow(dialog);
    EXPECT_FALSE(IsWindow(dialog));
    HWND next = Modeless();
    EXPECT_NE(next, dialog);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(Messages, APostFromAnotherThreadWaitsInTheQueueOfTheWindowsOwnThread) {
    HWND dialog = Modeless();
    PosixRunMessages();
    Log().clear();
    BOOL posted = FALSE, seenThere = TRUE;
    std::thread other([&] {
        posted = PostMessageA(dialog, WM_USER + 13, 5, 0);
        MSG msg;
        seenThere = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    });
    other.join();
    EXPECT_TRUE(posted);
    EXPECT_FALSE(seenThere);
    EXPECT_TRUE(Log().empty());
    PosixRunMessages();
    EXPECT_EQ(Log(), std::vector<std::string>({"user 13 5"}));
}

int ClickOkOnce(HWND dialog, void* context) {
    return PosixClick(dialog, IDOK);
}

TEST_F(Messages, AModalLoopAlsoHandlesWhatIsPostedToTheThreadsOtherWindows) {
    HWND modeless = Modeless();
    PostMessageA(modeless, WM_USER + 11, 9, 0);
    PosixSetDialogHook(ClickOkOnce, nullptr);
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(201), nullptr, LoggingProc, 0), 1);
    EXPECT_TRUE(Logged("user 11 9"));
}

int ClickThen(HWND dialog, void* context) {
    int* steps = static_cast<int*>(context);
    // First look at the owner, then press the button the test asked for.
    if (steps[1]++ > 0) return 0;
    HWND owner = GetParent(dialog);
    steps[2] = owner ? IsWindowEnabled(owner) : -1;
    return PosixClick(dialog, steps[0]);
}

TEST_F(Messages, AModalDialogRunsItsOwnLoopDisablesItsOwnerAndReturnsTheEndValue) {
    HWND owner = Modeless();
    int steps[3] = {IDOK, 0, 0};
    PosixSetDialogHook(ClickThen, steps);
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(201), owner, LoggingProc, 0), 1);
    EXPECT_EQ(steps[2], 0) << "the owner is disabled while the dialog runs";
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(PosixModalDepth(), 0);
    EXPECT_EQ(PosixFindWindow("Second"), nullptr) << "the dialog is destroyed when it ends";
}

TEST_F(Messages, WithNobodyToAnswerAModalDialogGetsEscapeAndOneThatIgnoresItEndsWithMinusOne) {
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(200), nullptr, LoggingProc, 0), 2);
    EXPECT_TRUE(Logged("command 2 0"));
    struct Deaf {
        static INT_PTR CALLBACK Proc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
    };
    PosixClearProblems();
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(201), nullptr, Deaf::Proc, 0), -1);
    EXPECT_NE(std::string(PosixLastProblem()).find("Second"), std::string::npos);
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(999), nullptr, LoggingProc, 0), -1);
}

TEST_F(Messages, AnEndInInitDialogReturnsAtOnceWithoutShowingTheDialog) {
    struct Quick {
        static INT_PTR CALLBACK Proc(HWND dialog, UINT msg, WPARAM, LPARAM param) {
            if (msg == WM_INITDIALOG) EndDialog(dialog, param);
            if (msg == WM_SHOWWINDOW) Log().push_back("shown");
            return FALSE;
        }
    };
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(200), nullptr, Quick::Proc, 77), 77);
    EXPECT_FALSE(Logged("shown"));
}

TEST_F(Messages, AScriptDrivesNestedModalDialogsInTurn) {
    char error[200];
    ASSERT_EQ(PosixSetDialogScript("click 360; show; click 1\nclick 302; click 1", error, sizeof error), 1) << error;
    testing::internal::CaptureStdout();
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(200), nullptr, LoggingProc, 0), 1);
    std::string shown = testing::internal::GetCapturedStdout();
    EXPECT_NE(shown.find("dialog \"Second\""), std::string::npos) << shown;
    std::vector<std::string> commands;
    for (const std::string& e : Log())
        if (e.rfind("command", 0) == 0 || e.rfind("second", 0) == 0) commands.push_back(e);
    EXPECT_EQ(commands,
              std::vector<std::string>({"command 360 0", "command 1 0", "second 1 0", "command 302 0", "command 1 0"}));
    EXPECT_EQ(PosixSetDialogScript("click", error, sizeof error), 0);
    EXPECT_NE(std::string(error).find("click"), std::string::npos);
    EXPECT_EQ(PosixSetDialogScript("scroll 330 sideways", error, sizeof error), 0);
    EXPECT_EQ(PosixSetDialogScript("dance 3", error, sizeof error), 0);
}

TEST_F(Messages, WindowTimersFireThroughTheQueueInVirtualTime) {
    HWND dialog = Modeless();
    uint32_t start = PosixClockNow();
    EXPECT_EQ(SetTimer(dialog, 7, 1000, nullptr), 7u);
    PosixRunFor(999);
    EXPECT_FALSE(Logged(Entry("timer", 7, static_cast<long>(start + 1000))));
    PosixRunFor(1);
    EXPECT_TRUE(Logged(Entry("timer", 7, static_cast<long>(start + 1000))));
    // Setting it again restarts the period from now.
    PosixRunFor(500);
    SetTimer(dialog, 7, 1000, nullptr);
    PosixRunFor(1000);
    EXPECT_FALSE(Logged(Entry("timer", 7, static_cast<long>(start + 2000))));
    EXPECT_TRUE(Logged(Entry("timer", 7, static_cast<long>(start + 2500))));
    EXPECT_TRUE(KillTimer(dialog, 7));
    EXPECT_FALSE(KillTimer(dialog, 7));
    size_t before = Log().size();
    PosixRunFor(5000);
    EXPECT_EQ(Log().size(), before);
}

TEST_F(Messages, GetMessageWaitsForATimerByMovingVirtualTimeOnly) {
    HWND dialog = Modeless();
    PosixRunMessages();
    uint32_t start = PosixClockNow();
    SetTimer(dialog, 3, 250, nullptr);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(PosixClockNow() - start, 250u);
    DestroyWindow(dialog);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "a destroyed window's timer is gone";
}

struct Mice {
    std::vector<std::string> seen;
};
Mice* mice = nullptr;

LRESULT CALLBACK MouseProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    char line[80];
    if (msg == WM_CAPTURECHANGED) {
        snprintf(line, sizeof line, "%d lost", GetDlgCtrlID(window));
        mice->seen.push_back(line);
        return 0;
    }
    if (msg == WM_LBUTTONDOWN || msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP) {
        snprintf(line, sizeof line, "%d %04x %d,%d", GetDlgCtrlID(window), msg, static_cast<SHORT>(LOWORD(lParam)),
                 static_cast<SHORT>(HIWORD(lParam)));
        mice->seen.push_back(line);
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

TEST_F(Messages, TheMouseGoesToTheCaptureWindowInItsOwnCoordinatesAndStaysInsideTheClip) {
    Mice record;
    mice = &record;
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = MouseProc;
    wc.lpszClassName = "mousetest";
    RegisterClassA(&wc);
    HWND top = CreateWindowExA(0, "mousetest", "top", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                               nullptr, nullptr);
    HWND a = CreateWindowExA(0, "mousetest", "", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50, top, reinterpret_cast<HMENU>(1),
                             nullptr, nullptr);
    HWND b = CreateWindowExA(0, "mousetest", "", WS_CHILD | WS_VISIBLE, 100, 10, 50, 50, top,
                             reinterpret_cast<HMENU>(2), nullptr, nullptr);
    EXPECT_EQ(SetCapture(a), nullptr);
    PosixMouseMove(b, 5, 6);
    EXPECT_EQ(record.seen.back(), "1 0200 95,6");
    POINT corner = {0, 0};
    ClientToScreen(a, &corner);
    RECT clip = {corner.x, corner.y, corner.x + 20, corner.y + 20};
    ClipCursor(&clip);
    PosixMouseMove(a, 100, -30);
    EXPECT_EQ(record.seen.back(), "1 0200 19,0");
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, corner.x + 19);
    SetCapture(b);
    EXPECT_EQ(record.seen.back(), "1 lost") << "the old capture hears of the change";
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    ClipCursor(nullptr);
    EnableWindow(b, FALSE);
    size_t before = record.seen.size();
    PosixMouseDown(b, 1, 1);
    EXPECT_EQ(record.seen.size(), before) << "a disabled window gets no mouse";
    UnregisterClassA("mousetest", nullptr);
    DestroyWindow(top);
    EXPECT_TRUE(UnregisterClassA("mousetest", nullptr));
    mice = nullptr;
}

TEST_F(Messages, FocusSkipsDisabledWindowsAndLeavesAControlThatIsDisabledOrHidden) {
    HWND dialog = Modeless();
    HWND edit = GetDlgItem(dialog, 320);
    HWND check = GetDlgItem(dialog, 310);
    EXPECT_NE(SetFocus(edit), edit);
    EXPECT_EQ(GetFocus(), edit);
    EnableWindow(check, FALSE);
    EXPECT_EQ(SetFocus(check), nullptr);
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_FALSE(EnableWindow(edit, FALSE));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_TRUE(EnableWindow(edit, TRUE)) << "the result says it was disabled";
    SetFocus(edit);
    ShowWindow(edit, SW_HIDE);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK)) << "the dialog hands the focus to its first tab stop";
}

TEST_F(Messages, MessageBoxesAreAnsweredByQueueThenPolicyThenTheirDefaultButton) {
    PosixClearMessageBoxes();
    EXPECT_EQ(MessageBoxA(nullptr, "Save?", "Trace ends", MB_YESNO | MB_DEFBUTTON2), IDNO);
    PosixQueueMessageBoxAnswer(IDYES);
    PosixQueueMessageBoxAnswer(IDRETRY);  // not a button of the next box
    EXPECT_EQ(MessageBoxA(nullptr, "Save?", "Trace ends", MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, "Sure?", nullptr, MB_OKCANCEL), IDOK);
    PosixSetMessageBoxPolicy(IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "x", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "Note", "x", MB_OK), IDOK);
    ASSERT_EQ(PosixMessageBoxCount(), 5);
    EXPECT_STREQ(PosixMessageBoxCaption(2), "Error");
    EXPECT_STREQ(PosixMessageBoxText(0), "Save?");
    EXPECT_EQ(PosixMessageBoxType(0), static_cast<UINT>(MB_YESNO | MB_DEFBUTTON2));
    EXPECT_EQ(PosixMessageBoxAnswer(3), IDCANCEL);
    EXPECT_EQ(PosixMessageBoxText(5), nullptr);
}

TEST_F(Messages, TheSystemMenuTakesItemsAndAGreyedCommandCannotBePicked) {
    HWND dialog = Modeless();
    HMENU menu = GetSystemMenu(dialog, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(AppendMenuA(menu, MF_MENUBREAK, 0, nullptr));
    EXPECT_TRUE(AppendMenuA(menu, MF_STRING, 100, "&Pause"));
    EXPECT_EQ(EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(CheckMenuItem(menu, 100, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
    EXPECT_EQ(CheckMenuItem(menu, 100, MF_BYCOMMAND | MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
    EXPECT_EQ(CheckMenuItem(menu, 4242, MF_BYCOMMAND), static_cast<DWORD>(-1));
    EXPECT_EQ(PosixSystemCommand(dialog, SC_CLOSE), 0);
    EXPECT_TRUE(IsWindow(dialog));
    Log().clear();
    EXPECT_EQ(PosixSystemCommand(dialog, 100), 1);
    EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    EXPECT_EQ(PosixSystemCommand(dialog, SC_CLOSE), 1);
    PosixRunMessages();
    EXPECT_TRUE(Logged("command 2 0")) << "closing a dialog is its Cancel";
}

}  // namespace
}  // namespace testwin
