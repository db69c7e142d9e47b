// The trace call's levels, options and files.
#include "test_support.h"
#include "trace/trace.h"

namespace {

class TraceOutput : public FreshHome {
protected:
    void TearDown() override {
        if (traceWindow) {
            DestroyWindow(traceWindow);
            traceWindow = nullptr;
        }
        DriverOptions = 0;
        FreshHome::TearDown();
    }
};

TEST_F(TraceOutput, NothingHappensWhileTracingIsOff) {
    DriverOptions = OPT_SYNC_LOG;
    long blocks = PosixLiveGlobalBlocks();
    for (int level : {TRACE_OPEN, TRACE_MESSAGE, TRACE_END, 0, 9}) EXPECT_EQ(trace(level, "x %d", 1), 1);
    EXPECT_EQ(traceWindow, nullptr);
    EXPECT_EQ(PosixLiveGlobalBlocks(), blocks);
    EXPECT_EQ(ReadFileText(HomeFile("mbksynct.log")), "");
}

TEST_F(TraceOutput, OpeningStartsTheSynchronousLogWithItsHeader) {
    WriteFileText(HomeFile("mbksynct.log"), "old lines\n");
    DriverOptions = OPT_TRACE_ON | OPT_SYNC_LOG;
    trace(TRACE_OPEN, nullptr);
    EXPECT_EQ(ReadFileText(HomeFile("mbksynct.log")).rfind("MBKTARN2 NT4 Message Output\n", 0), 0u);
    EXPECT_EQ(ReadFileText(HomeFile("mbksynct.log")).find("old lines"), std::string::npos);
}

TEST_F(TraceOutput, LinesWithoutAWindowAreDroppedAndNotLogged) {
    DriverOptions = OPT_TRACE_ON | OPT_SYNC_LOG;
    traceWindow = nullptr;
    long blocks = PosixLiveGlobalBlocks();
    trace(TRACE_MESSAGE, "DRV_LOAD - ok");
    EXPECT_EQ(PosixLiveGlobalBlocks(), blocks);
    EXPECT_EQ(ReadFileText(HomeFile("mbksynct.log")), "");
}

// In the Windows directory with one separator, while the name and its end fit.
TEST_F(TraceOutput, TraceFilesGoInTheWindowsDirectoryWithOneSeparator) {
    std::string longest = home + "/" + std::string(MAX_PATH - 1 - 13 - home.size() - 1, 'd');
    const std::pair<std::string, std::string> rows[] = {{home, home + "\\mbktrace.log"},
                                                        {home + "\\", home + "\\mbktrace.log"},
                                                        {longest, longest + "\\mbktrace.log"},
                                                        {longest + "d", ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first.size());
        PosixSetWindowsDirectory(row.first.c_str());
        char path[MAX_PATH] = "x";
        EXPECT_EQ(TraceFilePath("mbktrace.log", path) != FALSE, !row.second.empty());
        EXPECT_EQ(std::string(path), row.second);
    }
}

TEST_F(TraceOutput, CompressionCodesReadAsText) {
    EXPECT_STREQ(CompressionText(0), "RGB");
    EXPECT_STREQ(CompressionText(mmioFOURCC('I', '4', '2', '0')), "I420");
    EXPECT_STREQ(CompressionText(mmioFOURCC('Y', 'V', 'U', '9')), "YVU9");
}

}  // namespace
