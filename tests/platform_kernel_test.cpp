// The POSIX layer's kernel services behave as the driver relies on Win32's.
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

class Kernel : public FreshHome {};

TEST_F(Kernel, LocalBlocksAreZeroFilledAndFixedHandlesAreTheirAddress) {
    long before = PosixLiveLocalBlocks();
    HLOCAL fixed = LocalAlloc(LMEM_FIXED, 64);
    ASSERT_NE(fixed, nullptr);
    auto* bytes = static_cast<unsigned char*>(LocalLock(fixed));
    EXPECT_EQ(static_cast<void*>(bytes), fixed);
    for (int i = 0; i < 64; i++) EXPECT_EQ(bytes[i], 0);
    EXPECT_EQ(LocalSize(fixed), 64u);
    EXPECT_EQ(LocalHandle(bytes), fixed);
    EXPECT_FALSE(LocalUnlock(fixed));
    EXPECT_EQ(PosixLiveLocalBlocks(), before + 1);
    EXPECT_EQ(LocalFree(fixed), nullptr);
    EXPECT_EQ(PosixLiveLocalBlocks(), before);
    // A second free is refused with the handle, not a crash.
    EXPECT_EQ(LocalFree(fixed), fixed);
    EXPECT_EQ(LocalLock(fixed), nullptr);
}

TEST_F(Kernel, MoveableBlocksCountLocks) {
    HGLOBAL block = GlobalAlloc(GHND, 512);
    ASSERT_NE(block, nullptr);
    void* first = GlobalLock(block);
    void* second = GlobalLock(block);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_NE(first, static_cast<void*>(block));
    EXPECT_TRUE(GlobalUnlock(block));   // still locked once
    EXPECT_FALSE(GlobalUnlock(block));  // now unlocked
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST_F(Kernel, WsprintfKnowsTheTraceConversions) {
    char out[1100];
    wsprintfA(out, "%s|%d|%u|%ld|%lu|%x|%lx|%04x|%08lx|%02x|%c|%%", "ab", -5, 7u, -70000, 4000000000u, 0xbeefu,
              0x12345678u, 0x2au, 0x1d2000u, 0x7u, 'z');
    EXPECT_STREQ(out, "ab|-5|7|-70000|4000000000|beef|12345678|002a|001d2000|07|z|%");
    wsprintfA(out, "[%5s][%-4d][%05d][%X][%.2s][%s]", "x", 3, -42, 0xabu, "hello", static_cast<const char*>(nullptr));
    EXPECT_STREQ(out, "[    x][3   ][-0042][AB][he][(null)]");
}

TEST_F(Kernel, WsprintfStopsAtTheSystemLimit) {
    std::string big(3000, 'a');
    std::vector<char> out(4000, 'X');
    int n = wsprintfA(out.data(), "%s", big.c_str());
    EXPECT_EQ(n, 1023);
    EXPECT_EQ(strlen(out.data()), 1023u);
    EXPECT_EQ(out[1024], 'X');
}

TEST_F(Kernel, ProfileFilesByBareNameLiveInTheWindowsDirectory) {
    WriteFileText(HomeFile("mbkzelt.ini"),
                  "; settings\r\n[Other]\r\nFlickMax=1\r\n[tarn]\r\n FlickMax = 200 \r\nBad=x\r\n");
    EXPECT_EQ(GetPrivateProfileIntA("TARN", "FlickMax", 250, "mbkzelt.ini"), 200u);
    EXPECT_EQ(GetPrivateProfileIntA("TARN", "FlickExp", 146, "mbkzelt.ini"), 146u);
    EXPECT_EQ(GetPrivateProfileIntA("TARN", "Bad", 9, "mbkzelt.ini"), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("TARN", "FlickMax", 250, "missing.ini"), 250u);
    // Numbers as Windows reads them (Wine's conformance tests run there):
    // the leading number, hexadecimal too, negatives as they are, 32 bits;
    // an empty value is no value.
    struct Row {
        const char* text;
        UINT value;
    } rows[] = {{"-1", 4294967295u}, {"+1", 1}, {"42A9", 42}, {"B42", 0}, {"4294967297", 1}, {" 0x40", 64}, {"", 250}};
    for (const Row& row : rows) {
        WritePrivateProfileStringA("TARN", "Row", row.text, "mbkzelt.ini");
        EXPECT_EQ(GetPrivateProfileIntA("TARN", "Row", 250, "mbkzelt.ini"), row.value) << row.text;
    }
    std::string path = HomeFile("sub") + "\\my.ini";  // a Windows path with a backslash
    ASSERT_EQ(system(("mkdir -p " + HomeFile("sub")).c_str()), 0);
    EXPECT_TRUE(WritePrivateProfileStringA("TARN", "FlickExp", "99", path.c_str()));
    EXPECT_EQ(GetPrivateProfileIntA("TARN", "FlickExp", 0, path.c_str()), 99u);
}

// The driver manager's default answers: loading, enabling and their undoing
// succeed, installing and removing are OK, everything else is 0, opening
// and closing included (they are the driver's own business).
TEST_F(Kernel, DefDriverProcAnswersAsTheDriverManagerDoes) {
    const struct {
        UINT msg;
        LRESULT result;
    } rows[] = {
        {DRV_LOAD, 1}, {DRV_ENABLE, 1},    {DRV_OPEN, 0},           {DRV_CLOSE, 0},           {DRV_DISABLE, 1},
        {DRV_FREE, 1}, {DRV_CONFIGURE, 0}, {DRV_QUERYCONFIGURE, 0}, {DRV_INSTALL, DRVCNF_OK}, {DRV_REMOVE, DRVCNF_OK},
        {DRV_USER, 0}};
    for (const auto& row : rows) EXPECT_EQ(DefDriverProc(0, nullptr, row.msg, 0, 0), row.result) << row.msg;
}

TEST_F(Kernel, WindowsDirectoryAndAppendingFiles) {
    char dir[MAX_PATH];
    UINT n = GetWindowsDirectoryA(dir, sizeof dir);
    EXPECT_EQ(std::string(dir, n), home);
    EXPECT_EQ(GetWindowsDirectoryA(dir, 3), home.size() + 1);  // too small: the size needed
    std::string path = home + "\\log.txt";
    for (const char* text : {"one\n", "two\n"}) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetFilePointer(file, 0, nullptr, FILE_END);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, text, 4, &written, nullptr));
        EXPECT_EQ(written, 4u);
        EXPECT_TRUE(CloseHandle(file));
    }
    EXPECT_EQ(ReadFileText(home + "/log.txt"), "one\ntwo\n");
    HFILE created = _lcreat(path.c_str(), 0);
    ASSERT_NE(created, HFILE_ERROR);
    EXPECT_EQ(_lwrite(created, "x", 1), 1u);
    EXPECT_EQ(_lclose(created), 0);
    EXPECT_EQ(ReadFileText(home + "/log.txt"), "x");
    EXPECT_EQ(_lcreat((home + "/no/such/dir/f").c_str(), 0), HFILE_ERROR);
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST_F(Kernel, NamedMutexesAreSharedRecursiveAndPerThread) {
    HANDLE a = CreateMutexA(nullptr, FALSE, "Streaming Mutex");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE b = CreateMutexA(nullptr, FALSE, "Streaming Mutex");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ASSERT_EQ(WaitForSingleObject(a, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(b, 0), static_cast<DWORD>(WAIT_OBJECT_0));  // same owner, recursive
    DWORD other = 0;
    std::thread([&] { other = WaitForSingleObject(b, 1); }).join();
    EXPECT_EQ(other, static_cast<DWORD>(WAIT_TIMEOUT));
    BOOL foreignRelease = TRUE;
    std::thread([&] { foreignRelease = ReleaseMutex(a); }).join();
    EXPECT_FALSE(foreignRelease);
    EXPECT_TRUE(ReleaseMutex(a));
    EXPECT_TRUE(ReleaseMutex(b));
    EXPECT_FALSE(ReleaseMutex(b));  // no longer owned
    std::thread([&] {
        other = WaitForSingleObject(b, INFINITE);
        ReleaseMutex(b);
    }).join();
    EXPECT_EQ(other, static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_TRUE(CloseHandle(b));
    EXPECT_EQ(WaitForSingleObject(a, 0), static_cast<DWORD>(WAIT_FAILED));
}

// A named mutex is the system's: another process waits for it, and takes
// it as abandoned when its owner ended without letting go.
TEST_F(Kernel, NamedMutexesHoldAcrossProcesses) {
    const char* name = "Kernel test mutex";
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    char byte = 0;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HANDLE mine = CreateMutexA(nullptr, FALSE, name);
        bool owned = WaitForSingleObject(mine, INFINITE) == WAIT_OBJECT_0;
        if (write(toParent[1], owned ? "o" : "x", 1) != 1 || read(toChild[0], &byte, 1) != 1) _exit(2);
        _exit(0);  // still owning it
    }
    ASSERT_EQ(read(toParent[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'o');
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    EXPECT_EQ(WaitForSingleObject(mutex, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_EQ(write(toChild[1], "e", 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WaitForSingleObject(mutex, 2000), static_cast<DWORD>(WAIT_ABANDONED));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(CloseHandle(mutex));
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

struct FakeDevice {
    int opens = 0, closes = 0;
    DWORD lastCode = 0;
};

TEST_F(Kernel, AProcessHandleTellsWhetherItStillRuns) {
    HANDLE self = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(self, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_TRUE(CloseHandle(self));
    EXPECT_FALSE(GetExitCodeProcess(self, &code));  // closed
    pid_t child = fork();
    if (child == 0) _exit(0);
    // Ended but not reaped (a zombie, as a killed host stays under a parent
    // that does not reap): ended all the same.
    siginfo_t info;
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(child)), nullptr);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    SetLastError(0);
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, static_cast<DWORD>(child)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0), nullptr);
}

TEST_F(Kernel, DevicesAreOpenedByNameAndCarryRequests) {
    static FakeDevice fake;
    fake = FakeDevice();
    PosixDeviceOps ops;
    ops.open = [](void* registration) -> void* {
        static_cast<FakeDevice*>(registration)->opens++;
        return registration;
    };
    ops.control = [](void* context, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* returned) -> int {
        static_cast<FakeDevice*>(context)->lastCode = code;
        if (outSize >= 4) {
            DWORD one = 1;
            memcpy(out, &one, 4);
            *returned = 4;
        }
        return code != 0;
    };
    ops.close = [](void* context) { static_cast<FakeDevice*>(context)->closes++; };
    PosixRegisterDevice("FAKE_0", &ops, &fake);
    HANDLE device = CreateFileA("\\\\.\\fake_0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    DWORD reply = 0, returned = 0;
    EXPECT_TRUE(DeviceIoControl(device, 0x001D2008, nullptr, 0, &reply, 4, &returned, nullptr));
    EXPECT_EQ(reply, 1u);
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(fake.lastCode, 0x001D2008u);
    EXPECT_FALSE(DeviceIoControl(device, 0, nullptr, 0, &reply, 4, &returned, nullptr));
    EXPECT_FALSE(DeviceIoControl(device, 1, nullptr, 8, &reply, 4, &returned, nullptr));  // null with a size
    EXPECT_TRUE(CloseHandle(device));
    EXPECT_EQ(fake.closes, 1);
    EXPECT_FALSE(DeviceIoControl(device, 1, nullptr, 0, nullptr, 0, &returned, nullptr));
    PosixRegisterDevice("FAKE_0", nullptr, nullptr);
    EXPECT_EQ(CreateFileA("\\\\.\\FAKE_0", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

void CountTick(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* log = reinterpret_cast<std::vector<std::pair<UINT, uint32_t>>*>(user);
    log->push_back({id, PosixClockNow()});
}

TEST_F(Kernel, VirtualTimersFireInDueOrderAndOnlyWhenTimeMoves) {
    std::vector<std::pair<UINT, uint32_t>> log;
    uint32_t start = PosixClockNow();
    EXPECT_EQ(timeGetTime(), start);
    EXPECT_EQ(timeGetTime(), start + 1);  // a poll moves virtual time by one millisecond
    start = PosixClockNow();
    UINT late = timeSetEvent(30, 2, CountTick, reinterpret_cast<DWORD_PTR>(&log), TIME_ONESHOT);
    UINT early = timeSetEvent(10, 2, CountTick, reinterpret_cast<DWORD_PTR>(&log), TIME_ONESHOT);
    UINT killed = timeSetEvent(20, 2, CountTick, reinterpret_cast<DWORD_PTR>(&log), TIME_ONESHOT);
    ASSERT_TRUE(late && early && killed);
    EXPECT_EQ(timeKillEvent(killed), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_NE(timeKillEvent(killed), static_cast<MMRESULT>(TIMERR_NOERROR));
    PosixClockAdvance(9);
    EXPECT_TRUE(log.empty());
    PosixClockAdvance(100);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].first, early);
    EXPECT_EQ(log[0].second, start + 10);
    EXPECT_EQ(log[1].first, late);
    EXPECT_EQ(log[1].second, start + 30);
    EXPECT_EQ(PosixClockNow(), start + 109);
    EXPECT_EQ(PosixTimersPending(), 0);
    TIMECAPS caps;
    EXPECT_EQ(timeGetDevCaps(&caps, sizeof caps), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_LE(caps.wPeriodMin, 2u);
    EXPECT_EQ(timeSetEvent(0, 1, CountTick, 0, TIME_ONESHOT), 0u);
}

TEST_F(Kernel, RealTimersFireOnTheirOwnThread) {
    PosixClockSetVirtual(0);
    static std::atomic<bool> fired;
    static std::thread::id firedOn;
    fired = false;
    UINT id = timeSetEvent(
        1, 1,
        [](UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
            firedOn = std::this_thread::get_id();
            fired = true;
        },
        0, TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    // A bound on waiting, not a measurement.
    for (int i = 0; i < 2000 && !fired; i++) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(fired);
    EXPECT_NE(firedOn, std::this_thread::get_id());
}

}  // namespace
