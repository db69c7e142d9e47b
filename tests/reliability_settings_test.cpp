// What the start-up reads from disk is damaged or out of reach: a registry
// hive that is not REGEDIT4, one whose values have the wrong types and
// sizes, a Windows directory that cannot be made, trace files that cannot
// be written. The camera still opens with its defaults, takes frames and
// closes, and nothing leaks.
#include <sys/stat.h>

#include <string>

#include "reliability_support.h"

namespace {

class DiskFaults : public FaultHost {
protected:
    // Opens VIDEO_IN, takes a frame, closes: the camera works.
    void ExpectCameraWorks(const char* what) {
        SCOPED_TRACE(what);
        OpenVideoIn();
        VIDEOHDR header;
        EXPECT_EQ(Frame(videoIn, nullptr, &header), DV_ERR_OK);
        EXPECT_EQ(header.dwBytesUsed, header.dwBufferLength);
        CloseVideoIn();
        ExpectNothingHeld();
    }
};

TEST_F(DiskFaults, ADamagedHiveReadsAsEmptyIsKeptAsideAndRewritten) {
    WriteFileText(HomeFile("registry.reg"),
                  "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\MARBECK\\TARN2]\n\"VideoInUsage\"=dword:1\nrubbish\n");
    ExpectCameraWorks("damaged text");
    EXPECT_NE(std::string(PosixLastProblem()).find("damaged"), std::string::npos) << PosixLastProblem();
    // The damaged text was kept for a person; the hive is whole again and
    // holds what the close saved (the counter read as 0, not as the 1 the
    // damaged file held).
    EXPECT_NE(ReadFileText(HomeFile("registry.reg.damaged.1")).find("rubbish"), std::string::npos);
    EXPECT_EQ(ReadFileText(HomeFile("registry.reg")).rfind("REGEDIT4\n", 0), 0u);
    EXPECT_EQ(ReadRegDword("VideoInUsage", 9), 0u);
    ExpectCameraWorks("after the rewrite");

    std::string binary("REGEDIT4\n\0\xff\xfe[\n\"", 16);
    for (int i = 0; i < 256; i++) binary.push_back(static_cast<char>(i * 7));
    WriteFileText(HomeFile("registry.reg"), binary);
    ExpectCameraWorks("binary bytes");
}

TEST_F(DiskFaults, AWindowsDirectoryThatCannotBeMadeLeavesTheCameraWorking) {
    WriteFileText(HomeFile("plain-file"), "not a folder");
    std::string unreachable = HomeFile("plain-file") + "/windows";
    PosixSetWindowsDirectory(unreachable.c_str());
    ExpectCameraWorks("unreachable folder");
    // The usage counters could not be kept, so nothing blocks the next open.
    ExpectCameraWorks("again");
    PosixSetWindowsDirectory(home.c_str());
}

TEST_F(DiskFaults, TraceFilesThatCannotBeWrittenLeaveTheCameraWorking) {
    // The synchronous log and the saved trace are folders, not files.
    ASSERT_EQ(mkdir(HomeFile("mbksynct.log").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(HomeFile("mbktrace.log").c_str(), 0755), 0);
    WriteRegDword("DebugLevel", OPT_TRACE_ON | OPT_SYNC_LOG);
    Holdings start = Holdings::Now();
    OpenVideoIn();
    CloseVideoIn();
    // The trace window lives until the driver is freed.
    PosixRunMessages();
    before = Holdings::Now();
    ExpectCameraWorks("trace files are folders");
    EXPECT_EQ(Send(0, DRV_FREE), 1);
    before = start;
    ExpectNothingHeld();
}

}  // namespace
