// The Driver Message Trace window, through the trace call as the driver uses
// it: level 1 creates it, lines arrive as posted messages, level 3 saves
// and ends it.
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/posix_windows.h"
#include "test_support.h"
#include "trace/trace.h"
#include "ui/resources/resource.h"

namespace {

class TraceWindow : public FreshHome {
protected:
    HWND window = nullptr;
    HWND list = nullptr;

    void SetUp() override {
        FreshHome::SetUp();
        traceModule = GetModuleHandleA(nullptr);
        DriverOptions = OPT_TRACE_ON;
        trace(TRACE_OPEN, nullptr);
        window = traceWindow;
        ASSERT_NE(window, nullptr);
        list = GetDlgItem(window, IDC_TRACE_LIST);
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override {
        if (traceWindow && IsPaused()) PosixSystemCommand(traceWindow, 100);
        PosixResetWindows();
        traceWindow = nullptr;
        DriverOptions = 0;
        FreshHome::TearDown();
    }

    bool IsPaused() { return (GetMenuState(GetSystemMenu(traceWindow, FALSE), 100, MF_BYCOMMAND) & MF_CHECKED) != 0; }
    int Count() { return (int)SendMessageA(list, LB_GETCOUNT, 0, 0); }
    std::string Line(int index) {
        char text[1024] = "";
        SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }
    std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        for (int i = 0; i < Count(); i++) lines.push_back(Line(i));
        return lines;
    }
    std::string SavePath() { return home + "\\mbktrace.log"; }
};

TEST_F(TraceWindow, OpeningShowsTheWindowWithPauseAndWithoutClose) {
    EXPECT_EQ(PosixFindWindow("Driver Message Trace"), window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetParent(window), GetDesktopWindow());
    EXPECT_EQ(PosixSystemCommand(window, SC_CLOSE), 0) << "Close is greyed";
    EXPECT_TRUE(IsWindow(window));
    HMENU menu = GetSystemMenu(window, FALSE);
    EXPECT_EQ(GetMenuState(menu, 100, MF_BYCOMMAND) & (MF_CHECKED | MF_GRAYED), 0u);
    // A second open keeps the one window.
    trace(TRACE_OPEN, nullptr);
    EXPECT_EQ(traceWindow, window);
    EXPECT_EQ(PosixTopLevelCount(), 1);
}

// Lines are posted, not sent, from any thread, and wait for the window's
// own thread; the newest is selected.
TEST_F(TraceWindow, LinesArriveByPostedMessagesAndTheNewestIsSelected) {
    trace(TRACE_MESSAGE, "DRV_OPEN - channel %d, flags 0x%08lx", 4, 0x1234ul);
    std::thread timer([] { trace(TRACE_MESSAGE, "tick %d", 7); });
    timer.join();
    EXPECT_EQ(Count(), 0);
    PosixRunMessages();
    EXPECT_EQ(Lines(), std::vector<std::string>({"DRV_OPEN - channel 4, flags 0x00001234", "tick 7"}));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);
}

TEST_F(TraceWindow, WithTheSynchronousLogEveryLineIsAlsoAppendedAtOnce) {
    DriverOptions = OPT_TRACE_ON | OPT_SYNC_LOG;
    trace(TRACE_OPEN, nullptr);
    EXPECT_EQ(traceWindow, window);
    trace(TRACE_MESSAGE, "one %u", 1u);
    trace(TRACE_MESSAGE, "%s", std::string(600, 'z').c_str());
    EXPECT_EQ(ReadFileText(HomeFile("mbksynct.log")),
              "MBKTARN2 NT4 Message Output\none 1\n" + std::string(511, 'z') + "\n");
    PosixRunMessages();
    EXPECT_EQ(Count(), 2);
}

// The newest 300 lines stay, each cut to 511 characters, and nothing leaks.
TEST_F(TraceWindow, TheListKeepsTheNewest300LinesOfAtMost511Characters) {
    long blocks = PosixLiveGlobalBlocks();
    for (int i = 0; i < 304; i++) trace(TRACE_MESSAGE, "line %d", i);
    trace(TRACE_MESSAGE, "%s", std::string(900, 'x').c_str());
    PosixRunMessages();
    ASSERT_EQ(Count(), 300);
    EXPECT_EQ(Line(0), "line 5");
    EXPECT_EQ(Line(298), "line 303");
    EXPECT_EQ(Line(299), std::string(511, 'x'));
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 299);
    EXPECT_EQ(PosixLiveGlobalBlocks(), blocks);
}

TEST_F(TraceWindow, LinesPostedWhilePausedAreDroppedAndFreed) {
    long blocks = PosixLiveGlobalBlocks();
    trace(TRACE_MESSAGE, "before");
    PosixRunMessages();
    ASSERT_EQ(PosixSystemCommand(window, 100), 1);
    EXPECT_TRUE(IsPaused());
    for (int i = 0; i < 3; i++) trace(TRACE_MESSAGE, "paused %d", i);
    PosixRunMessages();
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(PosixLiveGlobalBlocks(), blocks);
    PosixSystemCommand(window, 100);
    EXPECT_FALSE(IsPaused());
    trace(TRACE_MESSAGE, "after");
    PosixRunMessages();
    EXPECT_EQ(Lines(), std::vector<std::string>({"before", "after"}));
}

TEST_F(TraceWindow, PauseOutlivesTheWindow) {
    PosixSystemCommand(window, 100);
    PosixQueueMessageBoxAnswer(IDNO);
    trace(TRACE_END, nullptr);
    trace(TRACE_OPEN, nullptr);
    ASSERT_NE(traceWindow, nullptr);
    list = GetDlgItem(traceWindow, IDC_TRACE_LIST);
    EXPECT_TRUE(IsPaused());
    trace(TRACE_MESSAGE, "dropped");
    PosixRunMessages();
    EXPECT_EQ(Count(), 0);
}

TEST_F(TraceWindow, SizingTheWindowFillsItWithTheList) {
    MoveWindow(window, 10, 10, 500, 300, TRUE);
    RECT client, listRect;
    GetClientRect(window, &client);
    GetWindowRect(list, &listRect);
    POINT corners[2] = {{listRect.left, listRect.top}, {listRect.right, listRect.bottom}};
    for (POINT& corner : corners) ScreenToClient(window, &corner);
    EXPECT_EQ(std::vector<LONG>({corners[0].x, corners[0].y, corners[1].x, corners[1].y}),
              std::vector<LONG>({0, 0, client.right, client.bottom}));
}

TEST_F(TraceWindow, EndingAsksThenSavesEveryLineWithItsLineEnd) {
    std::string longText(511, 'y');
    trace(TRACE_MESSAGE, "first");
    trace(TRACE_MESSAGE, "%s", longText.c_str());
    PosixRunMessages();
    PosixClearMessageBoxes();
    PosixQueueMessageBoxAnswer(IDYES);
    trace(TRACE_END, nullptr);
    ASSERT_EQ(PosixMessageBoxCount(), 1);
    EXPECT_EQ(std::string(PosixMessageBoxText(0)), "Save trace details to " + SavePath() + "?");
    EXPECT_STREQ(PosixMessageBoxCaption(0), "Trace ends");
    EXPECT_EQ(PosixMessageBoxType(0), (UINT)(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(ReadFileText(HomeFile("mbktrace.log")), "first\r\n" + longText + "\r\n");
    EXPECT_EQ(traceWindow, nullptr);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(TraceWindow, AnsweringNoWritesNothingAndLinesStillQueuedAreFreed) {
    long blocks = PosixLiveGlobalBlocks();
    trace(TRACE_MESSAGE, "never shown");
    PosixQueueMessageBoxAnswer(IDNO);
    trace(TRACE_END, nullptr);
    EXPECT_EQ(ReadFileText(HomeFile("mbktrace.log")), "");
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(PosixLiveGlobalBlocks(), blocks);
    // Lines after the end are dropped.
    trace(TRACE_MESSAGE, "late");
    EXPECT_EQ(PosixLiveGlobalBlocks(), blocks);
}

TEST_F(TraceWindow, SavingAnEmptyListCreatesAnEmptyFile) {
    WriteFileText(HomeFile("empty.log"), "old");
    std::string path = home + "\\empty.log";
    SendMessageA(window, WM_TRACE_SAVE, 0, reinterpret_cast<LPARAM>(path.c_str()));
    EXPECT_EQ(ReadFileText(HomeFile("empty.log")), "");
    SendMessageA(window, WM_TRACE_SAVE, 0, 0);
}

TEST_F(TraceWindow, AFileThatCannotBeCreatedIsReportedByName) {
    trace(TRACE_MESSAGE, "kept");
    PosixRunMessages();
    PosixClearMessageBoxes();
    std::string path = home + "\\missing\\mbktrace.log";
    SendMessageA(window, WM_TRACE_SAVE, 0, reinterpret_cast<LPARAM>(path.c_str()));
    ASSERT_EQ(PosixMessageBoxCount(), 1);
    EXPECT_EQ(std::string(PosixMessageBoxText(0)), "Unable to create " + path);
    EXPECT_STREQ(PosixMessageBoxCaption(0), "mbkcap trace");
    EXPECT_EQ(PosixMessageBoxType(0) & MB_ICONMASK, (UINT)MB_ICONEXCLAMATION);
    EXPECT_EQ(Count(), 1);
}

// A Windows directory that leaves no room for the files' names: no trace
// file anywhere (none cut short, none in the current directory), one line
// that says so, and no question at the end.
TEST_F(TraceWindow, AWindowsDirectoryTooLongForTheFilesGivesOneLineAndNoFile) {
    char before[4096];
    ASSERT_NE(getcwd(before, sizeof before), nullptr);
    ASSERT_EQ(chdir(home.c_str()), 0);
    for (size_t length : {259u, 260u, 300u}) {
        SCOPED_TRACE(length);
        PosixQueueMessageBoxAnswer(IDNO);
        trace(TRACE_END, nullptr);
        std::string directory = home;
        while (directory.size() < length)
            directory += "/" + std::string(std::min<size_t>(200, length - directory.size() - 1), 'd');
        ASSERT_EQ(directory.size(), length);
        PosixSetWindowsDirectory(directory.c_str());
        DriverOptions = OPT_TRACE_ON | OPT_SYNC_LOG;
        trace(TRACE_OPEN, nullptr);
        ASSERT_NE(traceWindow, nullptr);
        list = GetDlgItem(traceWindow, IDC_TRACE_LIST);
        trace(TRACE_MESSAGE, "kept");
        PosixRunMessages();
        ASSERT_EQ(Count(), 2);
        EXPECT_EQ(Line(0), "Trace files cannot be written: the Windows directory's path is too long");
        PosixClearMessageBoxes();
        PosixQueueMessageBoxAnswer(IDYES);
        trace(TRACE_END, nullptr);
        EXPECT_EQ(PosixMessageBoxCount(), 0);
        for (const std::string& folder : {home, directory})
            for (const char* name : {"mbksynct.log", "mbktrace.log"})
                EXPECT_NE(access((folder + "/" + name).c_str(), F_OK), 0) << folder << "/" << name;
        trace(TRACE_OPEN, nullptr);
    }
    EXPECT_EQ(chdir(before), 0);
}

}  // namespace
