// The window system's messages: sent versus posted, the modal loop, window
// timers in virtual time, capture and clipping, focus, message boxes.
#include <thread>

#include "windows_support.h"

namespace testwin {
namespace {

class Messages : public OpenDialogTest {};

TEST_F(Messages, SentMessagesRunAtOncePostedOnesWaitInTheQueueOfTheWindowsOwnThread) {
    EXPECT_TRUE(PostMessageA(dialog, WM_USER + 11, 1, 0));
    EXPECT_TRUE(PostMessageA(dialog, WM_USER + 11, 2, 0));
    SendMessageA(dialog, WM_USER + 12, 3, 0);
    EXPECT_EQ(Log(), Lines({"user 12 3"}));
    EXPECT_EQ(PosixRunMessages(), 2);
    EXPECT_EQ(Log(), Lines({"user 12 3", "user 11 1", "user 11 2"}));
    BOOL posted = FALSE, seenThere = TRUE;
    std::thread([&] {
        posted = PostMessageA(dialog, WM_USER + 13, 5, 0);
        MSG msg;
        seenThere = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    }).join();
    // A post from another thread waits in the queue of the window's thread.
    EXPECT_EQ((Results{posted, seenThere, static_cast<long long>(Log().size()), PosixRunMessages()}),
              (Results{1, 0, 3, 1}));
    EXPECT_EQ(Log().back(), "user 13 5");
}

TEST_F(Messages, AQueueNobodyReadsRefusesPostsBeyondItsLimitAndADestroyedWindowTakesNone) {
    int accepted = 0;
    while (accepted < 20000 && PostMessageA(dialog, WM_USER + 11, 0, 0)) ++accepted;
    EXPECT_EQ(accepted, 10000);
    PosixRunMessages();
    EXPECT_EQ((Results{PostMessageA(dialog, WM_USER + 11, 0, 0), DestroyWindow(dialog),
                       PostMessageA(dialog, WM_USER + 11, 0, 0), PosixRunMessages()}),
              (Results{1, 1, 0, 0}));
}

TEST_F(Messages, AHandleCutTo16BitsStillFindsItsWindowButAStaleHandleFindsNothing) {
    HWND cut = reinterpret_cast<HWND>(static_cast<uintptr_t>(LOWORD(reinterpret_cast<uintptr_t>(dialog))));
    EXPECT_EQ(Text(cut), "Test Dialog");
    EXPECT_EQ((Results{IsWindow(cut), DestroyWindow(dialog), IsWindow(dialog), Modeless() != dialog, IsWindow(dialog)}),
              (Results{1, 1, 0, 1, 0}));
}

// Notes whether the owner is enabled (-1: none), then clicks the button in steps[0] once.
int ClickThen(HWND dialog, void* context) {
    int* steps = static_cast<int*>(context);
    if (steps[1]++ > 0) return 0;
    HWND owner = GetParent(dialog);
    steps[2] = owner ? IsWindowEnabled(owner) : -1;
    return PosixClick(dialog, steps[0]);
}

TEST_F(Messages, AModalDialogRunsItsOwnLoopDisablesItsOwnerAndReturnsTheEndValue) {
    PostMessageA(dialog, WM_USER + 11, 9, 0);
    int steps[3] = {IDOK, 0, 0};
    PosixSetDialogHook(ClickThen, steps);
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(201), dialog, LoggingProc, 0), 1);
    // The loop also handles posts to the thread's other windows; the owner is disabled while it runs;
    // the dialog is destroyed when it ends.
    EXPECT_EQ((Results{Logged("user 11 9"), steps[2], IsWindowEnabled(dialog), PosixModalDepth(),
                       PosixFindWindow("Second") == nullptr}),
              (Results{1, 0, 1, 0, 1}));
    // With nobody to answer, a dialog gets Escape; one that ignores it ends with -1.
    PosixSetDialogHook(nullptr, nullptr);
    Log().clear();
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(200), nullptr, LoggingProc, 0), 2);
    EXPECT_TRUE(Logged("command 2 0"));
    struct Deaf {
        static INT_PTR CALLBACK Proc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
    };
    PosixClearProblems();
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(201), nullptr, Deaf::Proc, 0), -1);
    EXPECT_NE(std::string(PosixLastProblem()).find("Second"), std::string::npos);
    EXPECT_EQ(DialogBoxParamA(kModule, MAKEINTRESOURCEA(999), nullptr, LoggingProc, 0), -1);
    // An end in WM_INITDIALOG returns at once without showing the dialog.
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
    Lines commands;
    for (const std::string& e : Log())
        if (e.rfind("command", 0) == 0 || e.rfind("second", 0) == 0) commands.push_back(e);
    EXPECT_EQ(commands, Lines({"command 360 0", "command 1 0", "second 1 0", "command 302 0", "command 1 0"}));
    for (const char* wrong : {"click", "scroll 330 sideways", "dance 3"})
        EXPECT_EQ(PosixSetDialogScript(wrong, error, sizeof error), 0) << wrong;
    EXPECT_NE(std::string(error).find("dance"), std::string::npos);
}

void CALLBACK PostTick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    PostMessageA(reinterpret_cast<HWND>(user), WM_USER + 14, PosixClockNow(), 0);
}

// One timeline with the multimedia timers; setting a timer again restarts its period.
TEST_F(Messages, WindowTimersFireThroughTheQueueInVirtualTime) {
    uint32_t start = PosixClockNow();
    auto timer = [&](int id, uint32_t at) { return Entry("timer", id, static_cast<long>(start + at)); };
    SetTimer(dialog, 1, 100, nullptr);
    timeSetEvent(150, 1, PostTick, reinterpret_cast<DWORD_PTR>(dialog), TIME_ONESHOT);
    PosixRunFor(250);
    KillTimer(dialog, 1);
    EXPECT_EQ(Log(), Lines({timer(1, 100), Entry("user", 14, static_cast<long>(start + 150)), timer(1, 200)}));
    start = PosixClockNow();
    EXPECT_EQ(SetTimer(dialog, 7, 1000, nullptr), 7u);
    PosixRunFor(999);
    EXPECT_FALSE(Logged(timer(7, 1000)));
    PosixRunFor(1);
    EXPECT_TRUE(Logged(timer(7, 1000)));
    PosixRunFor(500);
    SetTimer(dialog, 7, 1000, nullptr);
    PosixRunFor(1000);
    EXPECT_EQ((Results{Logged(timer(7, 2000)), Logged(timer(7, 2500)), KillTimer(dialog, 7), KillTimer(dialog, 7)}),
              (Results{0, 1, 1, 0}));
    size_t before = Log().size();
    PosixRunFor(5000);
    EXPECT_EQ(Log().size(), before);
    // GetMessage waits for a timer by moving virtual time only.
    start = PosixClockNow();
    SetTimer(dialog, 3, 250, nullptr);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ((Results{msg.message, static_cast<long long>(msg.wParam), PosixClockNow() - start}),
              (Results{WM_TIMER, 3, 250}));
    DestroyWindow(dialog);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "a destroyed window's timer is gone";
}

std::vector<std::string>* mice = nullptr;

LRESULT CALLBACK MouseProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    char line[80];
    if (msg == WM_CAPTURECHANGED)
        snprintf(line, sizeof line, "%d lost", GetDlgCtrlID(window));
    else if (msg == WM_LBUTTONDOWN || msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP)
        snprintf(line, sizeof line, "%d %04x %d,%d", GetDlgCtrlID(window), msg, static_cast<SHORT>(LOWORD(lParam)),
                 static_cast<SHORT>(HIWORD(lParam)));
    else
        return DefWindowProcA(window, msg, wParam, lParam);
    mice->push_back(line);
    return 0;
}

TEST_F(Messages, TheMouseGoesToTheCaptureWindowInItsOwnCoordinatesAndStaysInsideTheClip) {
    std::vector<std::string> seen;
    mice = &seen;
    RegisterProc("mousetest", MouseProc);
    HWND top = CreateWindowExA(0, "mousetest", "top", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                               nullptr, nullptr);
    HWND a = Child("mousetest", top, 1, 10, 10, 50, 50), b = Child("mousetest", top, 2, 100, 10, 50, 50);
    EXPECT_EQ(SetCapture(a), nullptr);
    PosixMouseMove(b, 5, 6);
    EXPECT_EQ(seen.back(), "1 0200 95,6");
    POINT corner = {0, 0};
    ClientToScreen(a, &corner);
    RECT clip = {corner.x, corner.y, corner.x + 20, corner.y + 20};
    ClipCursor(&clip);
    PosixMouseMove(a, 100, -30);
    EXPECT_EQ(seen.back(), "1 0200 19,0");
    POINT cursor;
    GetCursorPos(&cursor);
    SetCapture(b);
    EXPECT_EQ(seen.back(), "1 lost") << "the old capture hears of the change";
    EXPECT_EQ((Results{cursor.x - corner.x, ReleaseCapture(), GetCapture() == nullptr}), (Results{19, 1, 1}));
    ClipCursor(nullptr);
    EnableWindow(b, FALSE);
    size_t before = seen.size();
    PosixMouseDown(b, 1, 1);
    EXPECT_EQ(seen.size(), before) << "a disabled window gets no mouse";
    // A class is not unregistered while it has windows.
    EXPECT_EQ(
        (Results{UnregisterClassA("mousetest", nullptr), DestroyWindow(top), UnregisterClassA("mousetest", nullptr)}),
        (Results{0, 1, 1}));
    mice = nullptr;
}

TEST_F(Messages, FocusSkipsDisabledWindowsAndLeavesAControlThatIsDisabledOrHidden) {
    HWND edit = GetDlgItem(dialog, 320), check = GetDlgItem(dialog, 310);
    // EnableWindow answers whether the window was disabled.
    EXPECT_EQ(
        (Results{SetFocus(edit) != edit, GetFocus() == edit, EnableWindow(check, FALSE), SetFocus(check) == nullptr,
                 GetFocus() == edit, EnableWindow(edit, FALSE), GetFocus() == nullptr, EnableWindow(edit, TRUE)}),
        (Results{1, 1, 0, 1, 1, 0, 1, 1}));
    SetFocus(edit);
    ShowWindow(edit, SW_HIDE);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK)) << "the dialog hands the focus to its first tab stop";
}

TEST_F(Messages, MessageBoxesAreAnsweredByQueueThenPolicyThenTheirDefaultButton) {
    PosixClearMessageBoxes();
    EXPECT_EQ(MessageBoxA(nullptr, "Save?", "Trace ends", MB_YESNO | MB_DEFBUTTON2), IDNO);
    PosixQueueMessageBoxAnswer(IDYES);
    PosixQueueMessageBoxAnswer(IDRETRY);  // not a button of the next box
    EXPECT_EQ((Results{MessageBoxA(nullptr, "Save?", "Trace ends", MB_YESNO),
                       MessageBoxA(nullptr, "Sure?", nullptr, MB_OKCANCEL), (PosixSetMessageBoxPolicy(IDCANCEL), 0),
                       MessageBoxA(nullptr, "Sure?", "x", MB_OKCANCEL), MessageBoxA(nullptr, "Note", "x", MB_OK)}),
              (Results{IDYES, IDOK, 0, IDCANCEL, IDOK}));
    ASSERT_EQ(PosixMessageBoxCount(), 5);
    EXPECT_STREQ(PosixMessageBoxCaption(2), "Error");
    EXPECT_STREQ(PosixMessageBoxText(0), "Save?");
    EXPECT_EQ((Results{PosixMessageBoxType(0), PosixMessageBoxAnswer(3), PosixMessageBoxText(5) == nullptr}),
              (Results{MB_YESNO | MB_DEFBUTTON2, IDCANCEL, 1}));
}

TEST_F(Messages, TheSystemMenuTakesItemsAndAGreyedCommandCannotBePicked) {
    HMENU menu = GetSystemMenu(dialog, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ((Results{AppendMenuA(menu, MF_MENUBREAK, 0, nullptr), AppendMenuA(menu, MF_STRING, 100, "&Pause"),
                       EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED)}),
              (Results{1, 1, MF_ENABLED}));
    // Each check answers the state before; an item that is none, -1.
    EXPECT_EQ((Results{CheckMenuItem(menu, 100, MF_BYCOMMAND | MF_CHECKED),
                       CheckMenuItem(menu, 100, MF_BYCOMMAND | MF_UNCHECKED), CheckMenuItem(menu, 4242, MF_BYCOMMAND)}),
              (Results{MF_UNCHECKED, MF_CHECKED, static_cast<DWORD>(-1)}));
    EXPECT_EQ(
        (Results{PosixSystemCommand(dialog, SC_CLOSE), IsWindow(dialog), PosixSystemCommand(dialog, 100),
                 EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED), PosixSystemCommand(dialog, SC_CLOSE)}),
        (Results{0, 1, 1, MF_GRAYED, 1}));
    PosixRunMessages();
    EXPECT_TRUE(Logged("command 2 0")) << "closing a dialog is its Cancel";
}

}  // namespace
}  // namespace testwin
