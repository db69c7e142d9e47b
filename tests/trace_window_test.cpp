// The Driver Message Trace window, through the trace call as the driver uses
// it: level 1 creates it, lines arrive as posted messages, level 3 saves
// and ends it.
#include <unistd.h>

#include <algorithm>
#include <string>
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
