// The POSIX layer's kernel services behave as the driver relies on Win32's.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

class Kernel : public FreshHome {};

DWORD OnAnotherThread(const std::function<DWORD()>& call) {
    DWORD result = 0;
    std::thread([&] { result = call(); }).join();
    return result;
}

TEST_F(Kernel, MemoryBlocksAreZeroFilledCountTheirLocksAndRefuseASecondFree) {
    long before = PosixLiveLocalBlocks();
    HLOCAL fixed = LocalAlloc(LMEM_FIXED, 64);
    ASSERT_NE(fixed, nullptr);
    auto* bytes = static_cast<unsigned char*>(LocalLock(fixed));
    EXPECT_EQ(static_cast<void*>(bytes), fixed) << "a fixed handle is its address";
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 64), std::vector<unsigned char>(64, 0));
    // Its size, the handle of its address, the unlock, the blocks live;
    // the free, the blocks live, a second free refused (the handle back, no crash), a lock.
    EXPECT_EQ((Results{static_cast<long long>(LocalSize(fixed)), LocalHandle(bytes) == fixed, LocalUnlock(fixed),
                       PosixLiveLocalBlocks() - before, LocalFree(fixed) == nullptr, PosixLiveLocalBlocks() - before,
                       LocalFree(fixed) == fixed, LocalLock(fixed) == nullptr}),
              (Results{64, true, FALSE, 1, true, 0, true, true}));
    HGLOBAL block = GlobalAlloc(GHND, 512);
    void* first = GlobalLock(block);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, static_cast<void*>(block));
    // A second lock at the same address, two unlocks (the first leaves it locked), no error; a third
    // unlock of the unlocked block is refused as Windows refuses it; the free.
    EXPECT_EQ((Results{GlobalLock(block) == first, GlobalUnlock(block), GlobalUnlock(block), GetLastError(),
                       GlobalUnlock(block), GetLastError(), GlobalFree(block) == nullptr}),
              (Results{true, TRUE, FALSE, NO_ERROR, FALSE, ERROR_NOT_LOCKED, true}));
}

TEST_F(Kernel, WsprintfKnowsTheTraceConversionsAndStopsAtTheSystemLimit) {
    std::vector<char> out(4000, 'X');
    wsprintfA(out.data(), "%s|%d|%u|%ld|%lu|%x|%lx|%04x|%08lx|%02x|%c|%%", "ab", -5, 7u, -70000, 4000000000u, 0xbeefu,
              0x12345678u, 0x2au, 0x1d2000u, 0x7u, 'z');
    EXPECT_STREQ(out.data(), "ab|-5|7|-70000|4000000000|beef|12345678|002a|001d2000|07|z|%");
    wsprintfA(out.data(), "[%5s][%-4d][%05d][%X][%.2s][%s]", "x", 3, -42, 0xabu, "hello", static_cast<char*>(nullptr));
    EXPECT_STREQ(out.data(), "[    x][3   ][-0042][AB][he][(null)]");
    std::fill(out.begin(), out.end(), 'X');
    EXPECT_EQ(wsprintfA(out.data(), "%s", std::string(3000, 'a').c_str()), 1023);
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
    // As Windows reads numbers: the leading one, hexadecimal too, 32 bits; an empty value is none.
    // clang-format off
    const struct { const char* text; UINT value; } rows[] = {
        {"-1", 4294967295u}, {"+1", 1}, {"42A9", 42}, {"B42", 0}, {"4294967297", 1}, {" 0x40", 64}, {"", 250}};
    // clang-format on
    for (const auto& row : rows) {
        WritePrivateProfileStringA("TARN", "Row", row.text, "mbkzelt.ini");
        EXPECT_EQ(GetPrivateProfileIntA("TARN", "Row", 250, "mbkzelt.ini"), row.value) << row.text;
    }
    std::string path = HomeFile("sub") + "\\my.ini";  // a Windows path with a backslash
    ASSERT_EQ(system(("mkdir -p " + HomeFile("sub")).c_str()), 0);
    EXPECT_TRUE(WritePrivateProfileStringA("TARN", "FlickExp", "99", path.c_str()));
    EXPECT_EQ(GetPrivateProfileIntA("TARN", "FlickExp", 0, path.c_str()), 99u);
}

// Opening and closing are the driver's own business: the default answers 0 to them.
TEST_F(Kernel, DefDriverProcAnswersAsTheDriverManagerDoes) {
    // clang-format off
    const struct { UINT msg; LRESULT result; } rows[] = {{DRV_LOAD, 1}, {DRV_ENABLE, 1}, {DRV_OPEN, 0}, {DRV_CLOSE, 0},
        {DRV_DISABLE, 1}, {DRV_FREE, 1}, {DRV_CONFIGURE, 0}, {DRV_QUERYCONFIGURE, 0}, {DRV_INSTALL, DRVCNF_OK},
        {DRV_REMOVE, DRVCNF_OK}, {DRV_USER, 0}};
    // clang-format on
    for (const auto& row : rows) EXPECT_EQ(DefDriverProc(0, nullptr, row.msg, 0, 0), row.result) << row.msg;
}

TEST_F(Kernel, WindowsDirectoryAndAppendingFiles) {
    char dir[MAX_PATH];
    EXPECT_EQ(std::string(dir, GetWindowsDirectoryA(dir, sizeof dir)), home);
    EXPECT_EQ(GetWindowsDirectoryA(dir, 3), home.size() + 1);  // too small: the size needed
    std::string path = home + "\\log.txt";
    for (const char* text : {"one\n", "two\n"}) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetFilePointer(file, 0, nullptr, FILE_END);
        DWORD written = 0;
        EXPECT_EQ((Results{WriteFile(file, text, 4, &written, nullptr), written, CloseHandle(file)}),
                  (Results{1, 4, 1}));
    }
    EXPECT_EQ(ReadFileText(home + "/log.txt"), "one\ntwo\n");
    HFILE created = _lcreat(path.c_str(), 0);
    ASSERT_NE(created, HFILE_ERROR);
    EXPECT_EQ((Results{_lwrite(created, "x", 1), _lclose(created)}), (Results{1, 0}));
    EXPECT_EQ(ReadFileText(home + "/log.txt"), "x");
    EXPECT_EQ((Results{_lcreat((home + "/no/such/dir/f").c_str(), 0), CloseHandle(INVALID_HANDLE_VALUE)}),
              (Results{HFILE_ERROR, 0}));
}

TEST_F(Kernel, NamedMutexesAreSharedRecursiveAndPerThread) {
    HANDLE a = CreateMutexA(nullptr, FALSE, "Streaming Mutex");
    DWORD first = GetLastError();
    HANDLE b = CreateMutexA(nullptr, FALSE, "Streaming Mutex");
    // The same owner takes it again; another thread neither takes nor releases it; the third release is refused.
    EXPECT_EQ((Results{first, GetLastError(), WaitForSingleObject(a, INFINITE), WaitForSingleObject(b, 0),
                       OnAnotherThread([&] { return WaitForSingleObject(b, 1); }),
                       OnAnotherThread([&] { return static_cast<DWORD>(ReleaseMutex(a)); }), ReleaseMutex(a),
                       ReleaseMutex(b), ReleaseMutex(b)}),
              (Results{ERROR_SUCCESS, ERROR_ALREADY_EXISTS, WAIT_OBJECT_0, WAIT_OBJECT_0, WAIT_TIMEOUT, 0, 1, 1, 0}));
    EXPECT_EQ(OnAnotherThread([&] {
                  DWORD waited = WaitForSingleObject(b, INFINITE);
                  ReleaseMutex(b);
                  return waited;
              }),
              static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ((Results{CloseHandle(a), CloseHandle(b), WaitForSingleObject(a, 0)}), (Results{1, 1, WAIT_FAILED}));
}

// Another process waits for a named mutex, and takes it as abandoned when its owner ended holding it.
TEST_F(Kernel, NamedMutexesHoldAcrossProcesses) {
    const char* name = "Kernel test mutex";
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent) | pipe(toChild), 0);
    char byte = 0;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool owned = WaitForSingleObject(CreateMutexA(nullptr, FALSE, name), INFINITE) == WAIT_OBJECT_0;
        if (write(toParent[1], owned ? "o" : "x", 1) != 1 || read(toChild[0], &byte, 1) != 1) _exit(2);
        _exit(0);  // still owning it
    }
    ASSERT_EQ(read(toParent[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'o');
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    EXPECT_EQ(WaitForSingleObject(mutex, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_EQ(write(toChild[1], "e", 1), 1);
    waitpid(child, nullptr, 0);
    EXPECT_EQ((Results{WaitForSingleObject(mutex, 2000), ReleaseMutex(mutex), WaitForSingleObject(mutex, 0),
                       ReleaseMutex(mutex), CloseHandle(mutex)}),
              (Results{WAIT_ABANDONED, 1, WAIT_OBJECT_0, 1, 1}));
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

TEST_F(Kernel, AProcessHandleTellsWhetherItStillRuns) {
    HANDLE self = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    DWORD code = 0;
    EXPECT_EQ((Results{GetExitCodeProcess(self, &code), code, CloseHandle(self), GetExitCodeProcess(self, &code)}),
              (Results{1, STILL_ACTIVE, 1, 0}));
    pid_t child = fork();
    if (child == 0) _exit(0);
    // Ended but not reaped (a killed host under a parent that does not reap): ended all the same.
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
    static int closes;
    static DWORD lastCode;
    closes = 0;
    PosixDeviceOps ops;
    ops.open = [](void* registration) { return registration; };
    ops.control = [](void*, DWORD code, const void*, DWORD, void* out, DWORD outSize, DWORD* returned) -> int {
        DWORD one = 1;
        if (outSize >= 4) {
            memcpy(out, &one, 4);
            *returned = 4;
        }
        lastCode = code;
        return code != 0;
    };
    ops.close = [](void*) { closes++; };
    PosixRegisterDevice("FAKE_0", &ops, &ops);
    HANDLE device = CreateFileA("\\\\.\\fake_0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    DWORD reply = 0, returned = 0;
    EXPECT_EQ(
        (Results{DeviceIoControl(device, 0x001D2008, nullptr, 0, &reply, 4, &returned, nullptr), reply, returned,
                 lastCode, DeviceIoControl(device, 0, nullptr, 0, &reply, 4, &returned, nullptr),
                 DeviceIoControl(device, 1, nullptr, 8, &reply, 4, &returned, nullptr) /* null with a size */,
                 CloseHandle(device), closes, DeviceIoControl(device, 1, nullptr, 0, nullptr, 0, &returned, nullptr)}),
        (Results{1, 1, 4, 0x001D2008, 0, 0, 1, 1, 0}));
    PosixRegisterDevice("FAKE_0", nullptr, nullptr);
    EXPECT_EQ(CreateFileA("\\\\.\\FAKE_0", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

typedef std::vector<std::pair<UINT, uint32_t>> Ticks;

void Tick(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    reinterpret_cast<Ticks*>(user)->push_back({id, PosixClockNow()});
}

TEST_F(Kernel, VirtualTimersFireInDueOrderAndOnlyWhenTimeMoves) {
    Ticks log;
    uint32_t start = PosixClockNow();
    // A poll moves virtual time by one millisecond.
    EXPECT_EQ((Results{timeGetTime() - start, timeGetTime() - start}), (Results{0, 1}));
    start = PosixClockNow();
    DWORD_PTR user = reinterpret_cast<DWORD_PTR>(&log);
    UINT late = timeSetEvent(30, 2, Tick, user, TIME_ONESHOT), early = timeSetEvent(10, 2, Tick, user, TIME_ONESHOT);
    UINT killed = timeSetEvent(20, 2, Tick, user, TIME_ONESHOT);
    ASSERT_TRUE(late && early && killed);
    EXPECT_EQ((Results{timeKillEvent(killed), timeKillEvent(killed) != TIMERR_NOERROR}), (Results{TIMERR_NOERROR, 1}));
    PosixClockAdvance(9);
    EXPECT_TRUE(log.empty());
    PosixClockAdvance(100);
    EXPECT_EQ(log, (Ticks{{early, start + 10}, {late, start + 30}}));
    TIMECAPS caps;
    EXPECT_EQ((Results{PosixClockNow() - start, PosixTimersPending(), timeGetDevCaps(&caps, sizeof caps),
                       caps.wPeriodMin <= 2, timeSetEvent(0, 1, Tick, 0, TIME_ONESHOT)}),
              (Results{109, 0, TIMERR_NOERROR, 1, 0}));
}

TEST_F(Kernel, RealTimersFireOnTheirOwnThread) {
    PosixClockSetVirtual(0);
    static std::atomic<bool> fired;
    static std::thread::id firedOn;
    fired = false;
    auto fire = [](UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
        firedOn = std::this_thread::get_id();
        fired = true;
    };
    ASSERT_NE(timeSetEvent(1, 1, fire, 0, TIME_ONESHOT), 0u);
    // A bound on waiting, not a measurement.
    for (int i = 0; i < 2000 && !fired; i++) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(fired);
    EXPECT_NE(firedOn, std::this_thread::get_id());
}

}  // namespace
